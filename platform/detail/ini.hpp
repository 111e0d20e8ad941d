#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::detail {

// IniEntries: the key/value lines of a settings file, in file order, each key once.
class IniEntries {
public:
    std::optional<std::string> get(std::string_view key) const;
    // set: replaces the value of key in place, or appends key at the end.
    void set(std::string_view key, std::string_view value);
    const std::vector<std::pair<std::string, std::string>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

// parseIni: reads "key=value" lines. Blank lines, comments (';' or '#' first), section
// headers ("[...]") and lines without '=' are skipped; blanks around keys and values are
// trimmed; a key given twice keeps its last value. Values are unescaped (see writeIni).
IniEntries parseIni(std::string_view text);

// writeIni: one "key=value" line per entry. In values, backslash, line feed, carriage return
// and tab are written as \\, \n, \r and \t, and a blank at either end as \s, so that every
// value reads back exactly.
std::string writeIni(const IniEntries& entries);

}  // namespace platform::detail
