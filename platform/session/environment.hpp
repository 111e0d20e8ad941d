#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Environment: the variables of a process's environment, by name.
using Environment = std::map<std::string, std::string, std::less<>>;

// processEnvironment: this process's environment (entries without "=" are left out).
Environment processEnvironment();

// environmentEntries: environment as the "NAME=value" entries a started process gets.
std::vector<std::string> environmentEntries(const Environment& environment);

// isSet: whether environment holds name with a value that isn't empty; an empty value counts
// as unset, as programs read it.
bool isSet(const Environment& environment, std::string_view name);

}  // namespace platform
