#include "mcp/transport.hpp"

#include "mcp/detail/uuid.hpp"

namespace mcp {

std::string UUIDSessionIDGenerator::generateSessionID() { return detail::randomUUID(); }

}  // namespace mcp
