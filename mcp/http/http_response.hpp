#pragma once

// HTTPResponse: the answer to an `HTTPRequest` as a plain value, which the embedding program
// writes to its own connection.

#include "mcp/transport/async_queue.hpp"
#include "mcp/http/http_request.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace mcp {

class HTTPResponse {
public:
    // 202, no body.
    struct Accepted {
        HTTPHeaders headers;
    };
    // 200, no body.
    struct OK {
        HTTPHeaders headers;
    };
    // 200 with a body.
    struct Data {
        std::string body;
        HTTPHeaders headers;
    };
    // 200 whose body is a stream of chunks (Server-Sent Events), which may end with an error.
    struct Stream {
        std::shared_ptr<AsyncQueue<std::string>> body;
        HTTPHeaders headers;
    };
    // The given status with a JSON-RPC error object as the body.
    struct Error {
        int statusCode;
        MCPError error;
        std::optional<std::string> sessionID;
        HTTPHeaders extraHeaders;
    };

    using Case = std::variant<Accepted, OK, Data, Stream, Error>;

    // From any case: `HTTPResponse(HTTPResponse::Accepted{})`.
    template <class C>
        requires std::constructible_from<Case, C&&>
    HTTPResponse(C&& response) : case_(std::forward<C>(response)) {}

    const Case& value() const noexcept { return case_; }

    // 202 for `Accepted`, the error's own status for `Error`, 200 otherwise.
    int statusCode() const noexcept;

    // The case's headers. For `Error`: "Content-Type: application/json", then
    // "MCP-Session-Id" when there is a session id, then the extra headers, each replacing an
    // earlier header of the same name (ignoring case) in its place.
    HTTPHeaders headers() const;

    // The body of `Data`, and for `Error` the compact JSON
    // {"error":{"code":...,"message":...},"id":null,"jsonrpc":"2.0"}, the message being the
    // error's description; absent for the other cases.
    std::optional<std::string> bodyData() const;

private:
    Case case_;
};

}  // namespace mcp
