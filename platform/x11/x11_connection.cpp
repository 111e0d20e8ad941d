#include "platform/x11/x11_connection.hpp"

namespace platform {

X11Connection::X11Connection(const std::string& displayName) {
    int screenNumber = 0;
    connection_ = xcb_connect(displayName.empty() ? nullptr : displayName.c_str(), &screenNumber);
    if (xcb_connection_has_error(connection_) != 0) {
        xcb_disconnect(connection_);
        throw Error("Can't connect to the X server" +
                    (displayName.empty() ? std::string() : " " + displayName) + ".");
    }
    auto screens = xcb_setup_roots_iterator(xcb_get_setup(connection_));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    if (screens.rem == 0) {
        xcb_disconnect(connection_);
        throw Error("The X server " + displayName + " has no screen " +
                    std::to_string(screenNumber) + ".");
    }
    root_ = screens.data->root;
}

X11Connection::~X11Connection() { xcb_disconnect(connection_); }

std::vector<xcb_atom_t> X11Connection::atoms(std::span<const std::string_view> names) const {
    std::vector<xcb_intern_atom_cookie_t> requests;
    for (const auto name : names) {
        requests.push_back(xcb_intern_atom(connection_, 0, static_cast<std::uint16_t>(name.size()),
                                           name.data()));
    }
    std::vector<xcb_atom_t> result;
    for (const auto request : requests) {
        const auto reply = xcbReply(connection_, request, xcb_intern_atom_reply);
        if (!reply) throw Error("The X server doesn't answer.");
        result.push_back(reply->atom);
    }
    return result;
}

bool X11Connection::hasExtension(xcb_extension_t* extension) const {
    const auto* data = xcb_get_extension_data(connection_, extension);
    return data != nullptr && data->present != 0;
}

}  // namespace platform
