#include "tests/formats/X11HostWindow.h"

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

X11HostWindow::X11HostWindow() {
    display = XOpenDisplay(nullptr);
    if (!display) return;
    window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 400, 0, 0, 0);
    XMapWindow(display, window);
    XSync(display, False);
}

bool X11HostWindow::available() {
    Display* probe = XOpenDisplay(nullptr);
    if (probe) XCloseDisplay(probe);
    return probe != nullptr;
}

X11HostWindow::~X11HostWindow() {
    if (!display) return;
    XDestroyWindow(display, window);
    XCloseDisplay(display);
}

unsigned X11HostWindow::children() const {
    ::Window root, up, *list = nullptr;
    unsigned count = 0;
    XSync(display, False);
    XQueryTree(display, window, &root, &up, &list, &count);
    if (list) XFree(list);
    return count;
}

std::pair<int, int> X11HostWindow::childSize() const {
    ::Window root, up, *list = nullptr;
    unsigned count = 0;
    XSync(display, False);
    XQueryTree(display, window, &root, &up, &list, &count);
    XWindowAttributes child{};
    if (count > 0) XGetWindowAttributes(display, list[0], &child);
    if (list) XFree(list);
    return {child.width, child.height};
}

void X11HostWindow::click(int x, int y, unsigned button, const std::function<void(int)>& idle) {
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, button, True, CurrentTime);
    XSync(display, False);
    idle(20);
    XTestFakeButtonEvent(display, button, False, CurrentTime);
    XSync(display, False);
    idle(20);
}

void X11HostWindow::rightClick(int x, int y, const std::function<void(int)>& idle) { click(x, y, 3, idle); }

// The Play button, the window at the screen's corner.
void X11HostWindow::clickPlay(const std::function<void(int)>& idle, int scale) {
    click(72 * scale, 52 * scale, 1, idle);
}
