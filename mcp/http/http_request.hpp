#pragma once

// HTTPRequest: an incoming HTTP request as a plain value, built by the embedding program from
// its own connection, so that the library depends on no HTTP server.

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mcp {

// Header names and values, in the order the embedding program supplies them; names keep
// whatever case they arrived in.
using HTTPHeaders = std::vector<std::pair<std::string, std::string>>;

struct HTTPRequest {
    // "POST", "GET", ...
    std::string method;
    HTTPHeaders headers;
    // Absent when the request has no body.
    std::optional<std::string> body;
    // The request target, when the embedding program supplies it.
    std::optional<std::string> path;

    // The value of the first header whose name equals `name` ignoring ASCII case, or absent.
    std::optional<std::string> header(std::string_view name) const;

    friend bool operator==(const HTTPRequest&, const HTTPRequest&) = default;
};

// True when `a` and `b` are equal ignoring ASCII case, as HTTP header names compare.
bool equalsIgnoringCase(std::string_view a, std::string_view b) noexcept;

}  // namespace mcp
