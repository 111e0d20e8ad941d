#pragma once

#include "platform/process_info.hpp"

#include <string>
#include <utility>

namespace platform {

// FixedProcessInfo: ProcessInfo with values the test chooses.
class FixedProcessInfo final : public ProcessInfo {
public:
    FixedProcessInfo(std::string executablePath = std::string(kFallbackExecutablePath),
                     int pid = 4242, std::string version = "1.0.0")
        : executablePath_(std::move(executablePath)), pid_(pid), version_(std::move(version)) {}

    int ownPID() const override { return pid_; }
    std::string executablePath() const override { return executablePath_; }
    std::string appVersion() const override { return version_; }

private:
    std::string executablePath_;
    int pid_;
    std::string version_;
};

}  // namespace platform
