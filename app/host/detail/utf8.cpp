#include "app/host/detail/utf8.hpp"

#include <unicode/utf8.h>

#include <cstdint>

namespace app::detail {

bool isValidUTF8(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int64_t>(text.size());
    std::int64_t index = 0;
    while (index < length) {
        // ASCII needs no decoding; it is most of what the host reads.
        if (bytes[index] < 0x80) {
            ++index;
            continue;
        }
        UChar32 codePoint = 0;
        U8_NEXT(bytes, index, length, codePoint);
        if (codePoint < 0) return false;
    }
    return true;
}

}  // namespace app::detail
