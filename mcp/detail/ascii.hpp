#pragma once

#include <string>
#include <string_view>

namespace mcp::detail {

// `text` with the ASCII capitals A-Z turned into small letters; every other byte unchanged.
// URL schemes and host names compare this way.
std::string asciiLowercase(std::string_view text);

}  // namespace mcp::detail
