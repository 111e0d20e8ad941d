// OAuthConfiguration::makePrivateKeyJWTAssertion: ES256 client assertions with OpenSSL.

#include "mcp/oauth/client/configuration/oauth_configuration.hpp"

#include "mcp/detail/base64.hpp"
#include "mcp/detail/uuid.hpp"
#include "mcp/json/json.hpp"

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <array>
#include <cmath>
#include <memory>

namespace mcp {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* key) const noexcept { EVP_PKEY_free(key); }
};
struct BIOFree {
    void operator()(BIO* bio) const noexcept { BIO_free(bio); }
};
struct DigestFree {
    void operator()(EVP_MD_CTX* context) const noexcept { EVP_MD_CTX_free(context); }
};
struct SignatureFree {
    void operator()(ECDSA_SIG* signature) const noexcept { ECDSA_SIG_free(signature); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyFree>;

// Lifetimes beyond this are cut to it, so that iat + lifetime stays far inside 64 bits.
constexpr double kLongestLifetimeSeconds = 1e15;

// Without a password callback OpenSSL asks on the terminal for the password of an encrypted key
// and blocks; this one declines at once.
int noPassword(char*, int, int, void*) {
    return 0;
}

Key readP256Key(std::string_view pem) {
    const std::unique_ptr<BIO, BIOFree> bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    if (!bio) throw std::runtime_error("Could not read the private key");
    Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, noPassword, nullptr));
    if (!key) throw std::runtime_error("Could not read the private key: expected an unencrypted PEM private key");
    std::array<char, 64> group{};
    std::size_t groupLength = 0;
    if (EVP_PKEY_get_base_id(key.get()) != EVP_PKEY_EC ||
        EVP_PKEY_get_utf8_string_param(key.get(), OSSL_PKEY_PARAM_GROUP_NAME, group.data(), group.size(),
                                       &groupLength) != 1 ||
        std::string_view(group.data(), groupLength) != "prime256v1") {
        throw std::runtime_error("The private key is not a P-256 key");
    }
    return key;
}

// The raw r‖s form of an ECDSA signature, 32 bytes each, which JWS uses in place of DER.
std::string rawSignature(const std::string& der) {
    const auto* cursor = reinterpret_cast<const unsigned char*>(der.data());
    const std::unique_ptr<ECDSA_SIG, SignatureFree> signature(
        d2i_ECDSA_SIG(nullptr, &cursor, static_cast<long>(der.size())));
    if (!signature) throw std::runtime_error("Signing the client assertion failed");
    std::string raw(64, '\0');
    auto* out = reinterpret_cast<unsigned char*>(raw.data());
    if (BN_bn2binpad(ECDSA_SIG_get0_r(signature.get()), out, 32) != 32 ||
        BN_bn2binpad(ECDSA_SIG_get0_s(signature.get()), out + 32, 32) != 32) {
        throw std::runtime_error("Signing the client assertion failed");
    }
    return raw;
}

std::string signES256(EVP_PKEY* key, std::string_view input) {
    const std::unique_ptr<EVP_MD_CTX, DigestFree> context(EVP_MD_CTX_new());
    std::size_t length = 0;
    const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
    if (!context || EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key) != 1 ||
        EVP_DigestSign(context.get(), nullptr, &length, bytes, input.size()) != 1) {
        throw std::runtime_error("Signing the client assertion failed");
    }
    std::string der(length, '\0');
    if (EVP_DigestSign(context.get(), reinterpret_cast<unsigned char*>(der.data()), &length, bytes, input.size()) != 1) {
        throw std::runtime_error("Signing the client assertion failed");
    }
    der.resize(length);
    return rawSignature(der);
}

}  // namespace

std::string OAuthConfiguration::makePrivateKeyJWTAssertion(std::string_view clientID,
                                                           const boost::urls::url& tokenEndpoint,
                                                           std::string_view privateKeyPEM,
                                                           PrivateKeyJWTSigningAlgorithm signingAlgorithm,
                                                           const std::optional<std::string>& audience,
                                                           std::chrono::system_clock::time_point issuedAt,
                                                           double lifetimeSeconds) {
    if (!(lifetimeSeconds > 0)) throw PrivateKeyJWTAssertionError::invalidLifetime(lifetimeSeconds);

    const Value header(Value::Object{{"alg", Value(rawValue(signingAlgorithm))}, {"typ", Value("JWT")}});
    const auto issuedAtSeconds =
        std::chrono::duration_cast<std::chrono::seconds>(issuedAt.time_since_epoch()).count();
    const auto lifetime = static_cast<std::int64_t>(std::floor(std::min(lifetimeSeconds, kLongestLifetimeSeconds)));
    const Value claims(Value::Object{
        {"iss", Value(clientID)},
        {"sub", Value(clientID)},
        {"aud", Value(audience ? *audience : std::string(tokenEndpoint.buffer()))},
        {"iat", Value(static_cast<std::int64_t>(issuedAtSeconds))},
        {"exp", Value(static_cast<std::int64_t>(issuedAtSeconds) + std::max<std::int64_t>(1, lifetime))},
        {"jti", Value(detail::randomUUID())},
    });

    std::string signingInput;
    detail::appendBase64URL(signingInput, writeJSON(header));
    signingInput += '.';
    detail::appendBase64URL(signingInput, writeJSON(claims));

    const auto key = readP256Key(privateKeyPEM);
    const auto signature = signES256(key.get(), signingInput);
    std::string assertion = std::move(signingInput);
    assertion += '.';
    detail::appendBase64URL(assertion, signature);
    return assertion;
}

}  // namespace mcp
