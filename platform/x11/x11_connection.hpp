#pragma once

#include "platform/error.hpp"

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// XCBFree: releases what xcb allocated with malloc (replies, errors, events).
struct XCBFree {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using XCBPtr = std::unique_ptr<T, XCBFree>;

// xcbReply: waits for the reply of a request; none when the server answered with an error,
// which is then stored in *error when error isn't null (and dropped otherwise, instead of
// landing in the event queue).
template <class Reply, class Cookie>
XCBPtr<Reply> xcbReply(xcb_connection_t* connection, Cookie cookie,
                       Reply* (*fetch)(xcb_connection_t*, Cookie, xcb_generic_error_t**),
                       XCBPtr<xcb_generic_error_t>* error = nullptr) {
    xcb_generic_error_t* raw = nullptr;
    XCBPtr<Reply> reply(fetch(connection, cookie, &raw));
    XCBPtr<xcb_generic_error_t> owned(raw);
    if (error) *error = std::move(owned);
    return reply;
}

// X11Connection: one connection to an X server, closed on destruction. Each thread that talks
// to X at its own pace (the window list, each capture stream) has its own.
class X11Connection {
public:
    // Connects to displayName, or to the DISPLAY of the environment when it is empty.
    // Throws Error when the server can't be reached.
    explicit X11Connection(const std::string& displayName);
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    xcb_connection_t* get() const { return connection_; }
    // root: the root window of the display's default screen.
    xcb_window_t root() const { return root_; }
    // broken: the connection failed and answers nothing any more.
    bool broken() const { return xcb_connection_has_error(connection_) != 0; }
    // atoms: the atoms of the names, in their order, interned where the server doesn't know
    // them yet (one round trip for all). Throws Error when the server doesn't answer.
    std::vector<xcb_atom_t> atoms(std::span<const std::string_view> names) const;
    // hasExtension: whether the server offers the extension (xcb caches the answer).
    bool hasExtension(xcb_extension_t* extension) const;

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t root_ = XCB_WINDOW_NONE;
};

}  // namespace platform
