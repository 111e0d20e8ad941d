#include "mcp/oauth/detail/document_codecs.hpp"

#include "mcp/detail/url.hpp"

#include <string>

namespace mcp {

Value Codec<boost::urls::url>::encode(const boost::urls::url& url) {
    return std::string(url.buffer());
}

boost::urls::url Codec<boost::urls::url>::decode(const Value& value, const CodingPath& path) {
    auto url = detail::parseURL(Codec<std::string>::decode(value, path));
    if (!url) throw DecodingError::dataCorrupted(path, "Invalid URL string");
    return std::move(*url);
}

}  // namespace mcp
