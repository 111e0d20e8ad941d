#include "mcp/oauth/client/pkce.hpp"

#include "mcp/detail/ascii.hpp"
#include "mcp/detail/base64.hpp"
#include "mcp/detail/random.hpp"
#include "mcp/oauth/client/oauth_authorization_error.hpp"

#include <openssl/evp.h>

#include <algorithm>
#include <array>
#include <stdexcept>

namespace mcp {
namespace {

constexpr std::string_view kVerifierAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~";
// The largest multiple of the alphabet's size that fits in a byte's range: bytes from it upwards
// are drawn again, so that every character is equally likely.
constexpr unsigned kAcceptedBytes = 256 - 256 % kVerifierAlphabet.size();

}  // namespace

std::string PKCE::makeVerifier(int length) {
    std::string verifier;
    if (length <= 0) return verifier;
    verifier.reserve(static_cast<std::size_t>(length));
    std::array<unsigned char, 64> bytes{};
    while (verifier.size() < static_cast<std::size_t>(length)) {
        detail::fillRandomBytes(bytes);
        for (const unsigned char byte : bytes) {
            if (byte >= kAcceptedBytes) continue;
            verifier += kVerifierAlphabet[byte % kVerifierAlphabet.size()];
            if (verifier.size() == static_cast<std::size_t>(length)) break;
        }
    }
    return verifier;
}

std::string PKCE::makeChallenge(std::string_view verifier) {
    std::array<unsigned char, 32> digest{};
    unsigned int digestLength = 0;
    if (EVP_Digest(verifier.data(), verifier.size(), digest.data(), &digestLength, EVP_sha256(), nullptr) != 1) {
        throw std::runtime_error("SHA-256 is unavailable");
    }
    std::string challenge;
    detail::appendBase64URL(challenge, {reinterpret_cast<const char*>(digest.data()), digestLength});
    return challenge;
}

void requireS256Support(const OAuthAuthorizationServerMetadata& metadata) {
    const auto& methods = metadata.codeChallengeMethodsSupported;
    if (!methods || methods->empty()) {
        throw OAuthAuthorizationError::make(OAuthAuthorizationError::Kind::pkceCodeChallengeMethodsMissing);
    }
    const bool offered = std::any_of(methods->begin(), methods->end(),
                                     [](const std::string& method) { return detail::asciiLowercase(method) == "s256"; });
    if (!offered) throw OAuthAuthorizationError::pkceS256NotSupported(*methods);
}

}  // namespace mcp
