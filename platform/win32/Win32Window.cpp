// The editor's window on Windows: a child of the host's HWND with a window
// class of its own. The window procedure runs inside the host's message
// loop; it only records what happened, and the editor reads the record at
// its idle, as on X11, so a drag is a state in the control and never a loop
// of the plug-in's own. Painting comes from a copy of the last frame, so the
// window repaints at once when uncovered, before the editor's next idle.
// The window is made per-monitor DPI aware where the system allows it (a
// host that is not aware keeps it unaware, and the system enlarges it), so
// it can draw at its monitor's scale and hear when that changes.
#include <windows.h>
#include <windowsx.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <deque>
#include <vector>

#include "platform/NativeWindow.h"
#include "platform/win32/WideText.h"

namespace platform {
namespace {

std::atomic<int> offThreadCalls{0};

// The class is registered for this DLL's instance under a name of its own,
// so the full and the compact build can be loaded side by side.
HINSTANCE ownInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ownInstance), &module);
    return module;
}

// The DPI calls of Windows 10, looked up at run time: older systems (and
// some wine versions) lack them, and there everything is at 96 DPI.
using ThreadAwarenessCall = HANDLE(WINAPI*)(HANDLE);
using WindowDpiCall = UINT(WINAPI*)(HWND);
template <typename Call> Call user32Call(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 ? reinterpret_cast<Call>(reinterpret_cast<void*>(GetProcAddress(user32, name))) : nullptr;
}
// DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, whose header may be missing.
const HANDLE perMonitorAware = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4));
constexpr UINT dpiChanged = 0x02E0;            // WM_DPICHANGED (top-level windows)
constexpr UINT dpiChangedAfterParent = 0x02E3; // WM_DPICHANGED_AFTERPARENT (child windows)

double scaleOfWindow(HWND window) {
    if (const auto dpiFor = user32Call<WindowDpiCall>("GetDpiForWindow"); dpiFor && window && IsWindow(window))
        if (const UINT dpi = dpiFor(window); dpi > 0) return dpi / 96.0;
    double scale = 1.0;
    if (HDC screen = GetDC(nullptr)) {
        if (const int dpi = GetDeviceCaps(screen, LOGPIXELSX); dpi > 0) scale = dpi / 96.0;
        ReleaseDC(nullptr, screen);
    }
    return scale;
}

struct Event {
    enum Kind { Paint, Press, Motion, Release, Wheel, Focus, Drop, Destroyed, Scale };
    Event(Kind kind, PointerState state = {}) : kind(kind), state(state) {}
    Kind kind;
    PointerState state;
    float distance = 0.0f;
    RECT area{};
    bool focused = false;
    std::vector<std::string> files;
};

uint32_t buttonsOf(WPARAM keys) {
    uint32_t buttons = 0;
    if (keys & MK_LBUTTON) buttons |= LeftButton;
    if (keys & MK_MBUTTON) buttons |= MiddleButton;
    if (keys & MK_RBUTTON) buttons |= RightButton;
    if (keys & MK_SHIFT) buttons |= ShiftKey;
    if (keys & MK_CONTROL) buttons |= ControlKey;
    if (GetKeyState(VK_MENU) & 0x8000) buttons |= AltKey;
    return buttons;
}

class Win32Window : public NativeWindow {
public:
    uintptr_t systemHandle() const override { return reinterpret_cast<uintptr_t>(window); }
    Win32Window(HWND parent, int32_t width, int32_t height)
        : width(width), height(height), frame(static_cast<size_t>(width) * height, 0u),
          owner(GetCurrentThreadId()) {
        const char* className = registerClass();
        if (!className) return;
        const auto awareness = user32Call<ThreadAwarenessCall>("SetThreadDpiAwarenessContext");
        HANDLE before = awareness ? awareness(perMonitorAware) : nullptr;
        window = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, width, height,
                                 parent, nullptr, ownInstance(), this);
        if (before) awareness(before);
        if (window) {
            DragAcceptFiles(window, TRUE);
            counted = true;
            ++liveWindows;
        }
    }

    ~Win32Window() override {
        if (!onOwnerThread()) return;
        if (window && IsWindow(window)) {
            SetWindowLongPtrA(window, GWLP_USERDATA, 0);
            DestroyWindow(window);
        }
        // The last window gone takes the class with it: a class left
        // registered after the DLL unloads points at code that is gone, and
        // a DLL loaded again at the same address could not register its own.
        if (counted && --liveWindows == 0) unregisterClass();
    }

    HWND handle() const { return window; }

    PointerState pointer() override {
        PointerState state;
        if (!onOwnerThread() || !window) return state;
        POINT at{};
        GetCursorPos(&at);
        ScreenToClient(window, &at);
        state.x = at.x;
        state.y = at.y;
        const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
        if (GetAsyncKeyState(swapped ? VK_RBUTTON : VK_LBUTTON) & 0x8000) state.buttons |= LeftButton;
        if (GetAsyncKeyState(VK_MBUTTON) & 0x8000) state.buttons |= MiddleButton;
        if (GetAsyncKeyState(swapped ? VK_LBUTTON : VK_RBUTTON) & 0x8000) state.buttons |= RightButton;
        if (GetKeyState(VK_SHIFT) & 0x8000) state.buttons |= ShiftKey;
        if (GetKeyState(VK_CONTROL) & 0x8000) state.buttons |= ControlKey;
        if (GetKeyState(VK_MENU) & 0x8000) state.buttons |= AltKey;
        state.time = GetTickCount();
        return state;
    }

    using NativeWindow::present;
    void present(const uint32_t* pixels, int32_t w, int32_t h, int32_t left, int32_t top, int32_t right,
                 int32_t bottom) override {
        if (!onOwnerThread() || !window || w != width || h != height) return;
        left = std::clamp(left, 0, width);
        right = std::clamp(right, left, width);
        top = std::clamp(top, 0, height);
        bottom = std::clamp(bottom, top, height);
        if (left == right || top == bottom) return;
        for (int32_t y = top; y < bottom; ++y)
            std::memcpy(&frame[static_cast<size_t>(y) * width + left], pixels + static_cast<size_t>(y) * width + left,
                        sizeof(uint32_t) * static_cast<size_t>(right - left));
        if (HDC dc = GetDC(window)) {
            blit(dc, left, top, right, bottom);
            ReleaseDC(window, dc);
        }
    }

    void resize(int32_t w, int32_t h) override {
        if (!onOwnerThread() || !window || w <= 0 || h <= 0 || (w == width && h == height)) return;
        width = w;
        height = h;
        frame.assign(static_cast<size_t>(w) * h, 0u);
        SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void setCursor(int32_t kind) override {
        if (!onOwnerThread()) return;
        static const LPCSTR shapes[] = {IDC_ARROW, IDC_WAIT, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEALL, IDC_SIZENESW,
                                        IDC_SIZENWSE};
        cursor = LoadCursorA(nullptr, shapes[kind < 0 || kind > 6 ? 0 : kind]);
        // The new shape shows at once when the pointer is over the window.
        POINT at{};
        if (window && GetCursorPos(&at) && WindowFromPoint(at) == window) SetCursor(cursor);
    }

    void processEvents(WindowEvents& sink) override {
        if (!onOwnerThread()) return;
        // A handler may open a dialog whose message loop brings new events:
        // they wait for the next idle.
        std::deque<Event> now;
        now.swap(events);
        for (Event& event : now) {
            switch (event.kind) {
            case Event::Paint:
                sink.onPaint(event.area.left, event.area.top, event.area.right - 1, event.area.bottom - 1);
                break;
            case Event::Press: sink.onButtonDown(event.state); break;
            case Event::Motion: sink.onPointerMotion(event.state); break;
            case Event::Release: sink.onButtonUp(event.state); break;
            case Event::Wheel: sink.onWheel(event.state, event.distance); break;
            case Event::Focus: sink.onFocus(event.focused); break;
            case Event::Drop: sink.onDrop(event.files); break;
            case Event::Destroyed: sink.onDestroyed(); break;
            case Event::Scale: sink.onScaleChanged(event.distance); break;
            }
        }
    }

private:
    static inline char name[64] = {};
    static inline bool registered = false;
    static inline int liveWindows = 0; // on the GUI thread only, as windows are made and closed

    static void unregisterClass() {
        if (registered && UnregisterClassA(name, ownInstance())) registered = false;
    }

    static const char* registerClass() {
        if (registered) return name;
        wsprintfA(name, "tunedeckEditor%p", static_cast<void*>(ownInstance()));
        WNDCLASSEXA windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.style = CS_DBLCLKS;
        windowClass.lpfnWndProc = &Win32Window::procedure;
        windowClass.hInstance = ownInstance();
        windowClass.hCursor = nullptr; // the window sets its own (WM_SETCURSOR)
        windowClass.lpszClassName = name;
        if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return nullptr;
        registered = true;
        return name;
    }

    static LRESULT CALLBACK procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
        return self->handle(hwnd, message, wParam, lParam);
    }

    PointerState stateAt(WPARAM keys, LPARAM lParam) const {
        PointerState state;
        state.buttons = buttonsOf(keys);
        state.x = GET_X_LPARAM(lParam);
        state.y = GET_Y_LPARAM(lParam);
        state.time = static_cast<uint32_t>(GetMessageTime());
        return state;
    }

    void pointerEvent(Event::Kind kind, const PointerState& state) {
        Event event(kind, state);
        events.push_back(std::move(event));
    }

    LRESULT handle(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint{};
            HDC dc = BeginPaint(hwnd, &paint);
            blit(dc, paint.rcPaint.left, paint.rcPaint.top, paint.rcPaint.right, paint.rcPaint.bottom);
            EndPaint(hwnd, &paint);
            Event event(Event::Paint);
            event.area = paint.rcPaint;
            events.push_back(std::move(event));
            return 0;
        }
        case WM_ERASEBKGND: return 1; // the frame covers the whole window
        case WM_LBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
            // Captured, so a drag that leaves the window still ends here.
            SetCapture(hwnd);
            SetFocus(hwnd);
            pointerEvent(Event::Press, stateAt(wParam, lParam));
            return 0;
        case WM_LBUTTONUP:
        case WM_MBUTTONUP:
        case WM_RBUTTONUP: {
            const PointerState state = stateAt(wParam, lParam);
            if (!(state.buttons & (LeftButton | MiddleButton | RightButton)) && GetCapture() == hwnd) ReleaseCapture();
            pointerEvent(Event::Release, state);
            return 0;
        }
        case WM_MOUSEMOVE: {
            const PointerState state = stateAt(wParam, lParam);
            if (state.buttons & (LeftButton | MiddleButton | RightButton)) pointerEvent(Event::Motion, state);
            return 0;
        }
        case WM_CAPTURECHANGED:
            // Capture taken away mid-drag (another window, a dialog): the
            // drag ends where the pointer was last seen.
            if (reinterpret_cast<HWND>(lParam) != hwnd) {
                PointerState state = pointer();
                state.buttons &= ~(LeftButton | MiddleButton | RightButton);
                pointerEvent(Event::Release, state);
            }
            return 0;
        case WM_MOUSEWHEEL: {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ScreenToClient(hwnd, &at);
            PointerState state = stateAt(GET_KEYSTATE_WPARAM(wParam), 0);
            state.x = at.x;
            state.y = at.y;
            Event event(Event::Wheel, state);
            event.distance = static_cast<float>(GET_WHEEL_DELTA_WPARAM(wParam)) / WHEEL_DELTA;
            events.push_back(std::move(event));
            return 0;
        }
        case WM_SETFOCUS:
        case WM_KILLFOCUS: {
            Event event(Event::Focus);
            event.focused = message == WM_SETFOCUS;
            events.push_back(std::move(event));
            return 0;
        }
        case WM_SETCURSOR:
            if (LOWORD(lParam) == HTCLIENT) {
                SetCursor(cursor ? cursor : LoadCursorA(nullptr, IDC_ARROW));
                return TRUE;
            }
            break;
        case WM_DROPFILES: {
            auto drop = reinterpret_cast<HDROP>(wParam);
            Event event(Event::Drop);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring file(length + 1, L'\0');
                DragQueryFileW(drop, i, file.data(), length + 1);
                file.resize(length);
                if (!file.empty()) event.files.push_back(win32::narrowed(file));
            }
            DragFinish(drop);
            if (!event.files.empty()) events.push_back(std::move(event));
            return 0;
        }
        case dpiChanged:
        case dpiChangedAfterParent: {
            // Moved to a monitor of another scale: the editor draws anew at
            // it, and sizes the window itself.
            Event event(Event::Scale);
            event.distance = static_cast<float>(message == dpiChanged ? LOWORD(wParam) / 96.0 : scaleOfWindow(hwnd));
            events.push_back(std::move(event));
            return 0;
        }
        case WM_DESTROY:
            // The host destroyed its frame (and this window with it) first.
            events.emplace_back(Event::Destroyed);
            window = nullptr;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            return 0;
        default: break;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }

    // The frame's pixels (0x00RRGGBB, top row first) are a 32-bit DIB's own.
    void blit(HDC dc, LONG left, LONG top, LONG right, LONG bottom) {
        left = std::clamp<LONG>(left, 0, width);
        right = std::clamp<LONG>(right, left, width);
        top = std::clamp<LONG>(top, 0, height);
        bottom = std::clamp<LONG>(bottom, top, height);
        if (left == right || top == bottom) return;
        // The rows of the area are handed over as a DIB of their own height:
        // a source rectangle that takes a whole DIB's height means the same
        // rows whether the system counts them from the top or the bottom
        // (it counts from the bottom for a part of a top-down DIB, and not
        // every implementation agrees on how).
        const LONG rows = bottom - top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, left, top, static_cast<DWORD>(right - left), static_cast<DWORD>(rows), left, 0, 0,
                          static_cast<UINT>(rows), frame.data() + static_cast<size_t>(top) * width, &info,
                          DIB_RGB_COLORS);
    }

    bool onOwnerThread() const {
        if (GetCurrentThreadId() == owner) return true;
        ++offThreadCalls;
        return false;
    }

    HWND window = nullptr;
    bool counted = false; // this window is one of liveWindows
    HCURSOR cursor = nullptr;
    int32_t width, height;
    std::vector<uint32_t> frame;
    std::deque<Event> events;
    DWORD owner;
};

} // namespace

int nativeWindowOffThreadCalls() { return offThreadCalls; }

double desktopScale(void* parent) { return scaleOfWindow(static_cast<HWND>(parent)); }

std::unique_ptr<NativeWindow> openNativeWindow(void* parent, int32_t width, int32_t height) {
    if (parent && width > 0 && height > 0 && IsWindow(static_cast<HWND>(parent))) {
        auto window = std::make_unique<Win32Window>(static_cast<HWND>(parent), width, height);
        if (window->handle()) return window;
    }
    return std::make_unique<OffscreenWindow>();
}

} // namespace platform
