#pragma once

#include "platform/error.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"

#include <cstdint>
#include <string>
#include <string_view>

// How an AI client reaches the program: the local endpoint and the access token, both kept
// in the settings store and read anew on every call.
namespace app {

inline constexpr std::int64_t kDefaultPort = 47293;

inline constexpr std::int64_t kHighestPort = 65535;

// InvalidPort: what is stored under "port" is no port the program can use. The message is the
// problem text the program shows for it, "<stored text> is not a valid port (use 1–65535).",
// and is the same wherever the port is read. A kind of platform::Error: like a store that
// can't be read, it leaves the caller without a port.
class InvalidPort : public platform::Error {
public:
    explicit InvalidPort(std::string_view stored);
};

// configuredPort: the port stored under "port", from 1 to kHighestPort, or kDefaultPort when
// none is stored or it is 0 or empty. Throws InvalidPort for any other text (a number out of range,
// one with other characters around it), so that nothing ever reaches another port than the
// one the host listens on; throws platform::Error when the store can't be read.
std::int64_t configuredPort(platform::Settings& settings);

// endpointURL: "http://127.0.0.1:<configuredPort>/mcp". Throws as configuredPort.
std::string endpointURL(platform::Settings& settings);

// makeAccessToken: a new token, 24 secure random bytes as 48 lower-case hexadecimal digits.
// Stores nothing. Throws platform::Error when the random source fails.
std::string makeAccessToken(platform::SecureRandom& random);

// isAccessToken: whether text has the form of the tokens makeAccessToken makes.
bool isAccessToken(std::string_view text);

// accessToken: the token stored under "token", unchanged; when none is stored, or what is
// stored is not of a made token's form (an empty "token=" locks every client out), a new one
// from makeAccessToken, stored before it is returned. Made once even when the program and a bridge
// ask at the same moment: the store creates it under its lock. Throws platform::Error when
// the random source or the store fails; nothing is stored then.
std::string accessToken(platform::Settings& settings, platform::SecureRandom& random);

}  // namespace app
