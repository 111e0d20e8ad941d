#pragma once

namespace platform {

// SelfLauncher: starts the program anew, for a bridge that finds it not running.
class SelfLauncher {
public:
    virtual ~SelfLauncher() = default;

    // launchDetached: starts the program's own executable, without arguments, in a session of
    // its own, with standard input, output and error on /dev/null and no other descriptor of
    // this process: it never writes into this process's streams, holds none of its pipes open
    // and outlives it. Returns once the process exists, not when it is ready. Throws
    // platform::Error when it can't be started, or when there is nowhere to start it (no
    // desktop session to show it in); the message then says why. Any thread.
    virtual void launchDetached() = 0;
};

}  // namespace platform
