#pragma once

// The names of the HTTP headers that the library reads and writes.

#include <string_view>

namespace mcp {

struct HTTPHeaderName {
    static constexpr std::string_view accept = "Accept";
    static constexpr std::string_view contentType = "Content-Type";
    static constexpr std::string_view authorization = "Authorization";
    static constexpr std::string_view wwwAuthenticate = "WWW-Authenticate";
    static constexpr std::string_view protocolVersion = "MCP-Protocol-Version";
    static constexpr std::string_view sessionID = "MCP-Session-Id";
    static constexpr std::string_view cacheControl = "Cache-Control";
    static constexpr std::string_view lastEventID = "Last-Event-ID";
    static constexpr std::string_view host = "Host";
    static constexpr std::string_view origin = "Origin";
    static constexpr std::string_view connection = "Connection";
    static constexpr std::string_view allow = "Allow";

    HTTPHeaderName() = delete;
};

}  // namespace mcp
