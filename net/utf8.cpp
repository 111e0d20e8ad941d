#include "net/utf8.hpp"

namespace net {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isContinuation(unsigned char byte) noexcept { return (byte & 0xC0) == 0x80; }

// The range allowed for the second byte of a sequence that starts with `lead`, per the
// well-formed table of the Unicode standard; the later bytes are plain continuations.
bool secondByteAllowed(unsigned char lead, unsigned char second) noexcept {
    switch (lead) {
        case 0xE0: return second >= 0xA0 && second <= 0xBF;
        case 0xED: return second >= 0x80 && second <= 0x9F;
        case 0xF0: return second >= 0x90 && second <= 0xBF;
        case 0xF4: return second >= 0x80 && second <= 0x8F;
        default: return isContinuation(second);
    }
}

std::size_t expectedLength(unsigned char lead) noexcept {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// How many bytes from the start of `text` form a valid prefix of a sequence.
std::size_t validPrefix(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t length = expectedLength(bytes[0]);
    if (length <= 1) return length;
    std::size_t i = 1;
    if (i < text.size() && secondByteAllowed(bytes[0], bytes[1])) {
        ++i;
        while (i < length && i < text.size() && isContinuation(bytes[i])) ++i;
    }
    return i;
}

}  // namespace

std::size_t utf8SequenceLength(std::string_view text) noexcept {
    if (text.empty()) return 0;
    const std::size_t length = expectedLength(static_cast<unsigned char>(text[0]));
    return length != 0 && validPrefix(text) == length ? length : 0;
}

namespace {

// Where the first ill-formed sequence at or after `from` starts, or text.size() when there is none.
std::size_t illFormedFrom(std::string_view text, std::size_t from) noexcept {
    std::size_t i = from;
    while (i < text.size()) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text.substr(i));
        if (length == 0) return i;
        i += length;
    }
    return text.size();
}

}  // namespace

std::size_t utf8MaximalSubpart(std::string_view text) noexcept {
    if (text.empty()) return 0;
    const std::size_t prefix = validPrefix(text);
    return prefix == 0 ? 1 : prefix;
}

bool isValidUTF8(std::string_view text) noexcept { return illFormedFrom(text, 0) == text.size(); }

void appendRepairedUTF8(std::string& out, std::string_view text) {
    std::size_t runStart = 0;
    for (std::size_t i = illFormedFrom(text, 0); i < text.size(); i = illFormedFrom(text, runStart)) {
        out.append(text, runStart, i - runStart);
        out += kReplacement;
        runStart = i + utf8MaximalSubpart(text.substr(i));
    }
    out.append(text, runStart, text.size() - runStart);
}

}  // namespace net
