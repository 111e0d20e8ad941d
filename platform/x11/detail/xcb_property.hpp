#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace platform::detail {

// requestProperty: asks for up to 1024 32-bit values of a window property of the given type.
xcb_get_property_cookie_t requestProperty(xcb_connection_t* connection, xcb_window_t window,
                                          xcb_atom_t property, xcb_atom_t type);

// propertyValues: the 32-bit values of the property asked for; none when the window lacks
// it, it has another type or format, or the window is gone.
std::optional<std::vector<std::uint32_t>> propertyValues(xcb_connection_t* connection,
                                                         xcb_get_property_cookie_t cookie);

// firstPropertyValue: the first of those values, when there is one.
std::optional<std::uint32_t> firstPropertyValue(xcb_connection_t* connection,
                                                xcb_get_property_cookie_t cookie);

}  // namespace platform::detail
