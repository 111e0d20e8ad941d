#pragma once

// The codecs of the value types that the OAuth documents carry: URLs (JSON strings that must
// parse as URLs) and sets of strings (JSON arrays; duplicates collapse on reading, written in
// ascending order).

#include "mcp/json/codec.hpp"

#include <boost/url/url.hpp>

#include <set>

namespace mcp {

template <>
struct Codec<boost::urls::url> {
    static Value encode(const boost::urls::url& url);
    // Throws dataCorrupted "Invalid URL string" for a string that is no URL.
    static boost::urls::url decode(const Value& value, const CodingPath& path);
};

template <Codable T>
struct Codec<std::set<T>> {
    static Value encode(const std::set<T>& elements) {
        Value::Array array;
        array.reserve(elements.size());
        for (const auto& element : elements) array.push_back(Codec<T>::encode(element));
        return array;
    }
    static std::set<T> decode(const Value& value, const CodingPath& path) {
        auto elements = Codec<std::vector<T>>::decode(value, path);
        return std::set<T>(std::make_move_iterator(elements.begin()), std::make_move_iterator(elements.end()));
    }
};

}  // namespace mcp
