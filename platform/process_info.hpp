#pragma once

#include <string>
#include <string_view>

namespace platform {

// The executable path to show when the running program's own path can't be read: where the
// package installs it.
inline constexpr std::string_view kFallbackExecutablePath = "/usr/bin/vantor-mcp";

// ProcessInfo: what the program knows about its own process.
class ProcessInfo {
public:
    virtual ~ProcessInfo() = default;
    virtual int ownPID() const = 0;
    // executablePath: the full path of the running executable, or kFallbackExecutablePath
    // when it can't be read; never empty.
    virtual std::string executablePath() const = 0;
    // appVersion: the program's version, e.g. "1.0.0".
    virtual std::string appVersion() const = 0;
};

}  // namespace platform
