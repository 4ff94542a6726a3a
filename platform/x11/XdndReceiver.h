#pragma once
// Files dropped on a window from a file manager, through the XDND protocol
// (version 5): the window says it takes drops, accepts an offer of
// "text/uri-list" and nothing else, fetches the list at the drop and tells
// the source it is done. Runs on the window's own thread and connection.
#include <X11/Xlib.h>

#include <string>
#include <string_view>
#include <vector>

namespace platform {

// The local files a "text/uri-list" names: "file:" URIs of this host, their
// %-escapes decoded; comments, other schemes and other hosts are left out.
std::vector<std::string> filesFromUriList(std::string_view list);

class XdndReceiver {
public:
    // Also makes the window the drop proxy of its top-level window: file
    // managers that look at top-level windows only (GTK's) then find the
    // deck inside a host's window.
    XdndReceiver(Display* display, ::Window window);
    XdndReceiver(const XdndReceiver&) = delete;
    XdndReceiver& operator=(const XdndReceiver&) = delete;
    // True when the event belonged to a drag and drop; dropped holds the
    // files of a drop that has just completed.
    bool handle(const XEvent& event, std::vector<std::string>& dropped);
    // Gives the top-level window its drops back (before the window goes,
    // on the window's own thread and connection).
    void withdraw();
    // Follows the window to the top-level window it is in now.
    void updateProxy();

private:
    void reply(::Window source, Atom type, long accept, Atom action);
    ::Window topLevel();
    // The window at names as its drop proxy, or 0.
    ::Window proxyOf(::Window at);
    bool offersUriList(const XClientMessageEvent& enter);

    Display* display;
    ::Window window;
    Atom aware, proxy, enter, position, status, leave, drop, finished, selection, typeList, actionCopy, uriList,
        property;
    ::Window proxied = 0;   // the top-level window whose drops come here
    ::Window addressed = 0; // the window the source addresses: this one or proxied
    ::Window source = 0;
    bool acceptable = false;
    bool waiting = false; // for the list, after a drop
};

} // namespace platform
