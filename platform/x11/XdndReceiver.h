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
    XdndReceiver(Display* display, ::Window window);
    // True when the event belonged to a drag and drop; dropped holds the
    // files of a drop that has just completed.
    bool handle(const XEvent& event, std::vector<std::string>& dropped);

private:
    void reply(::Window source, Atom type, long accept, Atom action);
    bool offersUriList(const XClientMessageEvent& enter);

    Display* display;
    ::Window window;
    Atom aware, enter, position, status, leave, drop, finished, selection, typeList, actionCopy, uriList, property;
    ::Window source = 0;
    bool acceptable = false;
    bool waiting = false; // for the list, after a drop
};

} // namespace platform
