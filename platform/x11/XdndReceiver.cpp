#include "platform/x11/XdndReceiver.h"

#include <X11/Xatom.h>

#include <cstring>

namespace platform {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "file:///a%20b" and "file://localhost/a" name /a b and /a; a file URI of
// another machine names nothing here.
bool localPath(std::string_view uri, std::string& path) {
    constexpr std::string_view scheme = "file://";
    if (uri.substr(0, scheme.size()) != scheme) return false;
    uri.remove_prefix(scheme.size());
    const size_t slash = uri.find('/');
    if (slash == std::string_view::npos) return false;
    const std::string_view host = uri.substr(0, slash);
    if (!host.empty() && host != "localhost") return false;
    uri.remove_prefix(slash);
    path.clear();
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() + 0 && hexValue(uri[i + 1]) >= 0 && hexValue(uri[i + 2]) >= 0) {
            path += static_cast<char>(hexValue(uri[i + 1]) * 16 + hexValue(uri[i + 2]));
            i += 2;
        } else {
            path += uri[i];
        }
    }
    return path.find('\0') == std::string::npos;
}

// A window property as Xlib gives it: its type, its format (8, 16 or 32)
// and its items (32-bit items come as longs); removed once read with remove.
struct Property {
    Atom type = None;
    int format = 0;
    std::vector<unsigned char> bytes;
    unsigned long count = 0;
    unsigned long item(unsigned long i) const {
        unsigned long value = 0;
        std::memcpy(&value, bytes.data() + i * sizeof(long), sizeof(long));
        return value;
    }
};

Property readProperty(Display* display, ::Window at, Atom name, Atom type, long length, bool remove = false) {
    Property read;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, at, name, 0, length, remove ? True : False, type, &read.type, &read.format,
                           &read.count, &after, &data) == Success &&
        data) {
        const size_t unit = read.format == 32 ? sizeof(long) : read.format == 16 ? sizeof(short) : 1;
        read.bytes.assign(data, data + read.count * unit);
    } else {
        read.count = 0;
    }
    if (data) XFree(data);
    return read;
}

} // namespace

std::vector<std::string> filesFromUriList(std::string_view list) {
    std::vector<std::string> files;
    while (!list.empty()) {
        size_t end = list.find('\n');
        std::string_view line = list.substr(0, end);
        list.remove_prefix(end == std::string_view::npos ? list.size() : end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line.empty() || line.front() == '#') continue;
        std::string path;
        if (localPath(line, path)) files.push_back(path);
    }
    return files;
}

XdndReceiver::XdndReceiver(Display* display, ::Window window) : display(display), window(window) {
    aware = XInternAtom(display, "XdndAware", False);
    proxy = XInternAtom(display, "XdndProxy", False);
    enter = XInternAtom(display, "XdndEnter", False);
    position = XInternAtom(display, "XdndPosition", False);
    status = XInternAtom(display, "XdndStatus", False);
    leave = XInternAtom(display, "XdndLeave", False);
    drop = XInternAtom(display, "XdndDrop", False);
    finished = XInternAtom(display, "XdndFinished", False);
    selection = XInternAtom(display, "XdndSelection", False);
    typeList = XInternAtom(display, "XdndTypeList", False);
    actionCopy = XInternAtom(display, "XdndActionCopy", False);
    uriList = XInternAtom(display, "text/uri-list", False);
    property = XInternAtom(display, "TUNEDECK_DROP", False);
    const long version = 5;
    XChangeProperty(display, window, aware, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&version),
                    1);
    updateProxy();
}

// Drag sources look at top-level windows only (GTK's do), and a host's
// top-level window, which GTK marks as taking drops, ignores drops over a
// plug-in's area: the top-level window names this one as its drop proxy,
// unless it already names another. Hosts embed the window before they show
// it, so this is looked at again each time the window is exposed.
void XdndReceiver::updateProxy() {
    const ::Window top = topLevel();
    if (top == proxied) return;
    withdraw();
    if (!top || top == window || proxyOf(top) != 0) return;
    const long self = static_cast<long>(window);
    XChangeProperty(display, top, proxy, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&self), 1);
    XChangeProperty(display, window, proxy, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&self),
                    1);
    proxied = top;
}

::Window XdndReceiver::proxyOf(::Window at) {
    const Property named = readProperty(display, at, proxy, XA_WINDOW, 1);
    return named.format == 32 && named.count == 1 ? static_cast<::Window>(named.item(0)) : 0;
}

void XdndReceiver::withdraw() {
    if (proxied && proxyOf(proxied) == window) XDeleteProperty(display, proxied, proxy);
    proxied = 0;
}

// The window a window manager manages (it has WM_STATE), or else the
// highest one below the root.
::Window XdndReceiver::topLevel() {
    const Atom state = XInternAtom(display, "WM_STATE", True);
    ::Window at = window, highest = window;
    for (int depth = 0; depth < 64; ++depth) {
        ::Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        if (!XQueryTree(display, at, &root, &up, &children, &count)) return 0;
        if (children) XFree(children);
        if (state != None && at != window && readProperty(display, at, state, AnyPropertyType, 1).type != None)
            return at;
        if (!up || up == root) return highest;
        at = up;
        highest = up;
    }
    return highest;
}

void XdndReceiver::reply(::Window to, Atom type, long accept, Atom action) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.display = display;
    event.xclient.window = to;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    // The source knows its target as the window it addressed.
    event.xclient.data.l[0] = static_cast<long>(addressed ? addressed : window);
    event.xclient.data.l[1] = accept;
    event.xclient.data.l[2] = type == status ? 0 : static_cast<long>(action);
    event.xclient.data.l[3] = 0;
    event.xclient.data.l[4] = type == status ? static_cast<long>(action) : 0;
    XSendEvent(display, to, False, NoEventMask, &event);
    XFlush(display);
}

// The first three types come with the message; more are on the source.
bool XdndReceiver::offersUriList(const XClientMessageEvent& message) {
    for (int i = 2; i <= 4; ++i)
        if (static_cast<Atom>(message.data.l[i]) == uriList) return true;
    if (!(message.data.l[1] & 1)) return false;
    const Property types = readProperty(display, source, typeList, XA_ATOM, 1024);
    if (types.format != 32) return false;
    for (unsigned long i = 0; i < types.count; ++i)
        if (static_cast<Atom>(types.item(i)) == uriList) return true;
    return false;
}

bool XdndReceiver::handle(const XEvent& event, std::vector<std::string>& dropped) {
    if (event.type == SelectionNotify && event.xselection.requestor == window && event.xselection.selection == selection) {
        if (!waiting) return true;
        waiting = false;
        bool taken = false;
        if (event.xselection.property != None) {
            const Property list = readProperty(display, window, property, AnyPropertyType, 1 << 22, true);
            if (list.format == 8) {
                dropped = filesFromUriList(
                    std::string_view(reinterpret_cast<const char*>(list.bytes.data()), list.bytes.size()));
                taken = !dropped.empty();
            }
        }
        reply(source, finished, taken ? 1 : 0, taken ? actionCopy : None);
        source = 0;
        return true;
    }
    if (event.type != ClientMessage) return false;
    if (event.xclient.window != window && (!proxied || event.xclient.window != proxied)) return false;
    const XClientMessageEvent& message = event.xclient;
    addressed = message.window;
    if (message.message_type == enter) {
        source = static_cast<::Window>(message.data.l[0]);
        acceptable = offersUriList(message);
    } else if (message.message_type == position) {
        source = static_cast<::Window>(message.data.l[0]);
        // Anything but a list of files is refused, politely.
        reply(source, status, acceptable ? 1 : 0, acceptable ? actionCopy : None);
    } else if (message.message_type == leave) {
        source = 0;
        acceptable = false;
    } else if (message.message_type == drop) {
        source = static_cast<::Window>(message.data.l[0]);
        if (!acceptable) {
            reply(source, finished, 0, None);
            return true;
        }
        waiting = true;
        XConvertSelection(display, selection, uriList, property, window, static_cast<Time>(message.data.l[2]));
        XFlush(display);
    } else {
        return false;
    }
    return true;
}

} // namespace platform
