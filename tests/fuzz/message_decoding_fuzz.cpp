// A message body as the HTTP transports route it and as the server reads it.

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/protocol/jsonrpc_message_kind.hpp"
#include "mcp/protocol/method.hpp"
#include "mcp/server/server.hpp"
#include "mcp/server/server_batch.hpp"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

template <class T>
std::optional<T> tryDecode(const mcp::Value& value) {
    try {
        return mcp::decode<T>(value);
    } catch (const mcp::DecodingError&) {
        return std::nullopt;
    }
}

// A message that decodes encodes again, and that encoding decodes to the same message.
template <class T>
void roundTrip(const mcp::Value& value) {
    const auto decoded = tryDecode<T>(value);
    if (!decoded) return;
    const auto again = mcp::decode<T>(mcp::parseJSON(mcp::writeJSON(mcp::encode(*decoded))));
    if (!(again == *decoded)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
    const auto kind = mcp::JSONRPCMessageKind::classify(body);
    mcp::Value value;
    try {
        value = mcp::parseJSON(body);
    } catch (const mcp::DecodingError&) {
        if (kind) std::abort();
        return 0;
    }
    if (kind && kind->type == mcp::JSONRPCMessageKind::Type::request && !kind->id) std::abort();
    roundTrip<mcp::Request<mcp::AnyMethod>>(value);
    roundTrip<mcp::Message<mcp::AnyNotification>>(value);
    roundTrip<mcp::Server::Batch>(value);
    // An error answer's message is written as the error's description, which is no round trip
    // for every code: a response only has to encode again.
    if (const auto response = tryDecode<mcp::Response<mcp::AnyMethod>>(value)) mcp::writeJSON(mcp::encode(*response));
    return 0;
}
