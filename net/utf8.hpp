#pragma once

// UTF-8 well-formedness, by the Unicode standard's table of well-formed byte sequences: the
// one home of that table for every library above this one (the MCP library's JSON and
// headers, the event-stream parser's lines).

#include <cstddef>
#include <string>
#include <string_view>

namespace net {

// The length (1 to 4) of the well-formed UTF-8 sequence that starts `text`, or 0 when it
// starts with an ill-formed one (or `text` is empty). Overlong forms, surrogates and code
// points above U+10FFFF are ill-formed.
std::size_t utf8SequenceLength(std::string_view text) noexcept;

// The length of the maximal subpart of an ill-formed sequence at the start of `text`: how
// many bytes one U+FFFD stands for when invalid input is repaired (at least 1).
std::size_t utf8MaximalSubpart(std::string_view text) noexcept;

// True when all of `text` is well-formed UTF-8.
bool isValidUTF8(std::string_view text) noexcept;

// Appends `text`, each ill-formed sequence replaced by U+FFFD (one per maximal subpart).
void appendRepairedUTF8(std::string& out, std::string_view text);

}  // namespace net
