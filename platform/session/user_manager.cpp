#include "platform/session/user_manager.hpp"

#include "platform/session/detail/command_output.hpp"

#include <optional>
#include <string>

namespace platform {

namespace {

// The most the manager's answer may hold: a desktop's environment is a few kilobytes.
constexpr std::size_t kMaxAnswerBytes = 1 << 20;

bool isNameCharacter(char c, bool first) {
    return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (!first && c >= '0' && c <= '9');
}

bool isVariableName(std::string_view name) {
    if (name.empty()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (!isNameCharacter(name[i], i == 0)) return false;
    }
    return true;
}

// The text of a $'…' quoted value (without the $' and '); none when it holds an escape that
// isn't one, or a quote that ends it early.
std::optional<std::string> unquoted(std::string_view quoted) {
    std::string text;
    for (std::size_t i = 0; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c == '\'') return std::nullopt;
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i == quoted.size()) return std::nullopt;
        const char escaped = quoted[i];
        switch (escaped) {
            case 'a': text += '\a'; break;
            case 'b': text += '\b'; break;
            case 'f': text += '\f'; break;
            case 'n': text += '\n'; break;
            case 'r': text += '\r'; break;
            case 't': text += '\t'; break;
            case 'v': text += '\v'; break;
            case '\\':
            case '\'':
            case '"': text += escaped; break;
            default: {
                // Three octal digits: a byte that isn't printable, or isn't UTF-8.
                if (i + 2 >= quoted.size()) return std::nullopt;
                int value = 0;
                for (std::size_t digit = i; digit < i + 3; ++digit) {
                    if (quoted[digit] < '0' || quoted[digit] > '7') return std::nullopt;
                    value = value * 8 + (quoted[digit] - '0');
                }
                if (value > 0xFF) return std::nullopt;
                text += static_cast<char>(value);
                i += 2;
            }
        }
    }
    return text;
}

}  // namespace

Environment parseManagerEnvironment(std::string_view output) {
    Environment result;
    while (!output.empty()) {
        const auto end = output.find('\n');
        const auto line = output.substr(0, end);
        output.remove_prefix(end == std::string_view::npos ? output.size() : end + 1);

        const auto equals = line.find('=');
        if (equals == std::string_view::npos || !isVariableName(line.substr(0, equals))) continue;
        const auto value = line.substr(equals + 1);
        if (value.starts_with("$'")) {
            if (value.size() < 3 || !value.ends_with('\'')) continue;
            if (auto text = unquoted(value.substr(2, value.size() - 3))) {
                result.insert_or_assign(std::string(line.substr(0, equals)), std::move(*text));
            }
        } else {
            result.insert_or_assign(std::string(line.substr(0, equals)), std::string(value));
        }
    }
    return result;
}

Environment userManagerEnvironment(const Environment& environment) {
    const auto answer =
        detail::commandOutput({"systemctl", "--user", "show-environment"}, environment, kUserManagerLimit, kMaxAnswerBytes);
    return answer ? parseManagerEnvironment(*answer) : Environment{};
}

}  // namespace platform
