#pragma once

#include <string>

namespace mcp::detail {

// A fresh random (version 4) UUID in its canonical 36-character text with upper-case
// hexadecimal digits, grouped 8-4-4-4-12. Throws `std::runtime_error` when the system has
// no random bytes to give.
std::string randomUUID();

}  // namespace mcp::detail
