#include "tests/support/x11/shown_windows.hpp"

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace test_support {

namespace {

struct Free {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, Free>;

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

}  // namespace test_support
