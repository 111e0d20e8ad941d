#pragma once

// CancellationError: how a task learns that the work it waited for was called off. A caller
// whose request was cancelled receives it instead of a result; a request handler throws it
// when it noticed its request was cancelled, so that no answer is sent.

#include <stdexcept>

namespace mcp {

// The work was cancelled. It carries nothing but its text; a caller tells it apart from a
// failure by its type. Asio's `operation_aborted` is a different thing: an I/O operation
// that was interrupted.
class CancellationError : public std::runtime_error {
public:
    CancellationError() : std::runtime_error("The request was cancelled") {}
};

}  // namespace mcp
