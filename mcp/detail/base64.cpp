#include "mcp/detail/base64.hpp"

#include <array>
#include <cstdint>

namespace mcp::detail {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::uint8_t kInvalid = 0xFF;

constexpr std::array<std::uint8_t, 256> makeDecodeTable() {
    std::array<std::uint8_t, 256> table{};
    for (auto& entry : table) entry = kInvalid;
    for (std::uint8_t i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = i;
    return table;
}

constexpr auto kDecode = makeDecodeTable();

}  // namespace

void appendBase64(std::string& out, std::string_view bytes) {
    const auto start = out.size();
    out.resize(start + (bytes.size() + 2) / 3 * 4);
    char* cursor = out.data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t remaining = bytes.size();
    for (; remaining >= 3; remaining -= 3, in += 3) {
        const std::uint32_t triple = (std::uint32_t{in[0]} << 16) | (std::uint32_t{in[1]} << 8) | in[2];
        *cursor++ = kAlphabet[(triple >> 18) & 63];
        *cursor++ = kAlphabet[(triple >> 12) & 63];
        *cursor++ = kAlphabet[(triple >> 6) & 63];
        *cursor++ = kAlphabet[triple & 63];
    }
    if (remaining > 0) {
        const std::uint32_t first = in[0];
        const std::uint32_t second = remaining == 2 ? in[1] : 0;
        const std::uint32_t triple = (first << 16) | (second << 8);
        *cursor++ = kAlphabet[(triple >> 18) & 63];
        *cursor++ = kAlphabet[(triple >> 12) & 63];
        *cursor++ = remaining == 2 ? kAlphabet[(triple >> 6) & 63] : '=';
        *cursor++ = '=';
    }
}

std::optional<std::string> decodeBase64(std::string_view text) {
    if (text.size() % 4 != 0) return std::nullopt;
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = text[text.size() - 2] == '=' ? 2 : 1;
    }

    std::string bytes;
    bytes.resize(text.size() / 4 * 3);
    char* cursor = bytes.data();
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t quads = text.size() / 4;
    for (std::size_t q = 0; q < quads; ++q, in += 4) {
        const bool last = q + 1 == quads;
        const std::uint8_t a = kDecode[in[0]];
        const std::uint8_t b = kDecode[in[1]];
        const std::uint8_t c = last && padding == 2 ? 0 : kDecode[in[2]];
        const std::uint8_t d = last && padding >= 1 ? 0 : kDecode[in[3]];
        if (((a | b | c | d) & 0xC0) != 0) return std::nullopt;
        const std::uint32_t triple = (std::uint32_t{a} << 18) | (std::uint32_t{b} << 12) | (std::uint32_t{c} << 6) | d;
        *cursor++ = static_cast<char>((triple >> 16) & 0xFF);
        *cursor++ = static_cast<char>((triple >> 8) & 0xFF);
        *cursor++ = static_cast<char>(triple & 0xFF);
    }
    bytes.resize(bytes.size() - padding);
    return bytes;
}

void appendBase64URL(std::string& out, std::string_view bytes) {
    const auto start = out.size();
    appendBase64(out, bytes);
    while (out.size() > start && out.back() == '=') out.pop_back();
    for (auto index = start; index < out.size(); ++index) {
        if (out[index] == '+') out[index] = '-';
        if (out[index] == '/') out[index] = '_';
    }
}

}  // namespace mcp::detail
