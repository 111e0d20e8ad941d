#include "mcp/detail/whitespace.hpp"

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace mcp::detail {
namespace {

// One decoded character: its code point (negative for a malformed byte sequence) and where it
// starts and ends in the text.
struct Character {
    UChar32 codePoint;
    std::size_t begin;
    std::size_t end;
};

Character characterAt(std::string_view text, std::size_t offset) noexcept {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const auto length = static_cast<std::int32_t>(text.size());
    auto index = static_cast<std::int32_t>(offset);
    UChar32 codePoint = 0;
    U8_NEXT(bytes, index, length, codePoint);
    return {codePoint, offset, static_cast<std::size_t>(index)};
}

bool isWhitespaceCharacter(const Character& character) noexcept {
    return character.codePoint >= 0 && u_isUWhiteSpace(character.codePoint);
}

}  // namespace

bool isUnicodeWhitespace(char32_t codePoint) noexcept {
    return codePoint <= 0x10FFFF && u_isUWhiteSpace(static_cast<UChar32>(codePoint));
}

std::string_view trimWhitespace(std::string_view text) noexcept {
    std::size_t begin = 0;
    while (begin < text.size()) {
        const auto character = characterAt(text, begin);
        if (!isWhitespaceCharacter(character)) break;
        begin = character.end;
    }
    // Walking forwards keeps malformed sequences intact; the end is the end of the last
    // character that is not white space.
    std::size_t end = begin;
    for (std::size_t offset = begin; offset < text.size();) {
        const auto character = characterAt(text, offset);
        if (!isWhitespaceCharacter(character)) end = character.end;
        offset = character.end;
    }
    return text.substr(begin, end - begin);
}

bool containsWhitespace(std::string_view text) noexcept {
    return findWhitespace(text) != std::string_view::npos;
}

std::size_t findWhitespace(std::string_view text) noexcept {
    for (std::size_t offset = 0; offset < text.size();) {
        const auto character = characterAt(text, offset);
        if (isWhitespaceCharacter(character)) return character.begin;
        offset = character.end;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> splitAtWhitespace(std::string_view text,
                                                std::optional<std::size_t> maxSplits) {
    std::vector<std::string_view> pieces;
    if (maxSplits == std::size_t{0}) {
        if (!text.empty()) pieces.push_back(text);
        return pieces;
    }
    std::size_t pieceBegin = 0;
    for (std::size_t offset = 0; offset < text.size();) {
        const auto character = characterAt(text, offset);
        offset = character.end;
        if (!isWhitespaceCharacter(character)) continue;
        if (character.begin > pieceBegin) {
            pieces.push_back(text.substr(pieceBegin, character.begin - pieceBegin));
        }
        pieceBegin = offset;
        if (maxSplits && pieces.size() == *maxSplits) break;
    }
    if (pieceBegin < text.size()) pieces.push_back(text.substr(pieceBegin));
    return pieces;
}

}  // namespace mcp::detail
