#include "app/host/connection_settings.hpp"

#include "app/host/setting_keys.hpp"

#include <array>
#include <cstddef>

namespace app {

namespace {

constexpr std::size_t kTokenBytes = 24;

}  // namespace

std::int64_t configuredPort(platform::Settings& settings) {
    const auto port = settings.getInt(setting::kPort).value_or(0);
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

std::string accessToken(platform::Settings& settings, platform::SecureRandom& random) {
    return settings.getOrCreateString(setting::kToken, [&] { return makeAccessToken(random); });
}

}  // namespace app
