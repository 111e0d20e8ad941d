#include "mcp/oauth/client/configuration/token_storage.hpp"

namespace mcp {

void InMemoryTokenStorage::save(const OAuthAccessToken& token) {
    const std::lock_guard lock(mutex_);
    token_ = token;
}

std::optional<OAuthAccessToken> InMemoryTokenStorage::load() const {
    const std::lock_guard lock(mutex_);
    return token_;
}

void InMemoryTokenStorage::clear() {
    const std::lock_guard lock(mutex_);
    token_.reset();
}

}  // namespace mcp
