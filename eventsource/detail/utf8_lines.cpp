#include "eventsource/detail/utf8_lines.hpp"

#include "net/utf8.hpp"

#include <cstdint>
#include <cstring>

namespace eventsource::detail {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// How many bytes at `at` form a well-formed sequence (its full length) or, when they do
// not, the maximal subpart that one U+FFFD replaces (its length, negated).
std::ptrdiff_t scanSequence(const unsigned char* at, const unsigned char* end) noexcept {
    const std::string_view rest(reinterpret_cast<const char*>(at), static_cast<std::size_t>(end - at));
    if (const std::size_t length = net::utf8SequenceLength(rest)) return static_cast<std::ptrdiff_t>(length);
    return -static_cast<std::ptrdiff_t>(net::utf8MaximalSubpart(rest));
}

}  // namespace

bool isASCII(std::string_view text) noexcept {
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

void repairUTF8(std::string& out, std::string_view text) {
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

std::string_view wellFormedUTF8(std::string_view text, std::string& scratch) {
    if (isASCII(text)) return text;
    const auto* const end = reinterpret_cast<const unsigned char*>(text.data()) + text.size();
    for (const auto* p = reinterpret_cast<const unsigned char*>(text.data()); p != end;) {
        const std::ptrdiff_t scanned = *p < 0x80 ? 1 : scanSequence(p, end);
        if (scanned < 0) {
            repairUTF8(scratch, text);
            return scratch;
        }
        p += scanned;
    }
    return text;
}

}  // namespace eventsource::detail
