#include "tests/support/x11/shown_windows.hpp"

#include <poll.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace test_support {

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

std::string hex(xcb_window_t window) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", window);
    return text;
}

std::string nameOf(xcb_connection_t* connection, xcb_window_t window) {
    const Reply<xcb_get_property_reply_t> name(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
        nullptr));
    if (!name || name->format != 8) return {};
    return std::string(static_cast<const char*>(xcb_get_property_value(name.get())),
                       static_cast<std::size_t>(xcb_get_property_value_length(name.get())));
}

}  // namespace

std::optional<ShownWindow> shownWindow(xcb_connection_t* connection, xcb_window_t window) {
    const auto attributesCookie = xcb_get_window_attributes(connection, window);
    const auto geometryCookie = xcb_get_geometry(connection, window);
    const auto treeCookie = xcb_query_tree(connection, window);
    const Reply<xcb_get_window_attributes_reply_t> attributes(
        xcb_get_window_attributes_reply(connection, attributesCookie, nullptr));
    const Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(connection, geometryCookie, nullptr));
    const Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(connection, treeCookie, nullptr));
    if (!attributes || !geometry || !tree) return std::nullopt;
    const Reply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection, xcb_translate_coordinates(connection, window, tree->root, 0, 0), nullptr));
    if (!origin) return std::nullopt;
    return ShownWindow{.parent = tree->parent,
                       .viewable = attributes->map_state == XCB_MAP_STATE_VIEWABLE,
                       .x = origin->dst_x,
                       .y = origin->dst_y,
                       .width = geometry->width,
                       .height = geometry->height};
}

std::vector<xcb_window_t> windowsUnderPointer(xcb_connection_t* connection, xcb_window_t root) {
    std::vector<xcb_window_t> path;
    for (xcb_window_t window = root;;) {
        const Reply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(connection, xcb_query_pointer(connection, window), nullptr));
        if (!pointer || pointer->child == XCB_WINDOW_NONE) return path;
        window = pointer->child;
        path.push_back(window);
    }
}

std::optional<xcb_window_t> focusedWindow(xcb_connection_t* connection) {
    const Reply<xcb_get_input_focus_reply_t> focus(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    if (!focus || focus->focus == XCB_WINDOW_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT) return std::nullopt;
    return focus->focus;
}

std::string describeWindow(xcb_connection_t* connection, xcb_window_t window) {
    const auto shown = shownWindow(connection, window);
    if (!shown) return hex(window) + " (gone)";
    return hex(window) + " \"" + nameOf(connection, window) + "\" " + std::to_string(shown->width) + "x" +
           std::to_string(shown->height) + "+" + std::to_string(shown->x) + "+" + std::to_string(shown->y) +
           (shown->viewable ? " viewable" : " not viewable") + ", in " + hex(shown->parent);
}

bool insideWindowOfClass(xcb_connection_t* connection, xcb_window_t window, const std::string& className) {
    for (auto shown = shownWindow(connection, window); shown && shown->parent != XCB_WINDOW_NONE;
         shown = shownWindow(connection, shown->parent)) {
        const Reply<xcb_get_property_reply_t> names(xcb_get_property_reply(
            connection,
            xcb_get_property(connection, 0, shown->parent, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 0, 256), nullptr));
        if (!names || names->format != 8) continue;
        // WM_CLASS holds the instance's name and the class's, each ended by a zero.
        const std::string both(static_cast<const char*>(xcb_get_property_value(names.get())),
                               static_cast<std::size_t>(xcb_get_property_value_length(names.get())));
        const auto instanceEnd = both.find('\0');
        if (instanceEnd != std::string::npos && both.compare(instanceEnd + 1, className.size() + 1,
                                                              std::string(className) + '\0') == 0) {
            return true;
        }
    }
    return false;
}

bool answersPing(const std::string& display, const std::vector<xcb_window_t>& windows,
                 std::chrono::milliseconds timeout) {
    const std::unique_ptr<xcb_connection_t, decltype(&xcb_disconnect)> connection(xcb_connect(display.c_str(), nullptr),
                                                                                &xcb_disconnect);
    auto* c = connection.get();
    if (xcb_connection_has_error(c)) return false;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    // The answer goes to the root, to the clients that watch its changes (Qt) or its children's
    // (the protocol's word).
    const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(c, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(c, "_NET_WM_PING");
    // A token of this ping, in the place of its time stamp, which the answer carries back.
    static std::uint32_t pings = 0;
    const std::uint32_t token = 0x7e570000u + ++pings;
    for (const auto window : windows) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = protocols;
        message.data.data32[0] = ping;
        message.data.data32[1] = token;
        message.data.data32[2] = window;
        xcb_send_event(c, 0, window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&message));
    }
    xcb_flush(c);

    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        while (const Reply<xcb_generic_event_t> event{xcb_poll_for_event(c)}) {
            if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
            const auto* answer = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
            if (answer->type == protocols && answer->data.data32[0] == ping && answer->data.data32[1] == token) {
                return true;
            }
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || xcb_connection_has_error(c)) return false;
        pollfd ready{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&ready, 1, static_cast<int>(left.count()));
    }
}

}  // namespace test_support
