#include "mcp/oauth/client/configuration/oauth_configuration.hpp"

#include "mcp/json/json.hpp"
#include "tests/support/temporary_folder.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace mcp {
namespace {

using Configuration = OAuthConfiguration;
using Clock = std::chrono::system_clock;

const boost::urls::url kTokenEndpoint("https://as.example.com/oauth/token");

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void writeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Runs an openssl command line; stdin is closed so that a prompt could never wait.
int openssl(const std::string& arguments) {
    return std::system(("openssl " + arguments + " </dev/null >/dev/null 2>&1").c_str());
}

std::string base64URLDecode(std::string text) {
    for (char& c : text) {
        if (c == '-') c = '+';
        if (c == '_') c = '/';
    }
    while (text.size() % 4) text += '=';
    static constexpr std::string_view kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string bytes;
    unsigned buffer = 0;
    int bits = 0;
    for (const char c : text) {
        if (c == '=') break;
        buffer = (buffer << 6) | static_cast<unsigned>(kAlphabet.find(c));
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes += static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    return bytes;
}

// The DER form (SEQUENCE of two INTEGERs) of a raw r‖s signature, as openssl verifies it.
std::string derSignature(std::string_view raw) {
    const auto integer = [](std::string_view half) {
        std::size_t start = 0;
        while (start + 1 < half.size() && half[start] == '\0') ++start;
        std::string value(half.substr(start));
        if (static_cast<unsigned char>(value[0]) & 0x80) value.insert(value.begin(), '\0');
        return std::string{'\x02', static_cast<char>(value.size())} + value;
    };
    const std::string body = integer(raw.substr(0, 32)) + integer(raw.substr(32, 32));
    return std::string{'\x30', static_cast<char>(body.size())} + body;
}

// A claim of the assertion; null when it is missing.
struct Claims {
    Value object;
    Value operator[](std::string_view name) const {
        const auto* members = object.objectValue();
        const Value* member = members ? members->find(name) : nullptr;
        return member ? *member : Value();
    }
};

struct Parts {
    Value header;
    Claims claims;
    std::string signingInput;
    std::string signature;
};

Parts split(const std::string& assertion) {
    const auto first = assertion.find('.');
    const auto second = assertion.find('.', first + 1);
    EXPECT_NE(second, std::string::npos);
    EXPECT_EQ(assertion.find_first_of("+/="), std::string::npos);
    return {parseJSON(base64URLDecode(assertion.substr(0, first))),
            Claims{parseJSON(base64URLDecode(assertion.substr(first + 1, second - first - 1)))},
            assertion.substr(0, second),
            base64URLDecode(assertion.substr(second + 1))};
}

class PrivateKeyJWTAssertion : public ::testing::Test {
protected:
    std::filesystem::path file(std::string_view name) const { return folder_.path() / name; }

    // A key made by the openssl command line, with its public half in "<name>.pub" unless it is
    // encrypted.
    std::string makeKey(std::string_view name, const std::string& generate, bool encrypted = false) {
        const auto path = file(name);
        EXPECT_EQ(openssl(generate + " -out " + path.string()), 0) << generate;
        if (!encrypted) {
            EXPECT_EQ(openssl("pkey -in " + path.string() + " -pubout -out " + path.string() + ".pub"), 0);
        }
        return readFile(path);
    }

    bool verifies(std::string_view key, const Parts& parts) const {
        writeFile(file("input"), parts.signingInput);
        writeFile(file("signature"), derSignature(parts.signature));
        return openssl("dgst -sha256 -verify " + file(key).string() + ".pub -signature " + file("signature").string() +
                       " " + file("input").string()) == 0;
    }

    test_support::TemporaryFolder folder_;
};

TEST_F(PrivateKeyJWTAssertion, SignsWithSEC1AndPKCS8KeysSoThatOpenSSLVerifies) {
    const struct {
        std::string_view name;
        std::string generate;
        std::string_view pemLabel;
    } keys[] = {
        {"sec1", "ecparam -name prime256v1 -genkey -noout", "BEGIN EC PRIVATE KEY"},
        {"pkcs8", "genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256", "BEGIN PRIVATE KEY"},
    };
    for (const auto& key : keys) {
        SCOPED_TRACE(key.name);
        const auto pem = makeKey(key.name, key.generate);
        ASSERT_NE(pem.find(key.pemLabel), std::string::npos) << pem;
        const auto assertion = Configuration::makePrivateKeyJWTAssertion(
            "client-1", kTokenEndpoint, pem, Configuration::PrivateKeyJWTSigningAlgorithm::ES256, std::nullopt,
            Clock::now(), 300);
        const auto parts = split(assertion);
        ASSERT_EQ(parts.signature.size(), 64u);
        EXPECT_TRUE(verifies(key.name, parts));
        EXPECT_EQ(parts.header, Value(Value::Object{{"alg", Value("ES256")}, {"typ", Value("JWT")}}));
        EXPECT_EQ(parts.claims["iss"], Value("client-1"));
        EXPECT_EQ(parts.claims["sub"], Value("client-1"));
        EXPECT_EQ(parts.claims["aud"], Value("https://as.example.com/oauth/token"));
        EXPECT_EQ(*parts.claims["exp"].intValue() - *parts.claims["iat"].intValue(), 300);

        // A different signing input must not verify under the same signature.
        auto tampered = parts;
        tampered.signingInput.back() ^= 1;
        EXPECT_FALSE(verifies(key.name, tampered));
    }
}

TEST_F(PrivateKeyJWTAssertion, ComputesTimesFromTheIssueTimeAndLifetime) {
    const auto pem = makeKey("key", "ecparam -name prime256v1 -genkey -noout");
    const Clock::time_point issuedAt(std::chrono::milliseconds(100'900));
    const struct {
        double lifetime;
        std::int64_t exp;
    } cases[] = {{60, 160}, {0.4, 101}, {0.5, 101}, {90.9, 190}};
    for (const auto& row : cases) {
        SCOPED_TRACE(row.lifetime);
        const auto parts = split(Configuration::makePrivateKeyJWTAssertion(
            "c", kTokenEndpoint, pem, Configuration::PrivateKeyJWTSigningAlgorithm::ES256, "https://as.example.com",
            issuedAt, row.lifetime));
        EXPECT_EQ(parts.claims["iat"], Value(std::int64_t{100}));
        EXPECT_EQ(parts.claims["exp"], Value(row.exp));
        EXPECT_EQ(parts.claims["aud"], Value("https://as.example.com"));
    }
    const auto first = split(Configuration::makePrivateKeyJWTAssertion(
        "c", kTokenEndpoint, pem, Configuration::PrivateKeyJWTSigningAlgorithm::ES256, std::nullopt, issuedAt, 60));
    const auto second = split(Configuration::makePrivateKeyJWTAssertion(
        "c", kTokenEndpoint, pem, Configuration::PrivateKeyJWTSigningAlgorithm::ES256, std::nullopt, issuedAt, 60));
    EXPECT_NE(first.claims["jti"], second.claims["jti"]);
    EXPECT_EQ(first.claims["jti"].stringValue()->size(), 36u);
}

TEST_F(PrivateKeyJWTAssertion, RefusesBadLifetimesBeforeReadingTheKey) {
    for (const double lifetime : {0.0, -1.0, std::nan("")}) {
        SCOPED_TRACE(lifetime);
        try {
            Configuration::makePrivateKeyJWTAssertion("c", kTokenEndpoint, "not a key",
                                                      Configuration::PrivateKeyJWTSigningAlgorithm::ES256,
                                                      std::nullopt, Clock::now(), lifetime);
            ADD_FAILURE() << "signed";
        } catch (const Configuration::PrivateKeyJWTAssertionError& error) {
            EXPECT_EQ(error.kind(), Configuration::PrivateKeyJWTAssertionError::Kind::invalidLifetime);
        }
    }
}

TEST_F(PrivateKeyJWTAssertion, RefusesKeysThatAreNotUnencryptedP256) {
    const std::string keys[] = {
        "not a key",
        makeKey("p384", "ecparam -name secp384r1 -genkey -noout"),
        makeKey("rsa", "genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024"),
        // Encrypted: there is nobody to ask for the password, so the key is refused at once.
        makeKey("encrypted", "genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -aes256 -pass pass:secret", true),
    };
    for (const auto& pem : keys) {
        SCOPED_TRACE(pem.substr(0, 40));
        EXPECT_THROW(Configuration::makePrivateKeyJWTAssertion("c", kTokenEndpoint, pem,
                                                               Configuration::PrivateKeyJWTSigningAlgorithm::ES256,
                                                               std::nullopt, Clock::now(), 60),
                     std::runtime_error);
    }
}

}  // namespace
}  // namespace mcp
