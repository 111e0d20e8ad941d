#include "tests/mcp/oauth/client/jwt_access_token_verifier.hpp"

#include "mcp/detail/base64.hpp"
#include "mcp/detail/whitespace.hpp"
#include "mcp/json/json.hpp"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/pem.h>

#include <stdexcept>
#include <vector>

namespace mcp::testing {
namespace {

std::optional<std::string> decodeBase64URL(std::string_view text) {
    std::string standard(text);
    for (char& c : standard) {
        if (c == '+' || c == '/' || c == '=') return std::nullopt;
        if (c == '-') c = '+';
        if (c == '_') c = '/';
    }
    standard.append((4 - standard.size() % 4) % 4, '=');
    return detail::decodeBase64(standard);
}

// JWS carries an ES256 signature as r and s of 32 bytes each; OpenSSL verifies their DER form.
bool verifiesES256(EVP_PKEY* key, std::string_view signingInput, std::string_view signature) {
    if (signature.size() != 64) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(signature.data());
    const std::unique_ptr<ECDSA_SIG, decltype(&ECDSA_SIG_free)> parts(ECDSA_SIG_new(), ECDSA_SIG_free);
    BIGNUM* r = BN_bin2bn(bytes, 32, nullptr);
    BIGNUM* s = BN_bin2bn(bytes + 32, 32, nullptr);
    if (!parts || !r || !s || ECDSA_SIG_set0(parts.get(), r, s) != 1) {
        BN_free(r);
        BN_free(s);
        return false;
    }
    unsigned char* der = nullptr;
    const int derLength = i2d_ECDSA_SIG(parts.get(), &der);
    const std::unique_ptr<unsigned char, void (*)(unsigned char*)> derOwner(
        der, [](unsigned char* pointer) { OPENSSL_free(pointer); });
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    return derLength > 0 && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key) == 1 &&
           EVP_DigestVerify(context.get(), der, static_cast<std::size_t>(derLength),
                            reinterpret_cast<const unsigned char*>(signingInput.data()), signingInput.size()) == 1;
}

const std::string* stringMember(const Value::Object& object, std::string_view name) {
    const Value* value = object.find(name);
    return value ? value->stringValue() : nullptr;
}

}  // namespace

JWTAccessTokenVerifier::JWTAccessTokenVerifier(std::string_view publicKeyPEM, std::string issuer)
    : issuer_(std::move(issuer)) {
    const std::unique_ptr<BIO, decltype(&BIO_free)> input(
        BIO_new_mem_buf(publicKeyPEM.data(), static_cast<int>(publicKeyPEM.size())), BIO_free);
    key_.reset(input ? PEM_read_bio_PUBKEY(input.get(), nullptr, nullptr, nullptr) : nullptr, EVP_PKEY_free);
    if (!key_) throw std::runtime_error("JWTAccessTokenVerifier: no public key in the PEM text");
}

std::optional<BearerTokenInfo> JWTAccessTokenVerifier::verify(std::string_view token) const {
    constexpr auto npos = std::string_view::npos;
    const auto firstDot = token.find('.');
    if (firstDot == npos) return std::nullopt;
    const auto secondDot = token.find('.', firstDot + 1);
    if (secondDot == npos || token.find('.', secondDot + 1) != npos) return std::nullopt;
    const auto header = decodeBase64URL(token.substr(0, firstDot));
    const auto claims = decodeBase64URL(token.substr(firstDot + 1, secondDot - firstDot - 1));
    const auto signature = decodeBase64URL(token.substr(secondDot + 1));
    if (!header || !claims || !signature) return std::nullopt;
    try {
        const Value headerValue = parseJSON(*header);
        const auto* headerObject = headerValue.objectValue();
        const auto* algorithm = headerObject ? stringMember(*headerObject, "alg") : nullptr;
        if (!algorithm || *algorithm != "ES256") return std::nullopt;
        if (!verifiesES256(key_.get(), token.substr(0, secondDot), *signature)) return std::nullopt;

        const Value claimsValue = parseJSON(*claims);
        const auto* object = claimsValue.objectValue();
        const auto* issuer = object ? stringMember(*object, "iss") : nullptr;
        if (!issuer || *issuer != issuer_) return std::nullopt;

        BearerTokenInfo info;
        if (const Value* audience = object->find("aud")) {
            info.audience.emplace();
            if (const auto* single = audience->stringValue()) info.audience->push_back(*single);
            if (const auto* several = audience->arrayValue()) {
                for (const Value& entry : *several) {
                    if (const auto* text = entry.stringValue()) info.audience->push_back(*text);
                }
            }
        }
        if (const auto* scope = stringMember(*object, "scope")) {
            info.scopes.emplace();
            for (const auto word : detail::splitAtWhitespace(*scope)) info.scopes->emplace(word);
        }
        if (const Value* expiry = object->find("exp"); expiry && expiry->intValue()) {
            info.expiresAt = std::chrono::system_clock::time_point(std::chrono::seconds(*expiry->intValue()));
        }
        return info;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace mcp::testing
