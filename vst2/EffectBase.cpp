#include "vst2/EffectBase.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "editor/EditorBase.h"

namespace {

intptr_t VST2_CALL dispatchEntry(AEffect* record, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    EffectBase* self = EffectBase::fromRecord(record);
    if (!self) return 0;
    intptr_t result = self->dispatcher(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        delete self;
        return 1;
    }
    return result;
}

void VST2_CALL processEntry(AEffect* record, float** inputs, float** outputs, int32_t frames) {
    if (EffectBase* self = EffectBase::fromRecord(record)) self->process(inputs, outputs, frames);
}

void VST2_CALL processReplacingEntry(AEffect* record, float** inputs, float** outputs, int32_t frames) {
    if (EffectBase* self = EffectBase::fromRecord(record)) self->processReplacing(inputs, outputs, frames);
}

void VST2_CALL setParameterEntry(AEffect* record, int32_t index, float value) {
    if (EffectBase* self = EffectBase::fromRecord(record)) self->setParameter(index, value);
}

float VST2_CALL getParameterEntry(AEffect* record, int32_t index) {
    EffectBase* self = EffectBase::fromRecord(record);
    return self ? self->getParameter(index) : 0.0f;
}

void copyText(void* ptr, const char* text, size_t room) {
    auto* out = static_cast<char*>(ptr);
    std::strncpy(out, text, room - 1);
    out[room - 1] = 0;
}

} // namespace

EffectBase::EffectBase(HostCallback host, int32_t programs, int32_t params)
    : hostCallback(host), numPrograms(programs), numParams(params) {
    effect.magic = kEffectMagic;
    effect.dispatcher = dispatchEntry;
    effect.process = processEntry;
    effect.setParameter = setParameterEntry;
    effect.getParameter = getParameterEntry;
    effect.numPrograms = programs;
    effect.numParams = params;
    effect.numInputs = 1;
    effect.numOutputs = 2;
    effect.ioRatio = 1.0f;
    effect.object = this;
    effect.uniqueID = fourCharCode('N', 'o', 'E', 'f');
    effect.version = 1;
    effect.processReplacing = processReplacingEntry;
}

EffectBase::~EffectBase() { delete editor; }

EffectBase* EffectBase::fromRecord(AEffect* record) {
    return record ? static_cast<EffectBase*>(record->object) : nullptr;
}

void EffectBase::setEditor(EditorBase* newEditor) {
    editor = newEditor;
    if (editor)
        effect.flags |= effFlagsHasEditor;
    else
        effect.flags &= ~effFlagsHasEditor;
}

void EffectBase::setParameterAutomated(int32_t index, float value) {
    setParameter(index, value);
    hostAutomate(index, value);
}

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    return hostCallback ? hostCallback(&effect, opcode, index, value, ptr, opt) : 0;
}

// Text opcodes: a host that passes no buffer gets 0 and nothing is written.
intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (opcode >= effProcessEvents) return extendedDispatcher(opcode, index, value, ptr, opt);
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 1;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName:
        if (ptr) setProgramName(static_cast<const char*>(ptr));
        return 0;
    case effGetProgramName:
        if (ptr) getProgramName(static_cast<char*>(ptr));
        return 0;
    case effGetParamLabel:
        if (ptr) getParameterLabel(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamDisplay:
        if (ptr) getParameterDisplay(index, static_cast<char*>(ptr));
        return 0;
    case effGetParamName:
        if (ptr) getParameterName(index, static_cast<char*>(ptr));
        return 0;
    case effGetVu: return 0;
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
        if (value)
            resume();
        else
            suspend();
        return 0;
    case effEditGetRect:
        if (!editor || !ptr) return 0;
        {
            // The host keeps the pointer: the record lives with the effect.
            // The size is the window's, at the scale it is drawn at.
            const Rect size = editor->windowSize();
            editorRect = ERect{static_cast<int16_t>(size.top), static_cast<int16_t>(size.left),
                               static_cast<int16_t>(size.bottom), static_cast<int16_t>(size.right)};
            *static_cast<ERect**>(ptr) = &editorRect;
        }
        return 1;
    case effEditOpen:
        if (!editor) return 0;
        // A window drawn at a new scale asks the host for its new size.
        // Hosts that do resize often answer 0 all the same: the answer
        // says nothing.
        editor->onResize = [this](int32_t width, int32_t height) {
            callHost(audioMasterSizeWindow, width, height);
            return true;
        };
        return editor->open(ptr) ? 1 : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify: return fourCharCode('N', 'v', 'E', 'f');
    case effGetChunk: return ptr ? getChunk(static_cast<void**>(ptr), index != 0) : 0;
    case effSetChunk:
        if (!ptr || value <= 0 || value > INT32_MAX) return 0;
        return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default: return 0;
    }
}

intptr_t EffectBase::extendedDispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    switch (opcode) {
    case effProcessEvents:
        processEvents(static_cast<VstEvents*>(ptr));
        return 1;
    case effCanBeAutomated: return 1;
    case effString2Parameter: return ptr && setParameterText(index, static_cast<const char*>(ptr)) ? 1 : 0;
    case effGetProgramNameIndexed: {
        char text[kVstMaxProgNameLen + 1] = {};
        if (!ptr || !getProgramNameIndexed(index, text)) return 0;
        copyText(ptr, text, sizeof text);
        return 1;
    }
    case effGetParameterProperties: {
        if (!ptr) return 0;
        VstParameterProperties properties{};
        if (!getParameterProperties(index, properties)) return 0;
        std::memcpy(ptr, &properties, sizeof properties);
        return 1;
    }
    case effGetNumProgramCategories: return 1;
    case effConnectInput:
    case effConnectOutput: return 1;
    case effGetPlugCategory: return (effect.flags & effFlagsIsSynth) ? kPlugCategSynth : 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSize(static_cast<int32_t>(value));
        setSampleRate(opt);
        return 1;
    case effGetEffectName: {
        char text[kVstMaxEffectNameLen + 1] = {};
        if (!ptr || !getEffectName(text)) return 0;
        copyText(ptr, text, sizeof text);
        return 1;
    }
    case effGetVendorString: {
        char text[kVstMaxVendorStrLen + 1] = {};
        if (!ptr || !getVendorString(text)) return 0;
        copyText(ptr, text, sizeof text);
        return 1;
    }
    case effGetProductString: {
        char text[kVstMaxProductStrLen + 1] = {};
        if (!ptr || !getProductString(text)) return 0;
        copyText(ptr, text, sizeof text);
        return 1;
    }
    case effGetVendorVersion: return getVendorVersion();
    case effCanDo: return ptr ? canDo(static_cast<const char*>(ptr)) : 0;
    case effKeysRequired: return 1;
    case effGetVstVersion: return 2200;
    case effEditKeyDown:
    case effEditKeyUp: {
        if (!editor) return 0;
        const KeyInput key{index, static_cast<uint8_t>(value), static_cast<uint8_t>(static_cast<int32_t>(opt))};
        // Hosts read any non-zero answer as "used": an unhandled key (-1)
        // answers 0, so the host still gets its shortcuts.
        int32_t handled = opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
        return handled > 0 ? handled : 0;
    }
    case effSetEditKnobMode: return editor ? (editor->setKnobMode(static_cast<int32_t>(value)) ? 1 : 0) : 0;
    case effGetCurrentMidiProgram: return -1;
    case effVendorSpecific:
        // The scale hosts tell their plug-ins' windows ('PreS', 'AeCs', the
        // scale in opt), as Bitwig, Live and REAPER do.
        if (editor && index == fourCharCode('P', 'r', 'e', 'S') && value == fourCharCode('A', 'e', 'C', 's') &&
            std::isfinite(opt) && opt > 0.0f) {
            editor->setHostScale(opt);
            return 1;
        }
        return 0;
    default: return 0;
    }
}
