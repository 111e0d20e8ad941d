#include "platform/x11/x11_compositor.hpp"

#include <string>
#include <string_view>

namespace platform {

bool compositorActive(const X11Connection& connection) {
    auto* c = connection.get();
    int screen = 0;
    for (auto roots = xcb_setup_roots_iterator(xcb_get_setup(c)); roots.rem > 0; xcb_screen_next(&roots)) {
        if (roots.data->root == connection.root()) break;
        ++screen;
    }
    const auto name = "_NET_WM_CM_S" + std::to_string(screen);
    const std::string_view names[] = {name};
    xcb_atom_t selection = XCB_ATOM_NONE;
    try {
        selection = connection.atoms(names).front();
    } catch (const Error&) {
        return false;
    }
    const auto owner = xcbReply(c, xcb_get_selection_owner(c, selection), xcb_get_selection_owner_reply);
    return owner && owner->owner != XCB_WINDOW_NONE;
}

}  // namespace platform
