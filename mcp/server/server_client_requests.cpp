// The server's requests and notifications to its client: sampling, elicitation, roots and log
// messages, and giving up a request whose caller was cancelled.

#include "mcp/server/server.hpp"

#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/error.hpp>
#include <boost/asio/post.hpp>
#include <boost/system/system_error.hpp>

namespace mcp {

namespace asio = boost::asio;

template <Method M>
asio::awaitable<typename M::Result> Server::requestFromClient(ClientFeature feature, typename M::Parameters params,
                                                             std::optional<ID> relatedRequestID) {
    auto checking = [self = shared_from_this(), feature]() -> asio::awaitable<void> {
        if (!self->connection_) throw MCPError::internalError("Server connection not initialized");
        self->checkClientCapability(feature);
        co_return;
    };
    co_await onStrand(strand_, std::move(checking));
    co_return co_await sendRequest(makeRequest<M>(ID::random(), std::move(params)), std::move(relatedRequestID));
}

asio::awaitable<CreateSamplingMessage::Result> Server::requestSampling(
    std::vector<Sampling::Message> messages, std::optional<Sampling::ModelPreferences> modelPreferences,
    std::optional<std::string> systemPrompt, std::optional<Sampling::ContextInclusion> includeContext,
    std::optional<double> temperature, std::int64_t maxTokens, std::optional<std::vector<std::string>> stopSequences,
    std::optional<Metadata> meta, std::optional<ID> relatedRequestID) {
    CreateSamplingMessage::Parameters params{
        .messages = std::move(messages),
        .modelPreferences = std::move(modelPreferences),
        .systemPrompt = std::move(systemPrompt),
        .includeContext = includeContext,
        .temperature = temperature,
        .maxTokens = maxTokens,
        .stopSequences = std::move(stopSequences),
        ._meta = std::move(meta),
    };
    co_return co_await requestFromClient<CreateSamplingMessage>(ClientFeature::sampling, std::move(params),
                                                                std::move(relatedRequestID));
}

asio::awaitable<CreateElicitation::Result> Server::requestElicitation(std::string message,
                                                                      Elicitation::RequestSchema requestedSchema,
                                                                      std::optional<Elicitation::Mode> mode,
                                                                      std::optional<Metadata> meta,
                                                                      std::optional<ID> relatedRequestID) {
    CreateElicitation::Parameters params = CreateElicitation::Parameters::FormParameters{
        .message = std::move(message),
        .mode = mode,
        .requestedSchema = std::move(requestedSchema),
        ._meta = std::move(meta),
    };
    co_return co_await requestFromClient<CreateElicitation>(ClientFeature::elicitation, std::move(params),
                                                            std::move(relatedRequestID));
}

asio::awaitable<CreateElicitation::Result> Server::requestElicitation(std::string message, std::string url,
                                                                      std::string elicitationID,
                                                                      std::optional<Metadata> meta,
                                                                      std::optional<ID> relatedRequestID) {
    CreateElicitation::Parameters params = CreateElicitation::Parameters::URLParameters{
        .message = std::move(message),
        .mode = Elicitation::Mode::url,
        .url = std::move(url),
        .elicitationID = std::move(elicitationID),
        ._meta = std::move(meta),
    };
    co_return co_await requestFromClient<CreateElicitation>(ClientFeature::elicitation, std::move(params),
                                                            std::move(relatedRequestID));
}

asio::awaitable<std::vector<Root>> Server::listRoots(std::optional<ID> relatedRequestID) {
    auto result = co_await requestFromClient<ListRoots>(ClientFeature::roots, Empty{}, std::move(relatedRequestID));
    co_return std::move(result.roots);
}

asio::awaitable<void> Server::log(LogLevel level, std::optional<std::string> logger, Value data,
                                  std::optional<ID> relatedRequestID) {
    // Built apart from the co_await: g++ 12 destroys braced temporaries inside a co_await
    // expression twice.
    auto message = makeMessage<LogMessageNotification>({.level = level, .logger = std::move(logger), .data = std::move(data)});
    co_await notify(std::move(message), std::move(relatedRequestID));
}

void Server::abandonRequestOnCancellation(asio::cancellation_slot slot, ID id) {
    if (!slot.is_connected()) return;
    // The slot outlives the request when the caller's coroutine goes on, so it holds the
    // server weakly; once the caller has its answer the request is no longer pending and a
    // late cancellation finds nothing to remove.
    slot.assign([weak = weak_from_this(), id = std::move(id)](asio::cancellation_type) {
        const auto self = weak.lock();
        if (!self) return;
        asio::post(self->strand_, [self, id] {
            if (auto pending = self->removePendingRequest(id)) {
                pending->resume(std::make_exception_ptr(boost::system::system_error(asio::error::operation_aborted)));
            }
        });
    });
}

}  // namespace mcp
