#include "platform/session/environment.hpp"

extern char** environ;

namespace platform {

Environment processEnvironment() {
    Environment result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string_view text = *entry;
        const auto equals = text.find('=');
        if (equals == std::string_view::npos) continue;
        result.emplace(text.substr(0, equals), text.substr(equals + 1));
    }
    return result;
}

std::vector<std::string> environmentEntries(const Environment& environment) {
    std::vector<std::string> entries;
    entries.reserve(environment.size());
    for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
    return entries;
}

bool isSet(const Environment& environment, std::string_view name) {
    const auto found = environment.find(name);
    return found != environment.end() && !found->second.empty();
}

}  // namespace platform
