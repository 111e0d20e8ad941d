#pragma once

#include "platform/self_launcher.hpp"
#include "platform/session/environment.hpp"

#include <functional>
#include <string>
#include <vector>

namespace platform {

// PosixSelfLauncher: SelfLauncher through posix_spawn with POSIX_SPAWN_SETSID, in the folder
// "/", with every signal at its default action and an empty signal mask. The started process
// is reaped by a thread of its own when it ends, so none is left behind as a zombie.
class PosixSelfLauncher final : public SelfLauncher {
public:
    // What the started process's environment is, asked anew for every launch; it may throw
    // platform::Error to refuse the launch (nothing is started then).
    using EnvironmentSource = std::function<Environment()>;

    // The running executable itself ("/proc/self/exe", which stays valid when the file was
    // replaced since), named by its path in the started process's argv[0], with this
    // process's environment.
    PosixSelfLauncher();
    // executable is run with the given argv (argv[0] included) and the environment that
    // environment gives.
    PosixSelfLauncher(std::string executable, std::vector<std::string> argv,
                      EnvironmentSource environment = processEnvironment);

    void launchDetached() override;

private:
    std::string executable_;
    std::vector<std::string> argv_;
    EnvironmentSource environment_;
};

}  // namespace platform
