#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace platform::detail {

// IniEntries: a settings file as its lines, with the key/value lines indexed by key.
//
// Every line the file holds is kept: comments, section headers, lines without '=' and the
// entries themselves are written back as they were read, so that a file a person edited
// keeps what they wrote. Only the line of a key that is set changes. Reading and setting a
// key take constant time on average, so a file of any size reads in linear time.
class IniEntries {
public:
    std::optional<std::string> get(std::string_view key) const;
    // set: writes the value into the key's line (its last one when the key is given more than
    // once), or appends a line for the key at the end.
    void set(std::string_view key, std::string_view value);
    // size: how many distinct keys there are.
    std::size_t size() const { return index_.size(); }

private:
    friend IniEntries parseIni(std::string_view text);
    friend std::string writeIni(const IniEntries& entries);

    struct Entry {
        std::size_t line;
        std::string value;
    };
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>()(key); }
    };

    void remember(std::string_view key, std::size_t line, std::string value);

    // The file's lines, without their line feeds.
    std::vector<std::string> lines_;
    std::unordered_map<std::string, Entry, KeyHash, std::equal_to<>> index_;
};

// parseIni: reads "key=value" lines. Blank lines, comments (';' or '#' first), section
// headers ("[...]") and lines without '=' are no entries (but are kept); blanks around keys
// and values are trimmed; a key given twice keeps its last value. Values are unescaped (see
// writeIni).
IniEntries parseIni(std::string_view text);

// writeIni: the lines, each ended by a line feed; a key that was set gets its line as
// "key=value", where in the value backslash, line feed, carriage return and tab are written
// as \\, \n, \r and \t, and a blank at either end as \s, so that every value reads back
// exactly.
std::string writeIni(const IniEntries& entries);

}  // namespace platform::detail
