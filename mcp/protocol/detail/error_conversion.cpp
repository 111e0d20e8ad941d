#include "mcp/protocol/detail/error_conversion.hpp"

#include "mcp/async/cancellation_error.hpp"

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>

namespace mcp::detail {

MCPError toMCPError(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& mcpError) {
        return mcpError;
    } catch (const std::exception& other) {
        return MCPError::internalError(other.what());
    } catch (...) {
        return MCPError::internalError("Unknown error");
    }
}

std::string errorText(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& other) {
        return other.what();
    } catch (...) {
        return "Unknown error";
    }
}

bool isResourceTemporarilyUnavailable(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& other) {
        return MCPError::isResourceTemporarilyUnavailable(other);
    } catch (...) {
        return false;
    }
}

bool isCancellationError(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        return true;
    } catch (...) {
        return false;
    }
}

bool isOperationAborted(std::exception_ptr error) noexcept {
    try {
        std::rethrow_exception(error);
    } catch (const boost::system::system_error& systemError) {
        return systemError.code() == boost::asio::error::operation_aborted;
    } catch (...) {
        return false;
    }
}

}  // namespace mcp::detail
