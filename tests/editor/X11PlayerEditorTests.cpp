// Each build's editor as a Linux host shows it: inside the host's window
// under Xvfb, clicked with a real pointer; and gone, window and threads,
// once the host has closed it and the plug-in.
#include <dirent.h>

#include <chrono>
#include <cstdlib>
#include <cmath>
#include <functional>
#include <thread>

#include "gui/WindowView.h"
#include "tests/support/PlayerFixture.h"

// After the test framework, whose names Xlib's macros would otherwise take.
#include "tests/support/TestDisplay.h"
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

int threadCount() {
    int count = 0;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(tasks)) count += entry->d_name[0] != '.';
        closedir(tasks);
    }
    return count;
}

class X11PlayerEditor : public ::testing::TestWithParam<const BuildProfile*> {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display (run under xvfb-run)";
        display = openTestDisplay();
        ASSERT_NE(display, nullptr) << "cannot open " << std::getenv("DISPLAY");
        TestHost::reset();
        parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 400, 0, 0, 0);
        XMapWindow(display, parent);
        XSync(display, False);
    }
    void TearDown() override {
        if (!display) return;
        XDestroyWindow(display, parent);
        XCloseDisplay(display);
    }
    int children() {
        ::Window root, up, *list = nullptr;
        unsigned count = 0;
        XQueryTree(display, parent, &root, &up, &list, &count);
        if (list) XFree(list);
        return static_cast<int>(count);
    }
    intptr_t call(int32_t opcode, void* ptr = nullptr) { return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f); }
    void idleFor(int milliseconds) {
        for (int i = 0; i < milliseconds / 5; ++i) {
            call(effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    // A real press on Play (at the layout's 72, 52 times scale), held until
    // the deck plays or a second has gone, then released.
    void clickPlay(TrackPlayer& player, int scale) {
        XTestFakeMotionEvent(display, -1, 72 * scale, 52 * scale, CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XSync(display, False);
        for (int i = 0; i < 200 && !player.isPlaying(); ++i) idleFor(5);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        idleFor(50);
    }

    Display* display = nullptr;
    ::Window parent = 0;
    AEffect* effect = nullptr;
};

TEST_P(X11PlayerEditor, ARealClickOnPlayStartsPlaybackAndClosingLeavesNothingBehind) {
    const int threadsBefore = threadCount();
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    const std::string track = PlayerFixture::rampTrack("x11-play.wav", 88200);
    player->addPaths({track}, true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    ASSERT_EQ(dynamic_cast<platform::OffscreenWindow*>(&editorOf(*player).windowView()->native()), nullptr)
        << "a real X11 window";
    idleFor(200);
    ASSERT_EQ(children(), 1);
    ASSERT_FALSE(player->isPlaying());

    clickPlay(*player, 1);
    ASSERT_TRUE(player->isPlaying()) << "the click reached the Play button";

    float left[512] = {}, right[512] = {};
    float* outs[2] = {left, right};
    effect->processReplacing(effect, nullptr, outs, 512);
    float loudest = 0.0f;
    for (float sample : left) loudest = std::max(loudest, std::abs(sample));
    EXPECT_GT(loudest, 0.001f) << "the track is heard";

    call(effEditClose);
    XSync(display, False);
    EXPECT_EQ(children(), 0) << "the editor's window is gone";
    call(effClose);
    EXPECT_EQ(threadCount(), threadsBefore) << "no thread outlives the plug-in";
}

// A desktop at 192 DPI (Xft.dpi, as GNOME and KDE set it at 200 %): the
// window opens at twice the layout's size and a real click on the doubled
// Play acts.
TEST_P(X11PlayerEditor, OnADesktopAt192DpiTheWindowOpensAtTwiceTheSizeAndTakesClicks) {
    const Atom resources = XInternAtom(display, "RESOURCE_MANAGER", False);
    const char setting[] = "Xft.dpi:\t192\nXft.antialias:\t1\n";
    XChangeProperty(display, DefaultRootWindow(display), resources, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(setting), sizeof setting - 1);
    XResizeWindow(display, parent, 800, 800);
    XSync(display, False);
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    player->addPaths({PlayerFixture::rampTrack("x11-dpi.wav", 88200)}, true);
    player->waitForOpenings();
    ERect* rect = nullptr;
    ASSERT_EQ(call(effEditGetRect, &rect), 1);
    EXPECT_EQ(rect->right - rect->left, 2 * GetParam()->editorWidth);
    EXPECT_EQ(rect->bottom - rect->top, 2 * GetParam()->editorHeight);
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(200);
    ::Window root, up, *list = nullptr;
    unsigned count = 0;
    XQueryTree(display, parent, &root, &up, &list, &count);
    ASSERT_EQ(count, 1u);
    XWindowAttributes child{};
    const ::Window editorWindow = list[0];
    XGetWindowAttributes(display, editorWindow, &child);
    XFree(list);
    EXPECT_EQ(child.width, 2 * GetParam()->editorWidth) << "512 wide";
    EXPECT_EQ(child.height, 2 * GetParam()->editorHeight) << (GetParam()->compact ? "168 high" : "700 high");
    // A host that stretches the window to its own toolbar's width (Ardour
    // does) shows the deck's edge colour there, not black.
    XResizeWindow(display, editorWindow, child.width + 100, child.height);
    XSync(display, False);
    idleFor(50);
    const auto screenPixel = [&](int x, int y) {
        XImage* shot = XGetImage(display, editorWindow, x, y, 1, 1, AllPlanes, ZPixmap);
        const unsigned long pixel = shot ? XGetPixel(shot, 0, 0) : 0;
        if (shot) XDestroyImage(shot);
        return pixel;
    };
    if (child.depth == 24) {
        EXPECT_EQ(screenPixel(child.width + 50, 10), screenPixel(child.width - 2, child.height - 2));
        EXPECT_NE(screenPixel(child.width + 50, 10), 0ul);
    }
    XResizeWindow(display, editorWindow, child.width, child.height);

    clickPlay(*player, 2);
    EXPECT_TRUE(player->isPlaying()) << "the click reached the Play button at its doubled place";
    call(effEditClose);
    call(effClose);
    XDeleteProperty(display, DefaultRootWindow(display), resources);
    XSync(display, False);
}

// A press and its release that reach the window together, before the
// host's next idle, still make a click: every one of ten counts.
TEST_P(X11PlayerEditor, QuickClicksOnPlayEachCount) {
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    player->addPaths({PlayerFixture::rampTrack("x11-quick.wav", 441000)}, true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(200);
    XTestFakeMotionEvent(display, -1, 72, 52, CurrentTime); // the Play button
    int counted = 0;
    for (int click = 0; click < 10; ++click) {
        const bool before = player->isPlaying();
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XSync(display, False);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        call(effEditIdle); // one idle sees both
        counted += player->isPlaying() != before;
    }
    EXPECT_EQ(counted, 10);
    call(effEditClose);
    call(effClose);
}

// Two clicks on a list row that reach the window together are timed by
// the server's own event times: a double click plays the row.
TEST_P(X11PlayerEditor, ADoubleClickOnAListRowPlaysIt) {
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    player->addPaths({PlayerFixture::rampTrack("x11-row-a.wav", 4410), PlayerFixture::rampTrack("x11-row-b.wav", 4410),
                      PlayerFixture::rampTrack("x11-row-c.wav", 4410)},
                     true);
    player->waitForOpenings();
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    if (GetParam()->compact) editorOf(*player).setPage(2);
    idleFor(200);
    const Rect row = editorOf(*player).controls().rows[2]->viewSize();
    XTestFakeMotionEvent(display, -1, row.left + 20, (row.top + row.bottom) / 2, CurrentTime);
    for (int i = 0; i < 2; ++i) {
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
    }
    XSync(display, False);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    call(effEditIdle);
    player->waitForOpenings();
    EXPECT_EQ(player->trackList().currentIndex, 2);
    call(effEditClose);
    call(effClose);
}

// A file manager's drag and drop, played by this test through the XDND
// protocol as a source does: files and a list offered as "text/uri-list"
// are added; an offer of anything else is refused, and nothing is added.
class DropSource {
public:
    // target: the window the source finds; deliverTo: where its messages go
    // (the target's drop proxy, when it names one).
    DropSource(Display* display, ::Window target, ::Window deliverTo = 0)
        : display(display), target(target), deliverTo(deliverTo ? deliverTo : target) {
        window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 10, 10, 0, 0, 0);
        selection = atom("XdndSelection");
    }
    ~DropSource() { XDestroyWindow(display, window); }
    Atom atom(const char* name) { return XInternAtom(display, name, False); }
    void send(const char* type, long l1, long l2, long l3, long l4) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = atom(type);
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(window);
        event.xclient.data.l[1] = l1;
        event.xclient.data.l[2] = l2;
        event.xclient.data.l[3] = l3;
        event.xclient.data.l[4] = l4;
        XSendEvent(display, deliverTo, False, NoEventMask, &event);
        XFlush(display);
    }
    // Offers data as type, drops it, and answers the target until it says it
    // is finished: the accept bits of its status and of its finish.
    std::pair<long, long> dropOn(const std::string& type, const std::string& data, const std::function<void()>& idle) {
        XSetSelectionOwner(display, selection, window, CurrentTime);
        send("XdndEnter", 5L << 24, static_cast<long>(atom(type.c_str())), 0, 0);
        send("XdndPosition", 0, (40L << 16) | 40, CurrentTime, static_cast<long>(atom("XdndActionCopy")));
        long accepted = -1, finished = -1;
        bool dropped = false;
        for (int round = 0; round < 400 && finished < 0; ++round) {
            idle();
            while (XPending(display) > 0) {
                XEvent event;
                XNextEvent(display, &event);
                if (event.type == ClientMessage && event.xclient.message_type == atom("XdndStatus"))
                    accepted = event.xclient.data.l[1] & 1;
                if (event.type == ClientMessage && event.xclient.message_type == atom("XdndFinished"))
                    finished = event.xclient.data.l[1] & 1;
                if (event.type == SelectionRequest) {
                    const XSelectionRequestEvent& request = event.xselectionrequest;
                    XChangeProperty(display, request.requestor, request.property, request.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
                    XEvent notify{};
                    notify.xselection.type = SelectionNotify;
                    notify.xselection.requestor = request.requestor;
                    notify.xselection.selection = request.selection;
                    notify.xselection.target = request.target;
                    notify.xselection.property = request.property;
                    notify.xselection.time = request.time;
                    XSendEvent(display, request.requestor, False, NoEventMask, &notify);
                    XFlush(display);
                }
            }
            if (accepted >= 0 && !dropped) {
                send("XdndDrop", 0, CurrentTime, 0, 0);
                dropped = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return {accepted, finished};
    }

private:
    Display* display;
    ::Window target;
    ::Window deliverTo;
    ::Window window = 0;
    Atom selection;
};

TEST_P(X11PlayerEditor, FilesAndListsDroppedFromAFileManagerAreAdded) {
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    // The host's window is at first a window of its own, and takes drops
    // (GTK marks its windows so) without taking them over a plug-in.
    const long version = 5;
    XChangeProperty(display, parent, XInternAtom(display, "XdndAware", False), XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&version), 1);
    const ::Window early = parent;
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(100);
    // Then the host embeds it in its real top-level window and shows it.
    parent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 400, 0, 0, 0);
    XReparentWindow(display, early, parent, 0, 0);
    XMapWindow(display, parent);
    XMapWindow(display, early);
    XSync(display, False);
    idleFor(100);
    ::Window root, up, *list = nullptr;
    unsigned count = 0;
    XQueryTree(display, early, &root, &up, &list, &count);
    ASSERT_EQ(count, 1u);
    const ::Window deck = list[0];
    XFree(list);
    const std::string a = PlayerFixture::rampTrack("drop a.wav", 4410), b = PlayerFixture::rampTrack("drop-b.wav", 4410);
    const std::string m3u = testdata::tempPath("drop-list.m3u");
    {
        std::FILE* file = std::fopen(m3u.c_str(), "w");
        std::fprintf(file, "%s\n", PlayerFixture::rampTrack("drop-c.wav", 4410).c_str());
        std::fclose(file);
    }
    const auto idle = [&] { call(effEditIdle); };
    // File managers that look at top-level windows only find the deck as
    // the drop proxy of the host's window.
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    ASSERT_EQ(XGetWindowProperty(display, parent, XInternAtom(display, "XdndProxy", False), 0, 1, False, AnyPropertyType,
                                 &type, &format, &items, &after, &data),
              Success);
    ASSERT_NE(data, nullptr) << "the host's window names the deck as its drop proxy";
    const ::Window proxy = static_cast<::Window>(*reinterpret_cast<unsigned long*>(data));
    XFree(data);
    EXPECT_EQ(proxy, deck);
    data = nullptr;
    XGetWindowProperty(display, early, XInternAtom(display, "XdndProxy", False), 0, 1, False, AnyPropertyType, &type,
                       &format, &items, &after, &data);
    EXPECT_EQ(data, nullptr) << "the window the deck was first in no longer names it";
    if (data) XFree(data);
    DropSource direct(display, deck);
    auto [refused, refusedFinish] = direct.dropOn("text/plain", "hello", idle);
    EXPECT_EQ(refused, 0) << "anything but a list of files is refused";
    EXPECT_EQ(refusedFinish, 0);
    EXPECT_EQ(player->trackList().count, 0);
    std::string uris = "# dragged from a file manager\r\nfile://" + std::string(a).replace(a.find(' '), 1, "%20") +
                       "\r\nfile://localhost" + b + "\r\nhttp://example.org/x.mp3\r\nfile://" + m3u + "\r\n";
    DropSource throughTheHostsWindow(display, parent, proxy);
    auto [accepted, finished] = throughTheHostsWindow.dropOn("text/uri-list", uris, idle);
    EXPECT_EQ(accepted, 1);
    EXPECT_EQ(finished, 1);
    player->waitForOpenings();
    ASSERT_EQ(player->trackList().count, 3);
    EXPECT_EQ(std::string(player->trackList().entries[0]), a);
    EXPECT_EQ(std::string(player->trackList().entries[1]), b);
    call(effEditClose);
    XSync(display, False);
    data = nullptr;
    XGetWindowProperty(display, parent, XInternAtom(display, "XdndProxy", False), 0, 1, False, AnyPropertyType, &type,
                       &format, &items, &after, &data);
    EXPECT_EQ(type, static_cast<Atom>(None)) << "the host's window gets its drops back";
    if (data) XFree(data);
    XReparentWindow(display, early, DefaultRootWindow(display), 0, 0);
    XDestroyWindow(display, early);
    call(effClose);
}

TEST_P(X11PlayerEditor, AHostThatClosesThePluginWithTheWindowOpenGetsACleanClose) {
    const int threadsBefore = threadCount();
    auto* player = new TrackPlayer(TestHost::callback, *GetParam());
    effect = player->record();
    call(effOpen);
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    ASSERT_EQ(call(effEditOpen, reinterpret_cast<void*>(static_cast<uintptr_t>(parent))), 1);
    idleFor(100);
    EXPECT_EQ(children(), 1) << "opening twice keeps one window";
    call(effClose);
    XSync(display, False);
    EXPECT_EQ(children(), 0);
    EXPECT_EQ(threadCount(), threadsBefore);
}

INSTANTIATE_TEST_SUITE_P(Builds, X11PlayerEditor, ::testing::Values(&fullProfile, &compactProfile),
                         [](const auto& info) { return std::string(info.param->compact ? "Compact" : "Full"); });

} // namespace
