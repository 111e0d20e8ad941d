#pragma once

// MCPError: the protocol's error, thrown by handlers and transports and turned into a
// JSON-RPC error object at the one boundary that answers the peer.

#include "mcp/json/codec.hpp"

#include <boost/system/error_code.hpp>

#include <exception>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace mcp {

// The JSON-RPC error codes the protocol fixes; a server error carries a code of its own.
struct ErrorCode {
    static constexpr int parseError = -32700;
    static constexpr int invalidRequest = -32600;
    static constexpr int methodNotFound = -32601;
    static constexpr int invalidParams = -32602;
    static constexpr int internalError = -32603;
    static constexpr int connectionClosed = -32000;
    static constexpr int transportError = -32001;
    static constexpr int urlElicitationRequired = -32042;
};

// One URL-based elicitation that the peer must complete before a request can succeed.
struct URLElicitationInfo {
    std::string mode;
    std::string elicitationID;
    std::string url;
    std::string message;

    friend bool operator==(const URLElicitationInfo&, const URLElicitationInfo&) = default;
};

// Written as {"mode", "elicitationId", "url", "message"}; all four strings are required.
template <>
struct Codec<URLElicitationInfo> {
    static Value encode(const URLElicitationInfo& info);
    static URLElicitationInfo decode(const Value& value, const CodingPath& path);
};

// What a transport error keeps of the error it wraps: its texts, not the error itself, so
// that an `MCPError` stays a plain value.
struct UnderlyingError {
    // The error's own description (`what()`, or the error code's message).
    std::string description;
    // The error's failure reason, when it offers one.
    std::optional<std::string> failureReason;
    // The full rendering for logs: the type or category with the description.
    std::string debugDescription;

    static UnderlyingError from(const std::exception& error);
    static UnderlyingError from(const boost::system::error_code& error);
};

class MCPError : public std::exception {
public:
    enum class Kind {
        parseError,
        invalidRequest,
        methodNotFound,
        invalidParams,
        internalError,
        serverError,
        urlElicitationRequired,
        transportError,
        connectionClosed,
    };

    static MCPError parseError(std::optional<std::string> detail = std::nullopt);
    static MCPError invalidRequest(std::optional<std::string> detail = std::nullopt);
    static MCPError methodNotFound(std::optional<std::string> detail = std::nullopt);
    static MCPError invalidParams(std::optional<std::string> detail = std::nullopt);
    static MCPError internalError(std::optional<std::string> detail = std::nullopt);
    static MCPError serverError(int code, std::string message);
    static MCPError urlElicitationRequired(std::string message, std::vector<URLElicitationInfo> elicitations);
    static MCPError transportError(UnderlyingError underlying);
    static MCPError transportError(const std::exception& error) { return transportError(UnderlyingError::from(error)); }
    static MCPError connectionClosed();

    Kind kind() const noexcept { return kind_; }
    // The JSON-RPC code: fixed per kind, the server error's own code for `serverError`.
    int code() const noexcept { return code_; }
    // The detail of the five detail kinds (parseError ... internalError), when given.
    const std::optional<std::string>& detail() const noexcept { return detail_; }
    // The message of `serverError` and `urlElicitationRequired`; empty for the other kinds.
    const std::string& message() const noexcept { return message_; }
    const std::vector<URLElicitationInfo>& elicitations() const noexcept { return elicitations_; }
    // The wrapped error of `transportError`, else null.
    const UnderlyingError* underlyingError() const noexcept { return underlying_ ? &*underlying_ : nullptr; }

    // "Invalid params: D", "Server error: M", "Connection closed", ...; also `what()`.
    const std::string& errorDescription() const noexcept { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }
    std::string failureReason() const;
    std::optional<std::string> recoverySuggestion() const;
    // "[code] description", plus " (Underlying error: ...)" for a transport error.
    std::string debugDescription() const;

    // True when `error` reports that a resource is temporarily unavailable (EAGAIN or
    // EWOULDBLOCK), the condition on which read and write loops wait briefly and retry.
    static bool isResourceTemporarilyUnavailable(const std::exception& error) noexcept;
    static bool isResourceTemporarilyUnavailable(const std::error_code& error) noexcept;
    static bool isResourceTemporarilyUnavailable(const boost::system::error_code& error) noexcept;

    // Same kind and payload; transport errors compare by the wrapped error's description.
    friend bool operator==(const MCPError& lhs, const MCPError& rhs) noexcept;
    std::size_t hash() const noexcept;

private:
    MCPError(Kind kind, int code);
    static MCPError withDetail(Kind kind, int code, std::optional<std::string> detail);
    void describe();

    Kind kind_;
    int code_;
    std::optional<std::string> detail_;
    std::string message_;
    std::vector<URLElicitationInfo> elicitations_;
    std::optional<UnderlyingError> underlying_;
    std::string description_;
};

// The JSON-RPC error object {"code", "message", "data"}. "message" is the error
// description (the bare message for -32042); "data" holds {"detail"} for a detail kind with
// a detail, {"elicitations": [...]} for -32042 and {"error"} for a transport error.
// Reading chooses the kind by the code; a "data" that is present and not an object fails.
template <>
struct Codec<MCPError> {
    static Value encode(const MCPError& error);
    static MCPError decode(const Value& value, const CodingPath& path);
};

}  // namespace mcp

template <>
struct std::hash<mcp::MCPError> {
    std::size_t operator()(const mcp::MCPError& error) const noexcept { return error.hash(); }
};
