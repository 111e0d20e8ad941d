#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mcp::detail {

// Appends `bytes` in standard base64 (RFC 4648 alphabet, "=" padding, no line breaks).
void appendBase64(std::string& out, std::string_view bytes);

// Appends `bytes` in base64url (RFC 4648 section 5: "-" and "_" in place of "+" and "/"),
// without padding, as JSON Web Tokens and PKCE challenges carry it.
void appendBase64URL(std::string& out, std::string_view bytes);

// Decodes standard padded base64. Any character outside the alphabet (white space and line
// breaks included), a length that is not a multiple of four, or misplaced padding gives
// absent.
std::optional<std::string> decodeBase64(std::string_view text);

}  // namespace mcp::detail
