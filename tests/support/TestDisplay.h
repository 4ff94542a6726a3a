#pragma once
// The X display of xvfb-run for tests of the real window. Include it after
// the test framework, whose names Xlib's macros would otherwise take.
#include <chrono>
#include <thread>

#include <X11/Xlib.h>

// Waits a while for a display the server is still busy with (it may be
// closing the last test's connections); null when none opens.
inline Display* openTestDisplay() {
    Display* display = nullptr;
    for (int attempt = 0; attempt < 40 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return display;
}
