#include "mcp/protocol/envelopes.hpp"

namespace mcp::detail {

void checkJSONRPCVersion(const ObjectReader& reader) {
    if (reader.required<std::string>("jsonrpc") != "2.0") {
        throw DecodingError::dataCorrupted(reader.path().appending("jsonrpc"), "Invalid JSON-RPC version");
    }
}

DecodingError missingParamsField(const CodingPath& path) {
    return DecodingError::dataCorrupted(path, "Missing required params field");
}

DecodingError invalidParamsField(const CodingPath& path) {
    return DecodingError::dataCorrupted(path, "Invalid params field");
}

DecodingError invalidResponse(const CodingPath& path) { return DecodingError::dataCorrupted(path, "Invalid response"); }

}  // namespace mcp::detail
