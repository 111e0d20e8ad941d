#include "mcp/oauth/client/detail/form_encoding.hpp"

#include <boost/url/encode.hpp>
#include <boost/url/rfc/unreserved_chars.hpp>

namespace mcp::detail {

std::string percentEncodeUnreserved(std::string_view text) {
    return boost::urls::encode(text, boost::urls::unreserved_chars);
}

std::string formURLEncode(const std::map<std::string, std::string>& parameters) {
    std::string body;
    for (const auto& [name, value] : parameters) {
        if (!body.empty()) body += '&';
        body += percentEncodeUnreserved(name);
        body += '=';
        body += percentEncodeUnreserved(value);
    }
    return body;
}

}  // namespace mcp::detail
