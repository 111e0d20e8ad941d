#include "platform/x11/detail/xcb_property.hpp"

#include "platform/x11/x11_connection.hpp"

namespace platform::detail {

namespace {
constexpr std::uint32_t kMaxValues = 1024;
}  // namespace

xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t property, xcb_atom_t type) {
    return xcb_get_property(connection, 0, window, property, type, 0, kMaxValues);
}

std::optional<std::vector<std::uint32_t>> propertyValues(xcb_connection_t* connection,
                                                         xcb_get_property_cookie_t cookie) {
    const auto reply = xcbReply(connection, cookie, xcb_get_property_reply);
    // A missing property answers with type None; one of another type with its actual type,
    // no value and the whole length left in bytes_after.
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32) return std::nullopt;
    if (reply->value_len == 0 && reply->bytes_after > 0) return std::nullopt;
    const auto* values = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<std::uint32_t>(values, values + reply->value_len);
}

std::optional<std::uint32_t> firstPropertyValue(xcb_connection_t* connection,
                                                xcb_get_property_cookie_t cookie) {
    auto values = propertyValues(connection, cookie);
    if (!values || values->empty()) return std::nullopt;
    return values->front();
}

}  // namespace platform::detail
