#pragma once

#include <filesystem>
#include <optional>

namespace platform {

// InstanceLock: the claim of one process to be the program's only running instance for its
// user: an exclusive flock on a lock file, held while the object lives and released by the
// kernel when the process ends, however it ends. The descriptor is closed on exec, so a
// program that the instance starts never holds the claim.
class InstanceLock {
public:
    // tryAcquire: takes the lock on file without waiting, making the file (mode 0600) when it
    // is missing; none when another holder has it, in this process or another. Throws
    // platform::Error when the file can't be opened or locked for another reason.
    static std::optional<InstanceLock> tryAcquire(const std::filesystem::path& file);

    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

private:
    explicit InstanceLock(int fd) : fd_(fd) {}

    int fd_ = -1;
};

// defaultInstanceLockFile: "vantor-mcp.lock" in the user's runtime folder (userRuntimeFolder:
// XDG_RUNTIME_DIR, else "/run/user/<uid>" when the system made it for the user); without one,
// in the settings folder (defaultSettingsFile), which is private to the user too. Throws
// platform::Error when none can be found.
std::filesystem::path defaultInstanceLockFile();

}  // namespace platform
