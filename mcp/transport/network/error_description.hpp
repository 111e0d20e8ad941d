#pragma once

// The text of an error in the network transport's log lines: an `MCPError`'s debug
// description ("[-32000] Connection closed"), a system error's message ("Connection
// refused"), any other error's `what()`.

#include "mcp/protocol/mcp_error.hpp"

#include <boost/system/system_error.hpp>

#include <exception>
#include <string>

namespace mcp::network {

inline std::string errorDescription(std::exception_ptr error) {
    try {
        std::rethrow_exception(error);
    } catch (const MCPError& failure) {
        return failure.debugDescription();
    } catch (const boost::system::system_error& failure) {
        return failure.code().message();
    } catch (const std::exception& failure) {
        return failure.what();
    } catch (...) {
        return "Unknown error";
    }
}

}  // namespace mcp::network
