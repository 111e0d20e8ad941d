#include "app/host/connection_settings.hpp"

#include "app/host/setting_keys.hpp"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstddef>

namespace app {

namespace {

constexpr std::size_t kTokenBytes = 24;

}  // namespace

InvalidPort::InvalidPort(std::string_view stored)
    : platform::Error(std::string(stored) + " is not a valid port (use 1–65535).") {}

std::int64_t configuredPort(platform::Settings& settings) {
    const auto stored = settings.getString(setting::kPort);
    // "port=" names no port, as if the line weren't there.
    if (!stored || stored->empty()) return kDefaultPort;
    std::int64_t port = 0;
    const char* end = stored->data() + stored->size();
    const auto [stop, error] = std::from_chars(stored->data(), end, port);
    if (error != std::errc() || stop != end || port < 0 || port > kHighestPort) throw InvalidPort(*stored);
    return port == 0 ? kDefaultPort : port;
}

std::string endpointURL(platform::Settings& settings) {
    return "http://127.0.0.1:" + std::to_string(configuredPort(settings)) + "/mcp";
}

std::string makeAccessToken(platform::SecureRandom& random) {
    std::array<std::byte, kTokenBytes> bytes{};
    random.fill(bytes);
    constexpr char kDigits[] = "0123456789abcdef";
    std::string token;
    token.reserve(2 * bytes.size());
    for (const auto byte : bytes) {
        const auto value = std::to_integer<unsigned>(byte);
        token += kDigits[value >> 4];
        token += kDigits[value & 0xf];
    }
    return token;
}

bool isAccessToken(std::string_view text) {
    return text.size() == 2 * kTokenBytes &&
           std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string accessToken(platform::Settings& settings, platform::SecureRandom& random) {
    return settings.getOrCreateString(setting::kToken, [&] { return makeAccessToken(random); }, isAccessToken);
}

}  // namespace app
