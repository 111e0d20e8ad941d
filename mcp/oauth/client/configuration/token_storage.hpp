#pragma once

// TokenStorage: where the OAuth authorizer keeps the client's one current access token, so that
// a program can keep tokens wherever it likes. InMemoryTokenStorage holds it for the life of the
// object.

#include "mcp/oauth/oauth_access_token.hpp"

#include <mutex>
#include <optional>

namespace mcp {

// Implementations must be safe to call from several threads at once: the transports and
// authorizers that share one storage may run on different threads.
class TokenStorage {
public:
    virtual ~TokenStorage() = default;

    // save: replaces the held token, whatever server, resource or scopes it belongs to.
    virtual void save(const OAuthAccessToken& token) = 0;
    // load: a copy of the held token, or absent.
    virtual std::optional<OAuthAccessToken> load() const = 0;
    // clear: empties the storage; clearing an empty one is harmless.
    virtual void clear() = 0;
};

class InMemoryTokenStorage final : public TokenStorage {
public:
    void save(const OAuthAccessToken& token) override;
    std::optional<OAuthAccessToken> load() const override;
    void clear() override;

private:
    mutable std::mutex mutex_;
    std::optional<OAuthAccessToken> token_;  // guarded by mutex_
};

}  // namespace mcp
