#pragma once

#include <string_view>

namespace app::detail {

// isValidUTF8: whether every byte sequence of text is well-formed UTF-8 (no overlong forms,
// surrogates or code points above U+10FFFF).
bool isValidUTF8(std::string_view text) noexcept;

}  // namespace app::detail
