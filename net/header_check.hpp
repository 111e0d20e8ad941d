#pragma once

// The check every request's header fields pass before a byte of the request is written.
// Neither Beast nor the HTTP grammar's writer stops a CR, LF or NUL inside a field: a value
// taken from a peer (a protocol version, a session id, an event id) could then end its field
// early and carry fields, or a whole second request, of the peer's choosing.

#include "net/header_map.hpp"

#include <string_view>

namespace net {

// True when `text` holds no CR, LF or NUL.
bool isSafeFieldText(std::string_view text) noexcept;

// Throws boost::system::system_error with Error::unsafeHeader, naming the field when its name
// is safe to show, unless every name and value of `headers` is safe field text.
void checkHeaderFields(const HeaderMap& headers);

}  // namespace net
