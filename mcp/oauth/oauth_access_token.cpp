#include "mcp/oauth/oauth_access_token.hpp"

#include "mcp/oauth/detail/document_codecs.hpp"

#include <cmath>

namespace mcp {
namespace {

using Clock = std::chrono::system_clock;

// The times a time point can hold, in seconds either side of the epoch.
constexpr double kLargestSeconds =
    std::chrono::duration<double>(Clock::duration::max()).count();

Value encodeTime(Clock::time_point time) {
    const auto sinceEpoch = time.time_since_epoch();
    const auto wholeSeconds = std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch);
    if (wholeSeconds == sinceEpoch) return Value(wholeSeconds.count());
    const auto microseconds = std::chrono::round<std::chrono::microseconds>(sinceEpoch);
    return Value(static_cast<double>(microseconds.count()) / 1e6);
}

Clock::time_point decodeTime(const Value& value, const CodingPath& path) {
    if (const auto whole = value.intValue()) {
        if (std::abs(static_cast<double>(*whole)) >= kLargestSeconds) {
            throw DecodingError::dataCorrupted(path, "Date is out of range");
        }
        return Clock::time_point(std::chrono::seconds(*whole));
    }
    const double seconds = Codec<double>::decode(value, path);
    if (!(std::abs(seconds) < kLargestSeconds)) {
        throw DecodingError::dataCorrupted(path, "Date is out of range");
    }
    const auto microseconds = std::llround(seconds * 1e6);
    return Clock::time_point(std::chrono::microseconds(microseconds));
}

}  // namespace

bool OAuthAccessToken::isExpired(Clock::time_point now, double skewSeconds) const {
    if (!expiresAt) return false;
    const auto skew = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(skewSeconds));
    return now + skew >= *expiresAt;
}

Value Codec<OAuthAccessToken>::encode(const OAuthAccessToken& token) {
    ObjectBuilder builder;
    builder.add("value", token.value).add("tokenType", token.tokenType);
    if (token.expiresAt) builder.add("expiresAt", encodeTime(*token.expiresAt));
    builder.add("scopes", token.scopes)
        .addIfPresent("authorizationServer", token.authorizationServer)
        .addIfPresent("refreshToken", token.refreshToken)
        .addIfPresent("clientID", token.clientID)
        .addIfPresent("resource", token.resource);
    return std::move(builder).build();
}

OAuthAccessToken Codec<OAuthAccessToken>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    OAuthAccessToken token;
    token.value = reader.required<std::string>("value");
    token.tokenType = reader.required<std::string>("tokenType");
    if (const Value* expiresAt = reader.findNonNull("expiresAt")) {
        token.expiresAt = decodeTime(*expiresAt, path.appending("expiresAt"));
    }
    token.scopes = reader.required<std::set<std::string>>("scopes");
    token.authorizationServer = reader.optional<boost::urls::url>("authorizationServer");
    token.refreshToken = reader.optional<std::string>("refreshToken");
    token.clientID = reader.optional<std::string>("clientID");
    token.resource = reader.optional<boost::urls::url>("resource");
    return token;
}

}  // namespace mcp
