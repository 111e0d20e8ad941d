#pragma once

// How the library turns whatever a handler or a transport threw into the protocol's error.

#include "mcp/protocol/mcp_error.hpp"

#include <exception>
#include <string>

namespace mcp::detail {

// An `MCPError` as it is; any other error as `internalError` whose detail is its text.
MCPError toMCPError(std::exception_ptr error);

// The text of an error for a log line: `what()`, or "Unknown error" for a non-standard one.
std::string errorText(std::exception_ptr error);

// True when `error` reports a resource that is temporarily unavailable (EAGAIN).
bool isResourceTemporarilyUnavailable(std::exception_ptr error) noexcept;

// True when `error` is a `CancellationError`.
bool isCancellationError(std::exception_ptr error) noexcept;

// True when `error` is Asio's `operation_aborted`, which an operation reports when it was
// cancelled.
bool isOperationAborted(std::exception_ptr error) noexcept;

}  // namespace mcp::detail
