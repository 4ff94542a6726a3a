#pragma once
// Binds a C++ object to the VST 2 effect record: it owns the record and the
// host callback, decodes every dispatcher call into a virtual operation and
// wraps the host operations. All entry functions run on whatever thread the
// host calls them from; the derived player says which thread does what.
#include <cstdint>

#include "platform/Relaxed.h"
#include "vst2/vst2.h"

class EditorBase;

class EffectBase {
public:
    EffectBase(HostCallback host, int32_t programs, int32_t params);
    virtual ~EffectBase();
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    virtual void setParameter(int32_t index, float value) { (void)index, (void)value; }
    virtual float getParameter(int32_t index) { (void)index; return 0.0f; }
    virtual void setParameterAutomated(int32_t index, float value);
    virtual void process(float** inputs, float** outputs, int32_t frames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, int32_t frames) { (void)inputs, (void)outputs, (void)frames; }
    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    virtual void open() {}
    virtual void close() {}
    virtual int32_t getProgram() { return curProgram; }
    virtual void setProgram(int32_t program) { curProgram = program; }
    virtual void setProgramName(const char* name) { (void)name; }
    virtual void getProgramName(char* name) { *name = 0; }
    virtual void getParameterLabel(int32_t index, char* text) { (void)index; *text = 0; }
    virtual void getParameterDisplay(int32_t index, char* text) { (void)index; *text = 0; }
    virtual void getParameterName(int32_t index, char* text) { (void)index; *text = 0; }
    virtual float getVu() { return 0.0f; }
    virtual int32_t getChunk(void** data, bool isPreset) { (void)data, (void)isPreset; return 0; }
    virtual int32_t setChunk(void* data, int32_t size, bool isPreset) { (void)data, (void)size, (void)isPreset; return 0; }
    virtual void setSampleRate(float rate) { sampleRate = rate; }
    virtual void setBlockSize(int32_t frames) { blockSize = frames; }
    virtual void suspend() {}
    virtual void resume() {}
    virtual int32_t processEvents(VstEvents* events) { (void)events; return 0; }
    virtual bool getEffectName(char* text) { (void)text; return false; }
    virtual bool getVendorString(char* text) { (void)text; return false; }
    virtual bool getProductString(char* text) { (void)text; return false; }
    virtual int32_t getVendorVersion() { return 0; }
    virtual intptr_t canDo(const char* text) { (void)text; return 0; }
    // False when the parameter has no properties to tell.
    virtual bool getParameterProperties(int32_t index, VstParameterProperties& properties) { (void)index, (void)properties; return false; }
    // Sets a parameter from a text in its display's units; false when the
    // text says nothing the parameter can take.
    virtual bool setParameterText(int32_t index, const char* text) { (void)index, (void)text; return false; }
    virtual bool getProgramNameIndexed(int32_t program, char* name) { (void)program, (void)name; return false; }

    AEffect* record() { return &effect; }
    static EffectBase* fromRecord(AEffect* record);

    // The editor stores itself here when it is constructed; the effect owns it.
    void setEditor(EditorBase* newEditor);
    EditorBase* getEditor() const { return editor; }

    float getSampleRate() const { return sampleRate; }
    int32_t getBlockSize() const { return blockSize; }

    // Host operations. Each passes the effect record as the first argument.
    intptr_t callHost(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr, float opt = 0.0f);
    int32_t hostVersion() { return static_cast<int32_t>(callHost(audioMasterVersion)); }
    void hostIdle() { callHost(audioMasterIdle); }
    bool hostWantMidi() { return callHost(audioMasterWantMidi, 0, 1) != 0; }
    bool hostSetTime(VstTimeInfo* info) { return callHost(audioMasterSetTime, 0, 0, info) != 0; }
    const char* hostDirectory() { return reinterpret_cast<const char*>(callHost(audioMasterGetDirectory)); }
    bool hostBeginEdit(int32_t index) { return callHost(audioMasterBeginEdit, index) != 0; }
    bool hostEndEdit(int32_t index) { return callHost(audioMasterEndEdit, index) != 0; }
    // Tells the host a parameter's new value, without setting it again.
    void hostAutomate(int32_t index, float value) { callHost(audioMasterAutomate, index, 0, nullptr, value); }
    VstTimeInfo* hostTime(int32_t filter) { return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, filter)); }
    bool hostProcessEvents(VstEvents* events) { return callHost(audioMasterProcessEvents, 0, 0, events) != 0; }
    bool hostIOChanged() { return callHost(audioMasterIOChanged) != 0; }
    bool hostSizeWindow(int32_t width, int32_t height) { return callHost(audioMasterSizeWindow, width, height) != 0; }
    float hostSampleRate() { return static_cast<float>(callHost(audioMasterGetSampleRate)); }
    int32_t hostBlockSize() { return static_cast<int32_t>(callHost(audioMasterGetBlockSize)); }
    int32_t hostProcessLevel() { return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel)); }
    bool hostVendorString(char* text) { return callHost(audioMasterGetVendorString, 0, 0, text) != 0; }
    bool hostProductString(char* text) { return callHost(audioMasterGetProductString, 0, 0, text) != 0; }
    int32_t hostVendorVersion() { return static_cast<int32_t>(callHost(audioMasterGetVendorVersion)); }
    intptr_t hostCanDo(const char* text) { return callHost(audioMasterCanDo, 0, 0, const_cast<char*>(text)); }
    bool hostUpdateDisplay() { return callHost(audioMasterUpdateDisplay) != 0; }

protected:
    void setNumInputs(int32_t inputs) { effect.numInputs = inputs; }
    void setNumOutputs(int32_t outputs) { effect.numOutputs = outputs; }
    void setUniqueId(int32_t id) { effect.uniqueID = id; }
    void addFlags(int32_t flags) { effect.flags |= flags; }

    Relaxed<float> sampleRate{44100.0f};
    EditorBase* editor = nullptr;
    HostCallback hostCallback;
    int32_t numPrograms;
    int32_t numParams;
    Relaxed<int32_t> curProgram{0};
    Relaxed<int32_t> blockSize{1024};
    AEffect effect{};
    ERect editorRect{0, 0, 0, 0};

private:
    intptr_t extendedDispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
};
