#pragma once
// The native window the editor draws in: a child of the host's window on
// X11, or an off-screen stand-in whose pointer tests script. Every call is
// made on the thread that opened the window (the host's GUI thread).
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace platform {

enum PointerBits : uint32_t {
    LeftButton = 1,
    MiddleButton = 2,
    RightButton = 4,
    ShiftKey = 8,
    ControlKey = 16,
    AltKey = 32,
};

struct PointerState {
    uint32_t buttons = 0; // PointerBits
    int32_t x = 0;        // relative to the window's top-left
    int32_t y = 0;
    uint32_t time = 0;    // of the event, in milliseconds (0: not known)
};

// What the window reports, every queued event in order, read in the
// editor's idle. Each pointer event carries its own place, buttons and
// modifiers: a press and its release that arrive together still make a
// click.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void onPaint(int32_t left, int32_t top, int32_t right, int32_t bottom) = 0;
    // The buttons held with the one just pressed.
    virtual void onButtonDown(const PointerState& state) = 0;
    // The pointer moved with buttons held.
    virtual void onPointerMotion(const PointerState& state) = 0;
    // The buttons still held after the release.
    virtual void onButtonUp(const PointerState& state) = 0;
    // Wheel steps: positive away from the user.
    virtual void onWheel(const PointerState& state, float distance) = 0;
    // The window gained or lost the keyboard focus.
    virtual void onFocus(bool focused) = 0;
    // Files dropped on the window (a file manager's drag and drop).
    virtual void onDrop(const std::vector<std::string>& files) = 0;
    // The window's screen asks for another scale now (a window moved to
    // another monitor).
    virtual void onScaleChanged(float scale) { (void)scale; }
    virtual void onDestroyed() = 0;
};

class NativeWindow {
public:
    virtual ~NativeWindow() = default;
    // The buttons and modifiers held now and the pointer's place.
    virtual PointerState pointer() = 0;
    // Shows width × height pixels (0x00RRGGBB, rows top down); only the
    // area from (left, top) to (right, bottom), exclusive, has changed.
    virtual void present(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top,
                         int32_t right, int32_t bottom) = 0;
    void present(const uint32_t* pixels, int32_t width, int32_t height) {
        present(pixels, width, height, 0, 0, width, height);
    }
    // Makes the window width × height pixels; present then takes pixels of
    // that size.
    virtual void resize(int32_t width, int32_t height) = 0;
    // The colour (0x00RRGGBB) the system shows where the window is larger
    // than the pixels presented (a host that stretches it to its own frame).
    virtual void setBackground(uint32_t pixel) { (void)pixel; }
    // 0 the default cursor, 1 wait, 2..6 the sizing cursors.
    virtual void setCursor(int32_t kind) = 0;
    virtual void processEvents(WindowEvents& sink) = 0;
    // The system's own handle of the window (an X11 window id, an HWND), for
    // hosts that ask for it; 0 for a window of no system.
    virtual uintptr_t systemHandle() const { return 0; }
};

// A window for tests and pictures: what it is shown is kept, its pointer and
// its events are scripted.
class OffscreenWindow : public NativeWindow {
public:
    // A press at (x, y) delivers the scripted states as a pointer would: the
    // first one with the press, the next ones as motion while a button is
    // held, and a release at the first state without one (or at the end of
    // the script).
    void script(std::initializer_list<PointerState> states) { pointerScript.insert(pointerScript.end(), states); }
    void queueButtonDown(int32_t x, int32_t y) { events.push_back({Event::Press, x, y, 0, 0}); }
    // Single pointer events, as a server queues them.
    void queuePress(PointerState state) { events.push_back({Event::RawPress, state.x, state.y, static_cast<int32_t>(state.buttons), 0}); }
    void queueMotion(PointerState state) { events.push_back({Event::Motion, state.x, state.y, static_cast<int32_t>(state.buttons), 0}); }
    void queueRelease(PointerState state) { events.push_back({Event::Release, state.x, state.y, static_cast<int32_t>(state.buttons), 0}); }
    void queueFocus(bool focused) { events.push_back({Event::Focus, focused ? 1 : 0, 0, 0, 0}); }
    void queueDrop(std::vector<std::string> files) {
        drops.push_back(std::move(files));
        events.push_back({Event::Drop, 0, 0, 0, 0});
    }
    void queueWheel(int32_t x, int32_t y, float distance) {
        events.push_back({Event::Wheel, x, y, static_cast<int32_t>(distance * 1000.0f), 0});
    }
    void queuePaint(int32_t left, int32_t top, int32_t right, int32_t bottom) {
        events.push_back({Event::Paint, left, top, right, bottom});
    }

    PointerState pointer() override;
    void present(const uint32_t* pixels, int32_t width, int32_t height, int32_t left, int32_t top, int32_t right,
                 int32_t bottom) override;
    using NativeWindow::present;
    // The area the last present sent: left, top, right, bottom (exclusive).
    const int32_t* lastArea() const { return area; }
    void setCursor(int32_t kind) override { cursor = kind; }
    void resize(int32_t width, int32_t height) override { size[0] = width, size[1] = height; }
    void queueScale(float scale) { events.push_back({Event::Scale, static_cast<int32_t>(scale * 1000.0f), 0, 0, 0}); }
    // The size the last resize asked for (0 × 0 before any).
    const int32_t* lastSize() const { return size; }
    void processEvents(WindowEvents& sink) override;

    int32_t presentCount() const { return presents; }
    int32_t currentCursor() const { return cursor; }
    const uint32_t* shown() const { return lastShown; }
    int32_t polls() const { return pointerPolls; }

private:
    struct Event {
        enum Kind { Press, Paint, Wheel, RawPress, Motion, Release, Focus, Drop, Scale } kind;
        int32_t a, b, c, d;
    };
    std::deque<PointerState> pointerScript;
    std::deque<Event> events;
    std::deque<std::vector<std::string>> drops;
    PointerState last{};
    const uint32_t* lastShown = nullptr;
    int32_t presents = 0;
    int32_t area[4] = {};
    int32_t size[2] = {};
    int32_t cursor = 0;
    int32_t pointerPolls = 0;
};

// The window for a host's parent window: an X11 child window when parent
// names one and a display can be opened, otherwise an off-screen window.
std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int32_t width, int32_t height);

// The scale the desktop asks programs to draw at (1 on a plain screen), for
// the screen of the host's window parent (null: the default screen), as
// the desktop or the host's environment sets it. Not rounded.
double desktopScale(void* parent);

// Calls that reached a window from another thread than its own, and were
// refused (tests look at it).
int nativeWindowOffThreadCalls();

} // namespace platform
