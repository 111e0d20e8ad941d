#include "mcp/http/session_id_generator.hpp"

#include "mcp/detail/uuid.hpp"

namespace mcp {

std::string UUIDSessionIDGenerator::generateSessionID() { return detail::randomUUID(); }

}  // namespace mcp
