// A small Windows host for the editor check under Wine: it loads a plug-in
// DLL, restores a saved deck state, makes a framed top-level window of its
// own and opens the editor in it, then runs an audio thread and the window's
// message loop with an idle every 20 ms, as a host does.
//
//   tunedeck-editor-host PLUGIN.dll STATE [SECONDS [DROP]]
//
// Once the editor has settled it prints "ready X Y W H" (the editor's place
// on the screen and its window's size), so a script can take a screenshot
// and click. With TUNEDECK_HOST_DPI_AWARE=1 in its environment it declares
// itself per-monitor DPI aware first, as today's hosts do. It exits 0
// "playing" as soon as the deck reports Playing and its output carries sound,
// keeps the window up three seconds more and exits 0; it exits 1 when that
// has not happened within SECONDS (default 30). Sound before the click is a
// failure too: the state is saved stopped. With DROP, a file is then dropped
// on the editor as Explorer drops one (WM_DROPFILES), and the deck's saved
// state must name it: it prints "dropped" or "the drop was not taken".
//
// Threads: the main thread owns the windows and the dispatcher; the audio
// thread calls processReplacing only and reports what it heard in atomics.
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>
#include <vector>

#include "vst2/vst2.h"
#include "tests/support/LoadedLibrary.h"

namespace {

using EntryPoint = AEffect* (*)(HostCallback);

intptr_t host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

intptr_t call(AEffect* e, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr) {
    return e->dispatcher(e, opcode, index, value, ptr, 0.0f);
}

LRESULT CALLBACK frameProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) return 0; // the check decides when it ends
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND makeFrame(int32_t width, int32_t height) {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = frameProcedure;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    frameClass.lpszClassName = "tunedeckCheckHost";
    RegisterClassA(&frameClass);
    RECT outer{0, 0, width, height};
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE;
    AdjustWindowRect(&outer, style, FALSE);
    return CreateWindowExA(0, "tunedeckCheckHost", "tunedeck check host", style, 40, 40, outer.right - outer.left,
                           outer.bottom - outer.top, nullptr, nullptr, frameClass.hInstance, nullptr);
}

// Handles what the message queue holds, then waits until the next idle.
void pumpFor(int milliseconds, AEffect* effect) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        call(effect, effEditIdle);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

// Drops the file on the window as Explorer does, then looks for its whole
// path in the deck's saved state.
bool dropFile(HWND editor, const char* name, AEffect* effect) {
    char path[MAX_PATH] = {};
    if (!GetFullPathNameA(name, MAX_PATH, path, nullptr)) return false;
    const size_t length = std::strlen(path);
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + length + 2); // zeroed: the list ends in two NULs
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    std::memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), path, length);
    GlobalUnlock(memory);
    PostMessageA(editor, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    pumpFor(1000, effect);
    void* chunk = nullptr;
    const intptr_t bytes = call(effect, effGetChunk, 0, 0, &chunk);
    if (bytes <= 0 || !chunk) return false;
    const char* begin = static_cast<const char*>(chunk);
    return std::search(begin, begin + bytes, path, path + length) != begin + bytes;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tunedeck-editor-host PLUGIN.dll STATE [SECONDS [DROP]]\n");
        return 2;
    }
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 30;
    if (const char* aware = std::getenv("TUNEDECK_HOST_DPI_AWARE"); aware && std::strcmp(aware, "1") == 0) {
        using AwarenessCall = BOOL(WINAPI*)(HANDLE);
        if (HMODULE user32 = GetModuleHandleA("user32.dll"))
            if (auto declare = reinterpret_cast<AwarenessCall>(
                    reinterpret_cast<void*>(GetProcAddress(user32, "SetProcessDpiAwarenessContext"))))
                declare(reinterpret_cast<HANDLE>(static_cast<intptr_t>(-4))); // per monitor, version 2
    }
    auto library = std::make_unique<LoadedLibrary>(argv[1]);
    auto entry = reinterpret_cast<EntryPoint>(library->symbol("VSTPluginMain"));
    AEffect* effect = entry ? entry(host) : nullptr;
    if (!effect) {
        std::fprintf(stderr, "%s gave no plug-in: %s\n", argv[1], library->error().c_str());
        return 2;
    }
    call(effect, effOpen);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    call(effect, effSetBlockSize, 0, 512);
    call(effect, effMainsChanged, 0, 1);

    // The plug-in's threads end before its DLL goes.
    auto giveUp = [&](const char* why) {
        std::fprintf(stderr, "%s\n", why);
        call(effect, effClose);
        library.reset();
        return 2;
    };
    std::ifstream in(argv[2], std::ios::binary);
    std::vector<char> state((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (state.empty() || call(effect, effSetChunk, 0, static_cast<intptr_t>(state.size()), state.data()) != 1)
        return giveUp("the state is not one the plug-in takes");

    ERect* size = nullptr;
    call(effect, effEditGetRect, 0, 0, &size);
    if (!size) return giveUp("the editor has no size");
    HWND frame = makeFrame(size->right - size->left, size->bottom - size->top);
    if (!frame || call(effect, effEditOpen, 0, 0, frame) == 0) return giveUp("the editor did not open");

    std::atomic<bool> running{true};
    std::atomic<bool> heardSound{false};
    std::thread audio([&] {
        std::vector<float> left(512), right(512);
        float* outputs[2] = {left.data(), right.data()};
        while (running.load()) {
            effect->processReplacing(effect, nullptr, outputs, 512);
            for (float sample : left)
                if (std::fabs(sample) > 1e-4f) heardSound.store(true);
            std::this_thread::sleep_for(std::chrono::milliseconds(11));
        }
    });

    // The opening of the restored track, its overview and the first paints.
    pumpFor(2500, effect);
    HWND editor = GetWindow(frame, GW_CHILD);
    POINT origin{0, 0};
    ClientToScreen(editor ? editor : frame, &origin);
    const bool soundBeforeClick = heardSound.load();
    RECT shown{0, 0, size->right - size->left, size->bottom - size->top};
    if (editor) GetClientRect(editor, &shown);
    std::printf("ready %ld %ld %ld %ld\n", origin.x, origin.y, shown.right - shown.left, shown.bottom - shown.top);
    std::fflush(stdout);

    bool playing = false;
    for (int waited = 0; waited < seconds * 10 && !playing; ++waited) {
        pumpFor(100, effect);
        playing = effect->getParameter(effect, 0) >= 0.5f && heardSound.load();
    }
    const bool silentBefore = !soundBeforeClick;
    std::printf(!silentBefore ? "sound before the click\n" : playing ? "playing\n" : "no playback\n");
    std::fflush(stdout);
    // The window stays a while, playing, for a look at what it shows now.
    if (playing && silentBefore) pumpFor(3000, effect);
    bool dropTaken = true;
    if (argc > 4 && editor) {
        dropTaken = dropFile(editor, argv[4], effect);
        std::printf(dropTaken ? "dropped\n" : "the drop was not taken\n");
    }
    running = false;
    audio.join();
    call(effect, effEditClose);
    call(effect, effMainsChanged, 0, 0);
    call(effect, effClose);
    DestroyWindow(frame);
    library.reset();
    return playing && silentBefore && dropTaken ? 0 : 1;
}
