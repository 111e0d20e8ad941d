#include "platform/detail/ini.hpp"

#include <utility>

namespace platform::detail {

namespace {

std::string_view trimBlanks(std::string_view text) {
    const auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        switch (const char c = text[++i]) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 's': out += ' '; break;
            default: out += c; break;
        }
    }
    return out;
}

std::string escape(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        switch (const char c = value[i]) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            case ' ': out += (i == 0 || i + 1 == value.size()) ? "\\s" : " "; break;
            default: out += c; break;
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> IniEntries::get(std::string_view key) const {
    const auto found = index_.find(key);
    if (found == index_.end()) return std::nullopt;
    return found->second.value;
}

void IniEntries::remember(std::string_view key, std::size_t line, std::string value) {
    const auto found = index_.find(key);
    if (found != index_.end()) {
        found->second = {line, std::move(value)};
    } else {
        index_.emplace(std::string(key), Entry{line, std::move(value)});
    }
}

void IniEntries::set(std::string_view key, std::string_view value) {
    std::string text(key);
    text += '=';
    text += escape(value);
    const auto found = index_.find(key);
    if (found != index_.end()) {
        lines_[found->second.line] = std::move(text);
        found->second.value = value;
        return;
    }
    lines_.push_back(std::move(text));
    remember(key, lines_.size() - 1, std::string(value));
}

IniEntries parseIni(std::string_view text) {
    IniEntries entries;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        entries.lines_.emplace_back(raw);
        auto line = raw;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        line = trimBlanks(line);
        if (line.empty() || line.front() == ';' || line.front() == '#' || line.front() == '[') continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        const auto key = trimBlanks(line.substr(0, equals));
        if (key.empty()) continue;
        entries.remember(key, entries.lines_.size() - 1, unescape(trimBlanks(line.substr(equals + 1))));
    }
    return entries;
}

std::string writeIni(const IniEntries& entries) {
    std::size_t size = 0;
    for (const auto& line : entries.lines_) size += line.size() + 1;
    std::string out;
    out.reserve(size);
    for (const auto& line : entries.lines_) {
        out += line;
        out += '\n';
    }
    return out;
}

}  // namespace platform::detail
