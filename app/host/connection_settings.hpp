#pragma once

#include "platform/secure_random.hpp"
#include "platform/settings.hpp"

#include <cstdint>
#include <string>

// How an AI client reaches the program: the local endpoint and the access token, both kept
// in the settings store and read anew on every call.
namespace app {

inline constexpr std::int64_t kDefaultPort = 47293;

// configuredPort: the integer stored under "port", or kDefaultPort when none is stored or it
// is 0. Not range-checked: the listener refuses a port it can't use.
std::int64_t configuredPort(platform::Settings& settings);

// endpointURL: "http://127.0.0.1:<configuredPort>/mcp".
std::string endpointURL(platform::Settings& settings);

// makeAccessToken: a new token, 24 secure random bytes as 48 lower-case hexadecimal digits.
// Stores nothing. Throws platform::Error when the random source fails.
std::string makeAccessToken(platform::SecureRandom& random);

// accessToken: the token stored under "token", unchanged; when none is stored, a new one from
// makeAccessToken, stored before it is returned. Made once even when the program and a bridge
// ask at the same moment: the store creates it under its lock. Throws platform::Error when
// the random source or the store fails; nothing is stored then.
std::string accessToken(platform::Settings& settings, platform::SecureRandom& random);

}  // namespace app
