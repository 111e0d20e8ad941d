#pragma once

// HTTPAuthenticationChallengeError: what the HTTP client transport throws when a reply has
// status 401 or 403, so that the code that holds the client's authorization can answer the
// challenge and retry.

#include "mcp/http/http_request.hpp"

#include <exception>
#include <utility>

namespace mcp {

class HTTPAuthenticationChallengeError : public std::exception {
public:
    // `headers` are the reply's header fields as the transport read them.
    HTTPAuthenticationChallengeError(int statusCode, HTTPHeaders headers)
        : statusCode_(statusCode), headers_(std::move(headers)) {}

    // 401 or 403.
    int statusCode() const noexcept { return statusCode_; }
    const HTTPHeaders& headers() const noexcept { return headers_; }

    // The challenge is in the status and the headers; the error carries no message.
    const char* what() const noexcept override { return "HTTP authentication challenge"; }

private:
    int statusCode_;
    HTTPHeaders headers_;
};

}  // namespace mcp
