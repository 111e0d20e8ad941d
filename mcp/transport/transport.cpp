#include "mcp/transport/transport.hpp"

#include "logging/no_op_log_handler.hpp"

#include <utility>

namespace mcp {

logging::Logger givenOrSilentLogger(std::optional<logging::Logger> given, std::string label) {
    if (given) return std::move(*given);
    return logging::Logger(std::move(label), logging::NoOpLogHandler());
}

}  // namespace mcp
