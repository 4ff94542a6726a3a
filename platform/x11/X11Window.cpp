// The editor's window on X11: a child of the window id the host passes, on a
// display connection of its own, with an image in the window's own visual
// and depth (16, 24 or 30 bits). Every call checks that it runs on the
// thread that opened the window and touches nothing otherwise, because Xlib
// connections are not shared between threads here; and every call runs
// under an error trap, so that no X error (a host frame destroyed first, a
// visual the server refuses) can end the host.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/cursorfont.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/NativeWindow.h"
#include "platform/x11/XdndReceiver.h"

namespace platform {
namespace {

std::atomic<int> offThreadCalls{0};

// X errors on the plug-in's own connection are recorded here instead of
// reaching Xlib's default handler, which would end the host. The handler is
// installed only around the plug-in's calls; errors of other connections
// (the host's) go on to the handler that was there before.
thread_local Display* trappedDisplay = nullptr;
thread_local int trappedErrors = 0;
thread_local XErrorHandler outerHandler = nullptr;

int trapError(Display* display, XErrorEvent* error) {
    if (display == trappedDisplay) {
        ++trappedErrors;
        return 0;
    }
    return outerHandler ? outerHandler(display, error) : 0;
}

class ErrorTrap {
public:
    explicit ErrorTrap(Display* display) : display_(display) {
        previousDisplay = trappedDisplay;
        previousErrors = trappedErrors;
        previousOuter = outerHandler;
        trappedDisplay = display;
        trappedErrors = 0;
        XErrorHandler old = XSetErrorHandler(trapError);
        outerHandler = old == trapError ? previousOuter : old;
    }
    ~ErrorTrap() {
        // Errors of the calls made under the trap arrive by now.
        XSync(display_, False);
        XSetErrorHandler(outerHandler);
        trappedDisplay = previousDisplay;
        trappedErrors = previousErrors;
        outerHandler = previousOuter;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;
    // Errors so far, the calls before this one included.
    int errors() {
        XSync(display_, False);
        return trappedErrors;
    }

private:
    Display* display_;
    Display* previousDisplay;
    int previousErrors;
    XErrorHandler previousOuter;
};

// How a pixel of 8-bit channels becomes one of a TrueColor visual.
struct ChannelLayout {
    int shift = 0; // of the channel's lowest bit
    int bits = 0;
    explicit ChannelLayout(unsigned long mask) {
        if (!mask) return;
        while (!(mask & 1)) mask >>= 1, ++shift;
        while (mask & 1) mask >>= 1, ++bits;
    }
    unsigned long place(uint32_t value8) const {
        const unsigned long value = bits >= 8 ? (static_cast<unsigned long>(value8) << (bits - 8)) |
                                                    (static_cast<unsigned long>(value8) >> (16 - bits > 0 ? 16 - bits : 0))
                                              : value8 >> (8 - bits);
        return (value & ((1ul << bits) - 1)) << shift;
    }
};

class X11Window : public NativeWindow {
public:
    uintptr_t systemHandle() const override { return static_cast<uintptr_t>(window); }
    X11Window(Display* display, ::Window parent, int32_t width, int32_t height)
        : display(display), width(width), height(height), owner(std::this_thread::get_id()) {
        ErrorTrap trap(display);
        // The window is made in the screen's default visual with a colormap
        // of its own, whatever the host's frame uses (a 32-bit ARGB frame
        // included); where the server refuses that, in the parent's visual.
        const int screen = DefaultScreen(display);
        Visual* visual = DefaultVisual(display, screen);
        int depth = DefaultDepth(display, screen);
        XSetWindowAttributes attributes{};
        attributes.colormap = XCreateColormap(display, parent, visual, AllocNone);
        attributes.border_pixel = 0;
        attributes.background_pixel = 0;
        window = XCreateWindow(display, parent, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                               depth, InputOutput, visual, CWColormap | CWBorderPixel | CWBackPixel, &attributes);
        colormap = attributes.colormap;
        if (trap.errors() > 0 || !window) {
            XWindowAttributes parentAttributes{};
            if (window) XDestroyWindow(display, window);
            if (colormap) XFreeColormap(display, colormap);
            colormap = 0;
            window = 0;
            if (!XGetWindowAttributes(display, parent, &parentAttributes)) return;
            visual = parentAttributes.visual;
            depth = parentAttributes.depth;
            window = XCreateSimpleWindow(display, parent, 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), 0, 0, 0);
        }
        XSelectInput(display, window,
                     ExposureMask | ButtonPressMask | ButtonReleaseMask | ButtonMotionMask | FocusChangeMask |
                         StructureNotifyMask);
        dragAndDrop = std::make_unique<XdndReceiver>(display, window);
        XMapWindow(display, window);
        gc = XCreateGC(display, window, 0, nullptr);
        red = ChannelLayout(visual->red_mask);
        green = ChannelLayout(visual->green_mask);
        blue = ChannelLayout(visual->blue_mask);
        imageVisual = visual;
        imageDepth = depth;
        makeImage();
        XFlush(display);
    }

    void setBackground(uint32_t pixel) override {
        if (!onOwnerThread() || !window) return;
        ErrorTrap trap(display);
        XSetWindowBackground(display, window, red.place(pixel >> 16 & 255) | green.place(pixel >> 8 & 255) |
                                                  blue.place(pixel & 255));
    }

    void resize(int32_t w, int32_t h) override {
        if (!onOwnerThread() || !window || w <= 0 || h <= 0 || (w == width && h == height)) return;
        ErrorTrap trap(display);
        width = w;
        height = h;
        XResizeWindow(display, window, static_cast<unsigned>(w), static_cast<unsigned>(h));
        makeImage();
        XFlush(display);
    }

    ~X11Window() override {
        if (!onOwnerThread()) return;
        {
            // The host may have destroyed its frame (and so this window) first.
            ErrorTrap trap(display);
            if (dragAndDrop) dragAndDrop->withdraw();
            if (image) {
                image->data = nullptr; // the pixels belong to imageBytes
                XDestroyImage(image);
            }
            if (cursor) XFreeCursor(display, cursor);
            if (gc) XFreeGC(display, gc);
            if (window) XDestroyWindow(display, window);
            if (colormap) XFreeColormap(display, colormap);
        }
        XCloseDisplay(display);
    }

    static PointerState stateOf(unsigned mask, int x, int y) {
        PointerState state;
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

    PointerState pointer() override {
        PointerState state;
        if (!onOwnerThread() || !window) return state;
        ErrorTrap trap(display);
        ::Window root, child;
        int rootX, rootY, x, y;
        unsigned mask = 0;
        if (!XQueryPointer(display, window, &root, &child, &rootX, &rootY, &x, &y, &mask)) return state;
        return stateOf(mask, x, y);
    }

    using NativeWindow::present;
    void present(const uint32_t* pixels, int32_t w, int32_t h, int32_t left, int32_t top, int32_t right,
                 int32_t bottom) override {
        if (!onOwnerThread() || !image || !window || w != width || h != height) return;
        left = std::clamp(left, 0, width);
        right = std::clamp(right, left, width);
        top = std::clamp(top, 0, height);
        bottom = std::clamp(bottom, top, height);
        if (left == right || top == bottom) return;
        convert(pixels, top, bottom);
        ErrorTrap trap(display);
        XPutImage(display, window, gc, image, left, top, left, top, static_cast<unsigned>(right - left),
                  static_cast<unsigned>(bottom - top));
    }

    void setCursor(int32_t kind) override {
        if (!onOwnerThread() || !window) return;
        static const unsigned shapes[] = {XC_left_ptr, XC_watch, XC_sb_h_double_arrow, XC_sb_v_double_arrow,
                                          XC_fleur, XC_bottom_left_corner, XC_bottom_right_corner};
        ErrorTrap trap(display);
        if (cursor) XFreeCursor(display, cursor);
        cursor = 0;
        if (kind <= 0 || kind > 6) {
            XUndefineCursor(display, window);
        } else {
            cursor = XCreateFontCursor(display, shapes[kind]);
            XDefineCursor(display, window, cursor);
        }
    }

    void processEvents(WindowEvents& sink) override {
        if (!onOwnerThread()) return;
        ErrorTrap trap(display);
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            std::vector<std::string> dropped;
            if (dragAndDrop && dragAndDrop->handle(event, dropped)) {
                if (!dropped.empty()) sink.onDrop(dropped);
                continue;
            }
            switch (event.type) {
            case Expose:
                if (dragAndDrop && event.xexpose.count == 0) dragAndDrop->updateProxy();
                sink.onPaint(event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width - 1,
                             event.xexpose.y + event.xexpose.height - 1);
                break;
            case ButtonPress:
            case ButtonRelease: {
                const unsigned button = event.xbutton.button;
                PointerState before = stateOf(event.xbutton.state, event.xbutton.x, event.xbutton.y);
                before.time = static_cast<uint32_t>(event.xbutton.time);
                if (button == Button4 || button == Button5) {
                    if (event.type == ButtonPress) sink.onWheel(before, button == Button4 ? 1.0f : -1.0f);
                    break;
                }
                uint32_t bit = 0;
                if (button == Button1) bit = LeftButton;
                if (button == Button2) bit = MiddleButton;
                if (button == Button3) bit = RightButton;
                if (!bit) break;
                // The event's state is the one before it.
                if (event.type == ButtonPress)
                    sink.onButtonDown({before.buttons | bit, before.x, before.y, before.time});
                else
                    sink.onButtonUp({before.buttons & ~bit, before.x, before.y, before.time});
                break;
            }
            case FocusIn:
            case FocusOut:
                if (event.xfocus.window == window) sink.onFocus(event.type == FocusIn);
                break;
            case MotionNotify:
                sink.onPointerMotion(stateOf(event.xmotion.state, event.xmotion.x, event.xmotion.y));
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

    // 0x00RRGGBB pixels into the image in the window's own pixel format.
    void convert(const uint32_t* pixels, int32_t firstRow, int32_t endRow) {
        const bool plain = red.shift == 16 && red.bits == 8 && green.shift == 8 && green.bits == 8 &&
                           blue.shift == 0 && blue.bits == 8;
        for (int32_t y = firstRow; y < endRow; ++y) {
            const uint32_t* from = pixels + static_cast<size_t>(y) * width;
            char* row = image->data + static_cast<size_t>(y) * image->bytes_per_line;
            if (image->bits_per_pixel == 32 && plain && image->byte_order == LSBFirst) {
                std::memcpy(row, from, sizeof(uint32_t) * width);
                continue;
            }
            for (int32_t x = 0; x < width; ++x) {
                const uint32_t p = from[x];
                const unsigned long value =
                    red.place(p >> 16 & 0xFF) | green.place(p >> 8 & 0xFF) | blue.place(p & 0xFF);
                if (image->bits_per_pixel == 32 && image->byte_order == LSBFirst) {
                    const auto v = static_cast<uint32_t>(value);
                    std::memcpy(row + 4 * x, &v, 4);
                } else if (image->bits_per_pixel == 16 && image->byte_order == LSBFirst) {
                    const auto v = static_cast<uint16_t>(value);
                    std::memcpy(row + 2 * x, &v, 2);
                } else {
                    XPutPixel(image, x, y, value);
                }
            }
        }
    }

    // The image the window's pixels go through, at the window's size.
    void makeImage() {
        if (image) {
            image->data = nullptr; // the pixels belong to imageBytes
            XDestroyImage(image);
        }
        image = XCreateImage(display, imageVisual, static_cast<unsigned>(imageDepth), ZPixmap, 0, nullptr,
                             static_cast<unsigned>(width), static_cast<unsigned>(height), 32, 0);
        if (image) {
            imageBytes.assign(static_cast<size_t>(image->bytes_per_line) * static_cast<size_t>(height), 0);
            image->data = imageBytes.data();
        }
    }

    Display* display;
    Visual* imageVisual = nullptr;
    int imageDepth = 0;
    ::Window window = 0;
    Colormap colormap = 0;
    GC gc{};
    XImage* image = nullptr;
    std::vector<char> imageBytes;
    ChannelLayout red{0}, green{0}, blue{0};
    Cursor cursor = 0;
    std::unique_ptr<XdndReceiver> dragAndDrop;
    int32_t width, height;
    std::thread::id owner;
};

} // namespace

int nativeWindowOffThreadCalls() { return offThreadCalls; }

namespace {
// Xft.dpi from the server's resources (what GNOME, KDE and xrdb set for
// the whole desktop), 0 when it is not set.
double resourceDpi(Display* display) {
    const char* resources = XResourceManagerString(display);
    if (!resources) return 0.0;
    for (const char* line = resources; line && *line;) {
        const char* end = std::strchr(line, '\n');
        const std::string entry(line, end ? static_cast<size_t>(end - line) : std::strlen(line));
        if (entry.rfind("Xft.dpi:", 0) == 0) return std::strtod(entry.c_str() + 8, nullptr);
        line = end ? end + 1 : nullptr;
    }
    return 0.0;
}

// A number from the environment, 0 when unset or not one.
double environmentNumber(const char* name) {
    const char* text = std::getenv(name);
    if (!text || !*text) return 0.0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    return end && *end == '\0' && std::isfinite(value) ? value : 0.0;
}
} // namespace

// What the host's own toolkit was told for this process (GTK's GDK_SCALE,
// Qt's QT_SCALE_FACTOR) comes before the desktop's Xft.dpi.
double desktopScale(void*) {
    for (const char* name : {"GDK_SCALE", "QT_SCALE_FACTOR"})
        if (const double value = environmentNumber(name); value > 0.0) return value;
    double dpi = 0.0;
    if (Display* display = XOpenDisplay(nullptr)) {
        dpi = resourceDpi(display);
        XCloseDisplay(display);
    }
    return dpi > 0.0 && std::isfinite(dpi) ? dpi / 96.0 : 1.0;
}

std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int32_t width, int32_t height) {
    if (parent && width > 0 && height > 0)
        if (Display* display = XOpenDisplay(nullptr))
            return std::make_unique<X11Window>(display, static_cast<::Window>(reinterpret_cast<uintptr_t>(parent)),
                                               width, height);
    return std::make_unique<OffscreenWindow>();
}

} // namespace platform
