#include "mcp/http/http_response.hpp"

#include "mcp/http/http_header_name.hpp"
#include "mcp/json/json.hpp"

namespace mcp {
namespace {

void setHeader(HTTPHeaders& headers, std::string_view name, std::string value) {
    for (auto& [key, existing] : headers) {
        if (equalsIgnoringCase(key, name)) {
            existing = std::move(value);
            return;
        }
    }
    headers.emplace_back(std::string(name), std::move(value));
}

}  // namespace

int HTTPResponse::statusCode() const noexcept {
    if (std::holds_alternative<Accepted>(case_)) return 202;
    if (const auto* error = std::get_if<Error>(&case_)) return error->statusCode;
    return 200;
}

HTTPHeaders HTTPResponse::headers() const {
    return std::visit(
        [](const auto& response) -> HTTPHeaders {
            if constexpr (std::is_same_v<std::decay_t<decltype(response)>, Error>) {
                HTTPHeaders headers;
                setHeader(headers, HTTPHeaderName::contentType, "application/json");
                if (response.sessionID) setHeader(headers, HTTPHeaderName::sessionID, *response.sessionID);
                for (const auto& [name, value] : response.extraHeaders) setHeader(headers, name, value);
                return headers;
            } else {
                return response.headers;
            }
        },
        case_);
}

std::optional<std::string> HTTPResponse::bodyData() const {
    if (const auto* data = std::get_if<Data>(&case_)) return data->body;
    const auto* error = std::get_if<Error>(&case_);
    if (error == nullptr) return std::nullopt;
    const Value body = Value::Object{
        {"jsonrpc", "2.0"},
        {"error", Value::Object{{"code", error->error.code()}, {"message", error->error.errorDescription()}}},
        {"id", nullptr},
    };
    return writeJSON(body, KeyOrder::sorted);
}

}  // namespace mcp
