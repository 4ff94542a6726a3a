// The editor's window on X11: a child of the window id the host passes, on a
// display connection of its own. Every call checks that it runs on the
// thread that opened the window and touches nothing otherwise, because Xlib
// connections are not shared between threads here.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <atomic>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/NativeWindow.h"

namespace platform {
namespace {

std::atomic<int> offThreadCalls{0};

class X11Window : public NativeWindow {
public:
    X11Window(Display* display, ::Window parent, int32_t width, int32_t height)
        : display(display), width(width), height(height), owner(std::this_thread::get_id()),
          buffer(static_cast<size_t>(width) * height) {
        window = XCreateSimpleWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                                     static_cast<unsigned>(height), 0, 0, 0);
        XSelectInput(display, window, ExposureMask | ButtonPressMask | StructureNotifyMask);
        XMapWindow(display, window);
        gc = XCreateGC(display, window, 0, nullptr);
        Visual* visual = DefaultVisual(display, DefaultScreen(display));
        image = XCreateImage(display, visual, 24, ZPixmap, 0, reinterpret_cast<char*>(buffer.data()),
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
        XFlush(display);
    }

    ~X11Window() override {
        if (!onOwnerThread()) return;
        if (image) {
            image->data = nullptr; // the pixels belong to buffer
            XDestroyImage(image);
        }
        if (cursor) XFreeCursor(display, cursor);
        XFreeGC(display, gc);
        XDestroyWindow(display, window);
        XCloseDisplay(display);
    }

    PointerState pointer() override {
        PointerState state;
        if (!onOwnerThread()) return state;
        ::Window root, child;
        int rootX, rootY, x, y;
        unsigned mask = 0;
        if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask)) return state;
        state.x = x;
        state.y = y;
        if (mask & Button1Mask) state.buttons |= LeftButton;
        if (mask & Button2Mask) state.buttons |= MiddleButton;
        if (mask & Button3Mask) state.buttons |= RightButton;
        if (mask & ShiftMask) state.buttons |= ShiftKey;
        if (mask & ControlMask) state.buttons |= ControlKey;
        if (mask & Mod1Mask) state.buttons |= AltKey;
        return state;
    }

    void present(const uint32_t* pixels, int32_t w, int32_t h) override {
        if (!onOwnerThread() || !image || w != width || h != height) return;
        std::memcpy(buffer.data(), pixels, buffer.size() * sizeof(uint32_t));
        XPutImage(display, window, gc, image, 0, 0, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height));
        XFlush(display);
    }

    void setCursor(int32_t kind) override {
        if (!onOwnerThread()) return;
        static const unsigned shapes[] = {XC_left_ptr, XC_watch, XC_sb_h_double_arrow, XC_sb_v_double_arrow,
                                          XC_fleur, XC_bottom_left_corner, XC_bottom_right_corner};
        if (cursor) XFreeCursor(display, cursor);
        cursor = 0;
        if (kind <= 0 || kind > 6) {
            XUndefineCursor(display, window);
        } else {
            cursor = XCreateFontCursor(display, shapes[kind]);
            XDefineCursor(display, window, cursor);
        }
        XFlush(display);
    }

    void processEvents(WindowEvents& sink) override {
        if (!onOwnerThread()) return;
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            switch (event.type) {
            case Expose:
                sink.onPaint(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width - 1,
                             event.xexpose.y + event.xexpose.height - 1);
                break;
            case ButtonPress:
                if (event.xbutton.button >= Button1 && event.xbutton.button <= Button3)
                    sink.onButtonDown(event.xbutton.x, event.xbutton.y);
                break;
            case DestroyNotify:
                if (event.xdestroywindow.window == window) sink.onDestroyed();
                break;
            default: break;
            }
        }
    }

private:
    bool onOwnerThread() const {
        if (std::this_thread::get_id() == owner) return true;
        ++offThreadCalls;
        return false;
    }

    Display* display;
    ::Window window = 0;
    GC gc{};
    XImage* image = nullptr;
    Cursor cursor = 0;
    int32_t width, height;
    std::thread::id owner;
    std::vector<uint32_t> buffer;
};

} // namespace

int nativeWindowOffThreadCalls() { return offThreadCalls; }

std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int32_t width, int32_t height) {
    if (parent && width > 0 && height > 0)
        if (Display* display = XOpenDisplay(nullptr))
            return std::make_unique<X11Window>(display, static_cast<::Window>(reinterpret_cast<uintptr_t>(parent)),
                                               width, height);
    return std::make_unique<OffscreenWindow>();
}

} // namespace platform
