#include "mcp/server/server_batch.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/detail/error_conversion.hpp"

#include <string>

namespace mcp {

namespace asio = boost::asio;

Value Codec<Server::Batch>::encode(const Server::Batch& batch) {
    Value::Array items;
    items.reserve(batch.items.size());
    for (const auto& item : batch.items) {
        items.push_back(std::visit([](const auto& message) { return mcp::encode(message); }, item));
    }
    return items;
}

Server::Batch Codec<Server::Batch>::decode(const Value& value, const CodingPath& path) {
    const auto* array = value.arrayValue();
    if (array == nullptr) throw unexpectedValue(value, path, "an array");
    Server::Batch batch;
    batch.items.reserve(array->size());
    for (std::size_t index = 0; index < array->size(); ++index) {
        const Value& element = (*array)[index];
        const auto* object = element.objectValue();
        if (object != nullptr && object->contains("id")) {
            batch.items.emplace_back(mcp::decode<Request<AnyMethod>>(element, path.appending(index)));
        } else {
            batch.items.emplace_back(mcp::decode<Message<AnyNotification>>(element, path.appending(index)));
        }
    }
    return batch;
}

asio::awaitable<void> Server::handleBatch(Batch batch) {
    logger().trace("Processing batch request", [&batch] {
        return logging::Logger::Metadata{{"size", std::to_string(batch.items.size())}};
    });
    if (batch.items.empty()) {
        // Nothing in the batch has an id to answer under.
        const Response<AnyMethod> refusal{std::nullopt, MCPError::invalidRequest("Batch array must not be empty")};
        Value message = encode(refusal);
        co_await sendMessage(std::move(message));
        co_return;
    }

    Value::Array answers;
    for (auto& item : batch.items) {
        if (auto* notification = std::get_if<Message<AnyNotification>>(&item)) {
            try {
                co_await handleMessage(std::move(*notification));
            } catch (...) {
                // A notification contributes nothing to the answer, not even its failure.
            }
            continue;
        }
        auto& request = std::get<Request<AnyMethod>>(item);
        const ID id = request.id;
        ResponseOrNone response;
        std::exception_ptr failure;
        try {
            response = co_await handleRequest(std::move(request), false, nullptr);
        } catch (...) {
            failure = std::current_exception();
        }
        if (failure) response = Response<AnyMethod>{id, detail::toMCPError(failure)};
        if (response) answers.push_back(encode(*response));
    }
    if (answers.empty()) co_return;

    const auto transport = connection_;
    if (!transport) throw MCPError::internalError("Server connection not initialized");
    std::string bytes = writeJSON(Value(std::move(answers)), KeyOrder::sorted);
    co_await transport->send(std::move(bytes));
}

}  // namespace mcp
