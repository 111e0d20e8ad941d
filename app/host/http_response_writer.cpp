#include "app/host/http_response_writer.hpp"

#include "app/host/host_headers.hpp"

#include "mcp/http/http_request.hpp"

#include <optional>
#include <variant>

namespace app {

std::string_view httpReasonPhrase(int statusCode) noexcept {
    switch (statusCode) {
    case 200: return "OK";
    case 202: return "Accepted";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 406: return "Not Acceptable";
    case 411: return "Length Required";
    case 415: return "Unsupported Media Type";
    default: return statusCode < 400 ? "OK" : "Error";
    }
}

std::string httpResponseBytes(const mcp::HTTPResponse& response, std::string_view launchID) {
    const auto statusCode = response.statusCode();
    // A Data body can be a picture of several MiB: read it in place rather than copy it.
    std::optional<std::string> errorBody;
    std::string_view body;
    if (const auto* data = std::get_if<mcp::HTTPResponse::Data>(&response.value())) {
        body = data->body;
    } else if ((errorBody = response.bodyData())) {
        body = *errorBody;
    }

    std::string bytes;
    bytes.reserve(256 + body.size());
    bytes += "HTTP/1.1 ";
    bytes += std::to_string(statusCode);
    bytes += ' ';
    bytes += httpReasonPhrase(statusCode);
    bytes += "\r\n";
    for (const auto& [name, value] : response.headers()) {
        if (mcp::equalsIgnoringCase(name, "content-length")) continue;
        bytes += name;
        bytes += ": ";
        bytes += value;
        bytes += "\r\n";
    }
    bytes += kLaunchHeader;
    bytes += ": ";
    bytes += launchID;
    bytes += "\r\nContent-Length: ";
    bytes += std::to_string(body.size());
    bytes += "\r\nConnection: close\r\n\r\n";
    bytes += body;
    return bytes;
}

}  // namespace app
