#pragma once
// An editor with a window view over the off-screen window, and a host that
// counts its idle calls and edit notices.
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "gui/Control.h"
#include "editor/EditorBase.h"
#include "gui/WindowView.h"
#include "platform/Clock.h"
#include "vst2/EffectBase.h"

struct CountingHost {
    static inline int idles = 0;
    static inline std::vector<std::pair<int32_t, int32_t>> edits; // opcode, tag
    static intptr_t callback(AEffect*, int32_t opcode, int32_t index, intptr_t, void*, float) {
        if (opcode == audioMasterIdle) ++idles;
        if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit) edits.emplace_back(opcode, index);
        return opcode == audioMasterVersion ? 2400 : 0;
    }
};

class PlainEffect : public EffectBase {
public:
    PlainEffect() : EffectBase(CountingHost::callback, 1, 0) {}
    void process(float**, float**, int32_t) override {}
};

class TestEditor : public EditorBase {
public:
    // The effect owns the editor.
    explicit TestEditor(EffectBase& effect, Rect windowSize = Rect{0, 0, 200, 100})
        : EditorBase(windowSize), effect(effect), windowSize(windowSize) {
        effect.setEditor(this);
    }
    bool open(void* parentWindow) override {
        EditorBase::open(parentWindow);
        frame = new WindowView(windowSize, parentWindow, *this);
        return true;
    }
    void close() override {
        delete frame;
        frame = nullptr;
    }
    ~TestEditor() override { close(); }
    // Every tag stands for the parameter of its number.
    void beginEdit(int32_t tag) override { effect.hostBeginEdit(tag); }
    void endEdit(int32_t tag) override { effect.hostEndEdit(tag); }

private:
    EffectBase& effect;
    Rect windowSize;
};

// Records every value the listener is told.
class RecordingListener : public ControlListener {
public:
    void valueChanged(Canvas*, Control* control) override { values.push_back(control->getValue()); }
    std::vector<float> values;
};

class GuiFixture : public ::testing::Test {
protected:
    void SetUp() override {
        CountingHost::idles = 0;
        CountingHost::edits.clear();
        effect = std::make_unique<PlainEffect>();
        editor = new TestEditor(*effect); // the effect owns it
        editor->open(nullptr);
        frame = editor->windowView();
        window = dynamic_cast<platform::OffscreenWindow*>(&frame->native());
    }
    // A click whose drag follows the scripted states (the first one is the
    // state at the press).
    void press(Point at, std::initializer_list<platform::PointerState> drag) {
        // The window has been painted once, as a shown window has: every
        // control has drawn its current value.
        window->queuePaint(0, 0, 199, 99);
        editor->idle();
        window->script(drag);
        window->queueButtonDown(at.x, at.y);
        editor->idle();
    }
    std::unique_ptr<PlainEffect> effect;
    TestEditor* editor = nullptr;
    WindowView* frame = nullptr;
    platform::OffscreenWindow* window = nullptr;
    RecordingListener listener;
};
