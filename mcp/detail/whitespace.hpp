#pragma once

// White-space handling shared by the OAuth code and the HTTP client transport: Authorization headers and scope texts are split
// and trimmed at characters with the Unicode White_Space property (line breaks included), not
// only at ASCII blanks.

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace mcp::detail {

// isUnicodeWhitespace: whether `codePoint` has the Unicode White_Space property.
bool isUnicodeWhitespace(char32_t codePoint) noexcept;

// trimWhitespace: `text` without its leading and trailing white space. Bytes that are not valid
// UTF-8 count as ordinary characters. Returns a view into `text`.
std::string_view trimWhitespace(std::string_view text) noexcept;

// containsWhitespace: whether any character of `text` is white space.
bool containsWhitespace(std::string_view text) noexcept;

// findWhitespace: the byte offset of the first white-space character of `text`, or npos.
std::size_t findWhitespace(std::string_view text) noexcept;

// splitAtWhitespace: the pieces of `text` between white-space characters, empty pieces dropped.
// With `maxSplits`, at most that many splits are made (empty pieces do not count) and the last
// piece is the rest of the text unchanged, white space included: "Bearer  tok" split once gives
// "Bearer" and " tok". The views point into `text`.
std::vector<std::string_view> splitAtWhitespace(std::string_view text,
                                                std::optional<std::size_t> maxSplits = std::nullopt);

}  // namespace mcp::detail
