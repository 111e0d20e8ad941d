#pragma once

#include <string>
#include <string_view>

namespace eventsource::detail {

// True when every byte of `text` is below 0x80. Tests eight bytes at a time, because nearly
// every line of an event stream is plain ASCII and this check runs over all of them.
bool isASCII(std::string_view text) noexcept;

// Replaces `out` with `text`, each ill-formed UTF-8 sequence turned into one U+FFFD per
// maximal ill-formed subpart (the Unicode standard's recommended practice), so that
// "\xFF\xE2\x82" becomes two replacement characters. Keeps `out`'s storage.
void repairUTF8(std::string& out, std::string_view text);

// `text` itself when it is well-formed UTF-8; otherwise its repaired form, written to
// `scratch`. The result refers to one of the two, so it lives as long as both are unchanged.
std::string_view wellFormedUTF8(std::string_view text, std::string& scratch);

}  // namespace eventsource::detail
