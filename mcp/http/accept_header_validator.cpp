#include "mcp/http/accept_header_validator.hpp"

#include "mcp/http/detail/header_text.hpp"
#include "mcp/http/http_header_name.hpp"

#include <algorithm>

namespace mcp {

namespace {

constexpr std::string_view kJSON = "application/json";
constexpr std::string_view kEventStream = "text/event-stream";

}  // namespace

std::optional<HTTPResponse> AcceptHeaderValidator::validate(const HTTPRequest& request,
                                                            const HTTPValidationContext& context) const {
    const auto accept = request.header(HTTPHeaderName::accept).value_or("");
    const auto pieces = detail::splitDroppingEmpty(accept, ',');
    const auto accepts = [&](std::string_view mediaType) {
        return std::ranges::any_of(pieces, [&](std::string_view piece) {
            return detail::trimSpacesAndTabs(piece).starts_with(mediaType);
        });
    };

    if (context.httpMethod == "POST") {
        if (mode_ == Mode::jsonOnly && !accepts(kJSON)) {
            return refusal(406, "Not Acceptable: Client must accept application/json", context);
        }
        if (mode_ == Mode::sseRequired && !(accepts(kJSON) && accepts(kEventStream))) {
            return refusal(406, "Not Acceptable: Client must accept both application/json and text/event-stream",
                           context);
        }
    } else if (context.httpMethod == "GET" && !accepts(kEventStream)) {
        return refusal(406, "Not Acceptable: Client must accept text/event-stream", context);
    }
    return std::nullopt;
}

}  // namespace mcp
