#pragma once

#include "platform/session/environment.hpp"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace platform::detail {

// commandOutput: runs argv (argv[0] looked up on this process's PATH) with environment, with
// standard input and error on /dev/null, in a process group of its own, and returns what it
// wrote to standard output when it exits with status 0 within limit, having written at most
// maxBytes. None when it can't be started, fails, runs longer or writes more: then its whole
// process group is killed. Always reaps it; never throws. Any thread.
std::optional<std::string> commandOutput(const std::vector<std::string>& argv, const Environment& environment,
                                         std::chrono::milliseconds limit, std::size_t maxBytes);

}  // namespace platform::detail
