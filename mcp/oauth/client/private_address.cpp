#include "mcp/oauth/client/private_address.hpp"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace ip = boost::asio::ip;

// One part of a numeric IPv4 host as inet_aton reads it: decimal, octal after a leading "0",
// hexadecimal after "0x". Absent for anything else, or when the value exceeds 32 bits.
std::optional<std::uint64_t> numericPart(std::string_view text) {
    if (text.empty()) return std::nullopt;
    unsigned base = 10;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
        // "0x" alone reads as zero.
        if (text.empty()) return 0;
    } else if (text.size() >= 2 && text[0] == '0') {
        base = 8;
        text.remove_prefix(1);
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        unsigned digit = 0;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else {
            return std::nullopt;
        }
        if (digit >= base) return std::nullopt;
        value = value * base + digit;
        if (value > 0xFFFFFFFFu) return std::nullopt;
    }
    return value;
}

// "a", "a.b", "a.b.c" and "a.b.c.d": the last part fills the bytes the others leave.
std::optional<ip::address_v4> parseIPv4Numeric(std::string_view host) {
    std::vector<std::uint64_t> parts;
    while (true) {
        const auto dot = host.find('.');
        const auto part = numericPart(host.substr(0, dot));
        if (!part) return std::nullopt;
        parts.push_back(*part);
        if (parts.size() > 4) return std::nullopt;
        if (dot == std::string_view::npos) break;
        host.remove_prefix(dot + 1);
    }
    const std::size_t leading = parts.size() - 1;
    std::uint64_t address = 0;
    for (std::size_t index = 0; index < leading; ++index) {
        if (parts[index] > 0xFF) return std::nullopt;
        address |= parts[index] << (24 - 8 * index);
    }
    const unsigned lastBits = 32 - 8 * static_cast<unsigned>(leading);
    if (parts.back() >= (std::uint64_t{1} << lastBits)) return std::nullopt;
    address |= parts.back();
    return ip::address_v4(static_cast<ip::address_v4::uint_type>(address));
}

bool isPrivateIPv4(const ip::address_v4& address) noexcept {
    const auto bytes = address.to_bytes();
    const unsigned first = bytes[0];
    const unsigned second = bytes[1];
    return first == 0 || first == 10 || (first == 100 && second >= 64 && second <= 127) ||
           (first == 169 && second == 254) || (first == 172 && second >= 16 && second <= 31) ||
           (first == 192 && second == 168);
}

// The IPv4 address carried in the last four bytes of an IPv6 address, when its first twelve
// bytes are one of the prefixes that carry one.
std::optional<ip::address_v4> embeddedIPv4(const ip::address_v6& address) noexcept {
    const auto bytes = address.to_bytes();
    constexpr std::array<unsigned char, 12> kMapped = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};
    constexpr std::array<unsigned char, 12> kCompatible = {};
    constexpr std::array<unsigned char, 12> kNat64 = {0x00, 0x64, 0xFF, 0x9B, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto hasPrefix = [&](const std::array<unsigned char, 12>& prefix) {
        for (std::size_t index = 0; index < prefix.size(); ++index) {
            if (bytes[index] != prefix[index]) return false;
        }
        return true;
    };
    // ::1 and :: are IPv6's own loopback and unspecified addresses, not compatible forms.
    if (hasPrefix(kCompatible) && (address.is_loopback() || address.is_unspecified())) return std::nullopt;
    if (!hasPrefix(kMapped) && !hasPrefix(kCompatible) && !hasPrefix(kNat64)) return std::nullopt;
    return ip::address_v4({bytes[12], bytes[13], bytes[14], bytes[15]});
}

bool isPrivateIPv6(const ip::address_v6& address) noexcept {
    if (const auto carried = embeddedIPv4(address)) return isPrivateIPv4(*carried);
    const auto bytes = address.to_bytes();
    return address.is_unspecified() || (bytes[0] & 0xFE) == 0xFC || (bytes[0] == 0xFE && (bytes[1] & 0xC0) == 0x80);
}

}  // namespace

std::optional<ip::address> parseIPLiteral(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    if (host.find(':') != std::string_view::npos) {
        boost::system::error_code error;
        const auto address = ip::make_address_v6(std::string(host), error);
        if (error) return std::nullopt;
        return ip::address(address);
    }
    if (const auto address = parseIPv4Numeric(host)) return ip::address(*address);
    return std::nullopt;
}

bool isPrivateIPAddress(const ip::address& address) noexcept {
    return address.is_v4() ? isPrivateIPv4(address.to_v4()) : isPrivateIPv6(address.to_v6());
}

bool isPrivateIPHost(std::string_view host) {
    const auto address = parseIPLiteral(host);
    return address && isPrivateIPAddress(*address);
}

}  // namespace mcp
