#include "vst3/Vst3View.h"

#include <cmath>
#include <cstring>

#include "editor/PlayerEditor.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#define CALL SMTG_STDMETHODCALLTYPE

namespace {
constexpr uint32_t idlePeriodMs = 30; // the editor's idle, as VST 2 hosts call it

bool sameId(const Steinberg_TUID a, const Steinberg_TUID b) { return std::memcmp(a, b, sizeof(Steinberg_TUID)) == 0; }

#if defined(_WIN32)
const char* const platformType = "HWND";
#else
const char* const platformType = "X11EmbedWindowID";
#endif
} // namespace

struct Vst3View::Calls {
    static Vst3View& of(void* self) { return *static_cast<Face*>(self)->owner; }

    static Steinberg_tresult CALL queryInterface(void* self, const Steinberg_TUID iid, void** object) {
        return of(self).query(iid, object);
    }
    static Steinberg_uint32 CALL addRef(void* self) { return of(self).addRef(); }
    static Steinberg_uint32 CALL release(void* self) { return of(self).release(); }

    static Steinberg_tresult CALL isPlatformTypeSupported(void*, Steinberg_FIDString type) {
        return type && std::strcmp(type, platformType) == 0 ? Steinberg_kResultTrue : Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL attached(void* self, void* parent, Steinberg_FIDString type) {
        return of(self).attach(parent, type);
    }
    static Steinberg_tresult CALL removed(void* self) { return of(self).remove(); }
    // The editor's own window takes the wheel and the keys.
    static Steinberg_tresult CALL onWheel(void*, float) { return Steinberg_kResultFalse; }
    static Steinberg_tresult CALL onKey(void*, Steinberg_char16, Steinberg_int16, Steinberg_int16) {
        return Steinberg_kResultFalse;
    }
    // The window's size at the scale it is drawn at.
    static Steinberg_tresult CALL getSize(void* self, Steinberg_ViewRect* size) {
        if (!size) return Steinberg_kInvalidArgument;
        const Rect shown = of(self).deck.editor().windowSize();
        *size = Steinberg_ViewRect{0, 0, shown.width(), shown.height()};
        return Steinberg_kResultOk;
    }
    // One size a scale: a host that offers another is told this one.
    static Steinberg_tresult CALL onSize(void* self, Steinberg_ViewRect* size) {
        if (!size) return Steinberg_kInvalidArgument;
        const Rect shown = of(self).deck.editor().windowSize();
        return size->right - size->left == shown.width() && size->bottom - size->top == shown.height()
                   ? Steinberg_kResultOk
                   : Steinberg_kResultFalse;
    }
    static Steinberg_tresult CALL onFocus(void*, Steinberg_TBool) { return Steinberg_kResultOk; }
    static Steinberg_tresult CALL setFrame(void* self, Steinberg_IPlugFrame* frame) {
        of(self).setFrame(frame);
        return Steinberg_kResultOk;
    }
    static Steinberg_tresult CALL canResize(void*) { return Steinberg_kResultFalse; }
    static Steinberg_tresult CALL checkSizeConstraint(void* self, Steinberg_ViewRect* rect) {
        if (!rect) return Steinberg_kInvalidArgument;
        const Rect shown = of(self).deck.editor().windowSize();
        rect->right = rect->left + shown.width();
        rect->bottom = rect->top + shown.height();
        return Steinberg_kResultTrue;
    }
    static Steinberg_tresult CALL setContentScaleFactor(void* self,
                                                        Steinberg_IPlugViewContentScaleSupport_ScaleFactor factor) {
        if (!std::isfinite(factor) || factor <= 0.0f) return Steinberg_kInvalidArgument;
        of(self).deck.editor().setHostScale(factor);
        return Steinberg_kResultOk;
    }

    static void CALL onTimer(void* self) {
        Vst3View& view = of(self);
        if (view.parentWindow) view.deck.editor().idle();
    }

    static Steinberg_IPlugViewVtbl viewTable;
    static Steinberg_Linux_ITimerHandlerVtbl timerTable;
    static Steinberg_IPlugViewContentScaleSupportVtbl scaleTable;
};

Steinberg_IPlugViewVtbl Vst3View::Calls::viewTable{
    queryInterface, addRef,  release,   isPlatformTypeSupported, attached, removed, onWheel, onKey, onKey, getSize,
    onSize,         onFocus, setFrame, canResize,               checkSizeConstraint};
Steinberg_Linux_ITimerHandlerVtbl Vst3View::Calls::timerTable{queryInterface, addRef, release, onTimer};
Steinberg_IPlugViewContentScaleSupportVtbl Vst3View::Calls::scaleTable{queryInterface, addRef, release,
                                                                       setContentScaleFactor};

Steinberg_IPlugView* Vst3View::make(Vst3Deck& deck) {
    auto* made = new Vst3View(deck);
    return reinterpret_cast<Steinberg_IPlugView*>(&made->view);
}

Vst3View::Vst3View(Vst3Deck& owner)
    : deck(owner), view{&Calls::viewTable, this}, timer{&Calls::timerTable, this}, scaling{&Calls::scaleTable, this} {
    deck.addRef();
}

Vst3View::~Vst3View() {
    remove(); // a host that releases an attached view
    setFrame(nullptr);
    deck.release();
}

Steinberg_tresult Vst3View::query(const Steinberg_TUID iid, void** object) {
    if (!object) return Steinberg_kInvalidArgument;
    *object = nullptr;
    if (!iid) return Steinberg_kNoInterface;
    Face* face = nullptr;
    if (sameId(iid, Steinberg_FUnknown_iid) || sameId(iid, Steinberg_IPlugView_iid)) face = &view;
    else if (sameId(iid, Steinberg_IPlugViewContentScaleSupport_iid)) face = &scaling;
#if !defined(_WIN32)
    else if (sameId(iid, Steinberg_Linux_ITimerHandler_iid)) face = &timer;
#endif
    if (!face) return Steinberg_kNoInterface;
    addRef();
    *object = face;
    return Steinberg_kResultOk;
}

uint32_t Vst3View::addRef() { return references.fetch_add(1, std::memory_order_relaxed) + 1; }

uint32_t Vst3View::release() {
    const uint32_t left = references.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

void Vst3View::setFrame(Steinberg_IPlugFrame* newFrame) {
    if (newFrame == frame) return;
    if (newFrame && !newFrame->lpVtbl) newFrame = nullptr;
    if (newFrame) newFrame->lpVtbl->addRef(newFrame);
    if (frame) frame->lpVtbl->release(frame);
    frame = newFrame;
}

Steinberg_tresult Vst3View::attach(void* parent, Steinberg_FIDString type) {
    if (!parent || !type || std::strcmp(type, platformType) != 0) return Steinberg_kInvalidArgument;
    // One editor a deck: a second view is refused while the first shows it.
    if (parentWindow || deck.editor().isOpen()) return Steinberg_kResultFalse;
    // The window drawn at a new scale (a person's choice, another monitor)
    // asks the frame for its new size.
    deck.editor().onResize = [this](int32_t width, int32_t height) {
        Steinberg_ViewRect size{0, 0, width, height};
        return frame && frame->lpVtbl->resizeView(frame, reinterpret_cast<Steinberg_IPlugView*>(&view), &size) ==
                            Steinberg_kResultOk;
    };
    if (!deck.editor().open(parent)) return Steinberg_kResultFalse;
    parentWindow = parent;
    startIdling();
    return Steinberg_kResultOk;
}

Steinberg_tresult Vst3View::remove() {
    if (!parentWindow) return Steinberg_kResultFalse;
    stopIdling();
    deck.editor().close();
    deck.editor().onResize = nullptr;
    parentWindow = nullptr;
    return Steinberg_kResultOk;
}

#if defined(_WIN32)
// The editor's own window carries the timer (Windows hosts give no run
// loop): the window is ours, so any id is, and the id names the view's
// handler. The timer goes with the window.
namespace {
void CALLBACK idleTimer(HWND, UINT, UINT_PTR id, DWORD) {
    auto* handler = reinterpret_cast<Steinberg_Linux_ITimerHandler*>(id);
    handler->lpVtbl->onTimer(handler);
}
} // namespace

void Vst3View::startIdling() {
    SetTimer(reinterpret_cast<HWND>(deck.editor().systemWindow()), reinterpret_cast<UINT_PTR>(&timer), idlePeriodMs,
             idleTimer);
}

void Vst3View::stopIdling() {
    KillTimer(reinterpret_cast<HWND>(deck.editor().systemWindow()), reinterpret_cast<UINT_PTR>(&timer));
}
#else
void Vst3View::startIdling() {
    if (!frame) return; // a host without a frame gives no run loop to idle on
    void* loop = nullptr;
    if (frame->lpVtbl->queryInterface(frame, Steinberg_Linux_IRunLoop_iid, &loop) != Steinberg_kResultOk || !loop) return;
    runLoop = static_cast<Steinberg_Linux_IRunLoop*>(loop);
    auto* handler = reinterpret_cast<Steinberg_Linux_ITimerHandler*>(&timer);
    if (runLoop->lpVtbl->registerTimer(runLoop, handler, idlePeriodMs) != Steinberg_kResultOk) {
        runLoop->lpVtbl->release(runLoop);
        runLoop = nullptr;
    }
}

void Vst3View::stopIdling() {
    if (!runLoop) return;
    runLoop->lpVtbl->unregisterTimer(runLoop, reinterpret_cast<Steinberg_Linux_ITimerHandler*>(&timer));
    runLoop->lpVtbl->release(runLoop);
    runLoop = nullptr;
}
#endif
