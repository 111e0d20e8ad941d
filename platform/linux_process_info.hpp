#pragma once

#include "platform/process_info.hpp"

namespace platform {

// LinuxProcessInfo: ProcessInfo from getpid, /proc/self/exe and the version of the build.
class LinuxProcessInfo final : public ProcessInfo {
public:
    int ownPID() const override;
    std::string executablePath() const override;
    std::string appVersion() const override;
};

}  // namespace platform
