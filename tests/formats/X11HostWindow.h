#pragma once
// A host's window on the X display, for the editors' tests: the editor opens
// inside it, its children are counted, and a real click is sent to Play.
#include <cstdint>
#include <functional>
#include <utility>

class X11HostWindow {
public:
    X11HostWindow();
    ~X11HostWindow();
    X11HostWindow(const X11HostWindow&) = delete;
    X11HostWindow& operator=(const X11HostWindow&) = delete;

    bool opened() const { return display != nullptr; }
    // Whether a window can be opened here (a display that answers).
    static bool available();
    unsigned long id() const { return window; }
    void* handle() const { return reinterpret_cast<void*>(static_cast<uintptr_t>(window)); }
    unsigned children() const;
    // A press and release on the editor's Play button, drawn at scale, the
    // host idling the editor (idle(n): n idles, 5 ms apart) while they
    // arrive.
    void clickPlay(const std::function<void(int)>& idle, int scale = 1);
    // A right click at (x, y) of the editor's window, idled the same way.
    void rightClick(int x, int y, const std::function<void(int)>& idle);
    // The editor's window's size (0 × 0 without one).
    std::pair<int, int> childSize() const;

private:
    void click(int x, int y, unsigned button, const std::function<void(int)>& idle);

    struct _XDisplay* display = nullptr;
    unsigned long window = 0;
};
