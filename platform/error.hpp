#pragma once

#include <stdexcept>
#include <string>

namespace platform {

// Error: what the platform layer throws when the system refuses an operation (a file that
// can't be written, a random source that fails). The message is complete and meant for a
// person: it names the operation, the object and the system's reason.
class Error : public std::runtime_error {
public:
    explicit Error(const std::string& message) : std::runtime_error(message) {}
};

// errnoError: an Error for a failed system call, "<what>: <strerror(errnum)>".
Error errnoError(const std::string& what, int errnum);

}  // namespace platform
