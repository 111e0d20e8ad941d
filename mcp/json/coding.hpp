#pragma once

// The errors of reading and writing the protocol's types, and the path that locates a reading
// error inside a document.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace mcp {

// Where a decoder stands inside a document: a chain of object keys and array indices. Each
// step refers to its parent, so a path lives on the stack of the decoders that walk down the
// document and is turned into text only when an error is thrown.
class CodingPath {
public:
    // The root of a document.
    CodingPath() noexcept = default;

    // The path of the member `key` below this one; refers to `*this`, which must outlive it.
    CodingPath appending(std::string_view key) const noexcept { return CodingPath(this, key, 0, false); }
    // The path of element `index` below this one; refers to `*this`, which must outlive it.
    CodingPath appending(std::size_t index) const noexcept { return CodingPath(this, {}, index, true); }

    // The path as text: keys joined by ".", indices as "[n]" ("params.content[0].type"); the
    // root is "".
    std::string text() const;

private:
    CodingPath(const CodingPath* parent, std::string_view key, std::size_t index, bool isIndex) noexcept
        : parent_(parent), key_(key), index_(index), isIndex_(isIndex) {}

    const CodingPath* parent_ = nullptr;
    std::string_view key_;
    std::size_t index_ = 0;
    bool isIndex_ = false;
};

// A failure to read a protocol type from JSON. `what()` is the description alone
// ("Invalid JSON-RPC version"); `debugDescription()` adds the kind and the path.
class DecodingError : public std::runtime_error {
public:
    enum class Kind {
        // The value has another JSON type than the one expected.
        typeMismatch,
        // The value is null where a value is required.
        valueNotFound,
        // A required member is missing.
        keyNotFound,
        // The value has the right type but can't be read (or the text is no JSON at all).
        dataCorrupted,
    };

    DecodingError(Kind kind, const CodingPath& path, std::string description);

    Kind kind() const noexcept { return kind_; }
    // The path of the value that failed, as `CodingPath::text` writes it.
    const std::string& path() const noexcept { return path_; }
    // "dataCorrupted at jsonrpc: Invalid JSON-RPC version".
    std::string debugDescription() const;

    static DecodingError typeMismatch(const CodingPath& path, std::string_view expected, std::string_view found);
    static DecodingError valueNotFound(const CodingPath& path, std::string_view expected);
    static DecodingError keyNotFound(const CodingPath& path, std::string_view key);
    static DecodingError dataCorrupted(const CodingPath& path, std::string description);

private:
    Kind kind_;
    std::string path_;
};

// A value that has no JSON form (a NaN or infinite double).
class EncodingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace mcp
