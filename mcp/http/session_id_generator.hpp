#pragma once

// SessionIDGenerator: where the stateful HTTP server transport gets the id of each new session.

#include <string>

namespace mcp {

// Makes the ids of new HTTP sessions.
class SessionIDGenerator {
public:
    virtual ~SessionIDGenerator() = default;
    virtual std::string generateSessionID() = 0;
};

// The default: a fresh random UUID in its upper-case 36-character form.
class UUIDSessionIDGenerator final : public SessionIDGenerator {
public:
    std::string generateSessionID() override;
};

}  // namespace mcp
