#pragma once

// URLs as the library reads them from documents and headers.

#include <boost/url/url.hpp>

#include <optional>
#include <string_view>

namespace mcp::detail {

// parseURL: `text` as a URL, absolute or relative; absent when it is empty or is not a valid URI
// reference. Lenient on purpose: stricter checks (scheme, host) belong to whoever acts on the URL.
std::optional<boost::urls::url> parseURL(std::string_view text);

}  // namespace mcp::detail
