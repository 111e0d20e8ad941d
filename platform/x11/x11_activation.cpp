#include "platform/x11/x11_activation.hpp"

#include "platform/x11/detail/xcb_error.hpp"
#include "platform/x11/detail/xcb_property.hpp"

#include <algorithm>
#include <array>
#include <string_view>

namespace platform {

namespace {

// The source indication of a request from a pager or taskbar: the user asked for it, so the
// window manager honours it even against its focus-stealing rules.
constexpr std::uint32_t kSourcePager = 2;

}  // namespace

X11Activation::X11Activation(const std::string& displayName) : connection_(displayName) {
    constexpr std::array<std::string_view, 4> kNames = {"_NET_ACTIVE_WINDOW", "_NET_SUPPORTING_WM_CHECK",
                                                        "_NET_WM_STATE", "_NET_WM_STATE_HIDDEN"};
    const auto atoms = connection_.atoms(kNames);
    activeWindow_ = atoms[0];
    supportingCheck_ = atoms[1];
    state_ = atoms[2];
    stateHidden_ = atoms[3];
}

bool X11Activation::markedHidden(WindowID id) const {
    auto* c = connection_.get();
    const auto states = detail::propertyValues(c, detail::requestProperty(c, id, state_, XCB_ATOM_ATOM));
    return states && std::find(states->begin(), states->end(), stateHidden_) != states->end();
}

bool X11Activation::windowManagerRuns() const {
    auto* c = connection_.get();
    return detail::firstPropertyValue(
               c, detail::requestProperty(c, connection_.root(), supportingCheck_, XCB_ATOM_WINDOW))
        .has_value();
}

void X11Activation::activateWindow(WindowID id) {
    if (connection_.broken()) return;
    // Every request is checked, so that the error of a window that went meanwhile is dropped
    // here instead of piling up in a queue this connection never reads.
    auto* c = connection_.get();
    // A window that is gone gets no request: the server would only answer with an error.
    const auto attributes = xcbReply(c, xcb_get_window_attributes(c, id), xcb_get_window_attributes_reply);
    if (!attributes) return;
    // The window manager restores a minimized window it is asked to activate.
    if (attributes->map_state != XCB_MAP_STATE_VIEWABLE || markedHidden(id)) return;

    if (windowManagerRuns()) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = id;
        message.type = activeWindow_;
        message.data.data32[0] = kSourcePager;
        message.data.data32[1] = XCB_CURRENT_TIME;
        message.data.data32[2] = XCB_WINDOW_NONE;
        // The window manager decides from here; a refusal is no different to the caller.
        detail::checkRequest(c, xcb_send_event_checked(c, 0, connection_.root(),
                                                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT |
                                                           XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                                                       reinterpret_cast<const char*>(&message)));
        return;
    }
    const std::uint32_t above = XCB_STACK_MODE_ABOVE;
    const auto raised =
        detail::checkRequest(c, xcb_configure_window_checked(c, id, XCB_CONFIG_WINDOW_STACK_MODE, &above));
    // A window gone since the check above can't take the focus either.
    if (raised && detail::failureOf(*raised) == detail::XCBFailure::noSuchWindow) return;
    detail::checkRequest(c, xcb_set_input_focus_checked(c, XCB_INPUT_FOCUS_POINTER_ROOT, id, XCB_CURRENT_TIME));
}

}  // namespace platform
