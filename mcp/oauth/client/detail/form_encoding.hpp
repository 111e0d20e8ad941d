#pragma once

// The OAuth client's form bodies and query values: every byte outside the 66 unreserved
// characters A-Z a-z 0-9 "-._~" is percent-encoded, a blank as %20 and "+" as %2B, so that no
// server can read a plus sign as a blank.

#include <map>
#include <string>
#include <string_view>

namespace mcp::detail {

// percentEncodeUnreserved: `text` with every byte outside the unreserved characters written as
// "%" and two upper-case hexadecimal digits.
std::string percentEncodeUnreserved(std::string_view text);

// formURLEncode: an application/x-www-form-urlencoded body: the pairs in byte order of their
// names, name and value encoded as above, joined with "=" and "&". "" for no parameters.
std::string formURLEncode(const std::map<std::string, std::string>& parameters);

}  // namespace mcp::detail
