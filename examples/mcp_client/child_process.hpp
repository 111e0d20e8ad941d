#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

// ChildProcess: a command started with pipes on its standard input and output, for a client
// that speaks to a server over stdio. Its standard error stays ours.
struct ChildProcess {
    pid_t pid = -1;
    // Read the server's output here, write its input there.
    int fromChild = -1;
    int toChild = -1;

    // Starts `command` (its first element is looked up on PATH). Throws std::system_error.
    static ChildProcess start(const std::vector<std::string>& command);
    // Closes our ends of the pipes, so the server sees the end of its input, and waits for it
    // to end: a server still running 2 seconds later gets SIGTERM, and one still running 2
    // seconds after that SIGKILL. Returns its exit status (128 + the signal for one that was
    // killed), -1 when it can't be waited for.
    int finish();
};
