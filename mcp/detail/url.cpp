#include "mcp/detail/url.hpp"

#include <boost/url/parse.hpp>

namespace mcp::detail {

std::optional<boost::urls::url> parseURL(std::string_view text) {
    if (text.empty()) return std::nullopt;
    auto parsed = boost::urls::parse_uri_reference(text);
    if (!parsed) return std::nullopt;
    return boost::urls::url(*parsed);
}

}  // namespace mcp::detail
