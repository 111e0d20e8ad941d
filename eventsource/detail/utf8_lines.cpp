#include "eventsource/detail/utf8_lines.hpp"

#include <cstdint>
#include <cstring>

namespace eventsource::detail {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

std::size_t expectedLength(unsigned char lead) noexcept {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The second byte's range narrows for these leads: it is what rules out overlong forms,
// surrogates and code points above U+10FFFF.
bool secondByteAllowed(unsigned char lead, unsigned char second) noexcept {
    switch (lead) {
        case 0xE0: return second >= 0xA0 && second <= 0xBF;
        case 0xED: return second >= 0x80 && second <= 0x9F;
        case 0xF0: return second >= 0x90 && second <= 0xBF;
        case 0xF4: return second >= 0x80 && second <= 0x8F;
        default: return isContinuation(second);
    }
}

/// How many bytes at `at` form a well-formed sequence (its full length) or, when they do
/// not, the maximal subpart that one U+FFFD replaces (its length, negated).
std::ptrdiff_t scanSequence(const unsigned char* at, const unsigned char* end) noexcept {
    const auto length = static_cast<std::ptrdiff_t>(expectedLength(at[0]));
    if (length == 0) return -1;
    if (length == 1) return 1;
    std::ptrdiff_t i = 1;
    if (at + 1 < end && secondByteAllowed(at[0], at[1])) {
        ++i;
        while (i < length && at + i < end && isContinuation(at[i])) ++i;
    }
    return i == length ? length : -i;
}

}  // namespace

bool isAscii(std::string_view text) noexcept {
    constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
    const char* p = text.data();
    const char* const end = p + text.size();
    for (; end - p >= 8; p += 8) {
        std::uint64_t word;
        std::memcpy(&word, p, sizeof word);
        if ((word & kHighBits) != 0) return false;
    }
    for (; p != end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80) return false;
    }
    return true;
}

void repairUtf8(std::string& out, std::string_view text) {
    out.clear();
    const auto* const begin = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = begin + text.size();
    const auto* run = begin;
    const auto* p = begin;
    while (p != end) {
        if (*p < 0x80) {
            ++p;
            continue;
        }
        const std::ptrdiff_t scanned = scanSequence(p, end);
        if (scanned > 0) {
            p += scanned;
            continue;
        }
        out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(p - run));
        out += kReplacement;
        p -= scanned;
        run = p;
    }
    out.append(reinterpret_cast<const char*>(run), static_cast<std::size_t>(end - run));
}

std::string_view wellFormedUtf8(std::string_view text, std::string& scratch) {
    if (isAscii(text)) return text;
    const auto* const end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
    for (const auto* p = reinterpret_cast<const unsigned char*>(text.data()); p != end;) {
        const std::ptrdiff_t scanned = *p < 0x80 ? 1 : scanSequence(p, end);
        if (scanned < 0) {
            repairUtf8(scratch, text);
            return scratch;
        }
        p += scanned;
    }
    return text;
}

}  // namespace eventsource::detail
