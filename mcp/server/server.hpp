#pragma once

// Server: the library's MCP server. One server serves one client over one `Transport`: it
// reads the transport's messages, answers "initialize" and "ping" itself, hands every other
// request to the handler registered for its method, runs the notification handlers, answers
// batches, and cancels requests on the client's word.
//
//     auto server = std::make_shared<mcp::Server>(executor, "probe", "1.0", std::nullopt, std::nullopt,
//                                                 mcp::Server::Capabilities{.tools = mcp::Server::Capabilities::Tools{}});
//     server->withMethodHandler<mcp::ListTools>(
//         [](mcp::ListTools::Parameters) -> boost::asio::awaitable<mcp::ListTools::Result> {
//             co_return mcp::ListTools::Result{.tools = {myTool}};
//         });
//     co_await server->start(transport);
//     ...
//     co_await server->stop();
//
// The server is an actor: its state is touched only on its strand. Its public coroutines run
// their bodies there, so they may be awaited from any executor. Handlers run on the strand
// too, each request in a task of its own, so a handler that awaits doesn't hold up the
// messages after it. Everything the server writes has its keys sorted. It logs through the
// logger of its transport, and through a silent one while it has none.
//
// A server must be owned by a `std::shared_ptr`: its loops keep it alive while they run.

#include "mcp/catalogue/elicitation.hpp"
#include "mcp/catalogue/logging_messages.hpp"
#include "mcp/catalogue/roots.hpp"
#include "mcp/catalogue/sampling_request.hpp"
#include "mcp/handlers/handler_box.hpp"
#include "mcp/json/codec.hpp"
#include "mcp/protocol/client_capabilities.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/implementation.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/method.hpp"
#include "mcp/protocol/pending_request.hpp"
#include "mcp/protocol/server_capabilities.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "mcp/server/fixed_result.hpp"
#include "mcp/transport/strand_hop.hpp"
#include "mcp/transport/transport.hpp"

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/associated_cancellation_slot.hpp>
#include <boost/asio/async_result.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/co_spawn.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace mcp {

class Server : public std::enable_shared_from_this<Server> {
public:
    using Info = ServerInfo;
    using Capabilities = ServerCapabilities;
    using Configuration = ServerConfiguration;
    using HandlerContext = mcp::HandlerContext;
    struct Batch;

    // Called with the client's identity and capabilities when "initialize" arrives, before
    // the server records them. What it throws is the client's answer, and the server stays
    // uninitialized.
    using InitializeHook =
        std::function<boost::asio::awaitable<void>(const ClientInfo& clientInfo, const ClientCapabilities& capabilities)>;

    // The client capabilities that the server's own requests depend on.
    enum class ClientFeature { sampling, elicitation, roots };

    // A server named `name` at `version`, serving on `strandOf(executor)`. It has no
    // transport and no handlers yet.
    Server(boost::asio::any_io_executor executor, std::string name, std::string version,
           std::optional<std::string> title = std::nullopt, std::optional<std::string> instructions = std::nullopt,
           Capabilities capabilities = {}, Configuration configuration = Configuration::defaultConfiguration());

    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Identity and settings. Read anywhere; `set...` only before `start` or on the strand.
    const Info& serverInfo() const noexcept { return serverInfo_; }
    const std::string& name() const noexcept { return serverInfo_.name; }
    const std::optional<std::string>& title() const noexcept { return serverInfo_.title; }
    const std::string& version() const noexcept { return serverInfo_.version; }
    const std::optional<std::string>& instructions() const noexcept { return instructions_; }
    const Capabilities& capabilities() const noexcept { return capabilities_; }
    void setCapabilities(Capabilities capabilities) { capabilities_ = std::move(capabilities); }
    const Configuration& configuration() const noexcept { return configuration_; }
    void setConfiguration(Configuration configuration) { configuration_ = configuration; }

    // Registers the handler of method `M`, replacing any earlier one of that name. The
    // handler takes `M::Parameters` (and optionally `const HandlerContext&`) and returns
    // `awaitable<M::Result>`; what it throws becomes the client's error answer (an
    // `MCPError` as it is, anything else as an internal error). "initialize" and "ping" are
    // the server's own: `start` registers its handlers over any given for them. Call before
    // `start` or on the strand. The server keeps the handler until it is replaced or the
    // server goes.
    template <Method M, class Handler>
    Server& withMethodHandler(Handler handler) {
        constexpr bool usesContext = std::is_invocable_v<Handler&, typename M::Parameters, const HandlerContext&>;
        methodHandlers_[std::string(M::name)] = std::make_shared<TypedRequestHandler<M>>(
            mcp::adaptRequestHandler<M>(std::move(handler)), usesContext);
        return *this;
    }

    // Answers every request for method `M` with `result`, as a handler that returns it would,
    // without encoding it again: the parameters are still read, and those that don't read are
    // refused as `withMethodHandler`'s are. Replaces any handler of that name. Call before
    // `start` or on the strand. Keeps a shared reference to `result`, which many servers may
    // share.
    template <Method M>
    Server& withFixedResult(std::shared_ptr<const FixedResult<M>> result) {
        methodHandlers_[std::string(M::name)] = std::make_shared<FixedResultHandler<M>>(std::move(result));
        return *this;
    }

    // Adds a handler of notification `N` after those already registered under its name;
    // all of them run, in registration order. The handler takes `Message<N>` and returns
    // `awaitable<void>`; what it throws is logged. Call before `start` or on the strand.
    template <Notification N, class Handler>
    Server& onNotification(Handler handler) {
        notificationHandlers_[std::string(N::name)].push_back(
            std::make_shared<TypedNotificationHandler<N>>(std::move(handler)));
        return *this;
    }

    // Connects `transport` and starts reading its messages; returns without waiting for
    // them. Registers the "initialize" handler (calling `initializeHook`, if given), the
    // "ping" handler and the handler of "notifications/cancelled". Throws what the
    // transport's `connect` throws (the server stays unstarted then), and `std::logic_error`
    // when the server is started already: a server serves one transport at a time, until
    // `stop`. Keeps the transport until `stop`.
    boost::asio::awaitable<void> start(std::shared_ptr<Transport> transport, InitializeHook initializeHook = {});

    // Stops reading, fails every request the server still awaits from the client with
    // "Server disconnected", disconnects the transport and lets it go. Requests being
    // handled keep running; their answers can no longer be sent. The server may be started
    // again afterwards. Never throws.
    boost::asio::awaitable<void> stop();

    // Returns once the server has stopped reading messages (the transport's stream ended or
    // `stop` was called); at once when it isn't started.
    boost::asio::awaitable<void> waitUntilCompleted();

    // Writes a response to the client. Throws `MCPError` internalError "Server connection
    // not initialized" without a transport, and what the transport's `send` throws.
    template <Method M>
    boost::asio::awaitable<void> send(Response<M> response) {
        Value message = mcp::encode(response);
        co_await sendOnStrand(std::move(message), std::nullopt);
    }

    // Writes a notification to the client; throws as `send` does.
    //
    // `relatedRequestID`, here, in `sendRequest` and in the ways below of asking and telling
    // the client: the id of the client's request being served when the message goes out
    // (`HandlerContext::id`), for a progress report, a log line or a question that a handler
    // sends on its way. The transport may then carry the message beside that request's
    // answer, which over HTTP is what reaches a client that listens for nothing else.
    template <Notification N>
    boost::asio::awaitable<void> notify(Message<N> message, std::optional<ID> relatedRequestID = std::nullopt) {
        Value encoded = mcp::encode(message);
        co_await sendOnStrand(std::move(encoded), std::move(relatedRequestID));
    }

    // Sends a request to the client and waits for its answer, without a time limit: until
    // the client answers, the sending fails, `stop` is called ("Server disconnected") or the
    // awaiting coroutine is cancelled (terminal cancellation). Throws as `send` does, the
    // client's error answer, `TypeMismatchError` when the answer's result doesn't read as
    // `M::Result`, and `boost::system::system_error` operation_aborted when cancelled; the
    // request is no longer pending then, and a late answer to it is dropped.
    template <Method M>
    boost::asio::awaitable<typename M::Result> sendRequest(Request<M> request,
                                                          std::optional<ID> relatedRequestID = std::nullopt) {
        auto initiation = [self = shared_from_this(), id = request.id, message = mcp::encode(request),
                           relatedRequestID = std::move(relatedRequestID)](auto continuation) mutable {
            boost::asio::cancellation_slot slot = boost::asio::get_associated_cancellation_slot(continuation);
            self->startRequest(id, std::move(message),
                               AnyPendingRequest(PendingRequest<typename M::Result>{std::move(continuation)}),
                               std::move(relatedRequestID));
            // After `startRequest`, so that the request is pending before a cancellation can
            // look for it: both go through the strand in order.
            self->abandonRequestOnCancellation(slot, std::move(id));
        };
        auto result = co_await boost::asio::async_initiate<decltype(boost::asio::use_awaitable),
                                                           void(std::exception_ptr, typename M::Result)>(
            std::move(initiation), boost::asio::use_awaitable);
        co_return result;
    }

    // Tells the client it no longer wants the answer to its request `id` (the request stays
    // pending until it is answered or the server stops). Throws as `notify` does.
    boost::asio::awaitable<void> cancelRequest(ID id, std::optional<std::string> reason = std::nullopt);

    // Asking and telling the client (server_client_requests.cpp). Each request first throws
    // `MCPError` internalError "Server connection not initialized" without a transport, then,
    // in strict mode, what `checkClientCapability` throws, both before anything is sent; then
    // it goes out with a new random UUID string id and waits as `sendRequest` does. May be
    // called from any executor.

    // "sampling/createMessage": asks the client's model to continue `messages`. Offers the
    // model no tools.
    boost::asio::awaitable<CreateSamplingMessage::Result> requestSampling(
        std::vector<Sampling::Message> messages, std::optional<Sampling::ModelPreferences> modelPreferences,
        std::optional<std::string> systemPrompt, std::optional<Sampling::ContextInclusion> includeContext,
        std::optional<double> temperature, std::int64_t maxTokens,
        std::optional<std::vector<std::string>> stopSequences = std::nullopt,
        std::optional<Metadata> meta = std::nullopt, std::optional<ID> relatedRequestID = std::nullopt);

    // "elicitation/create" in form mode: asks the user for the fields of `requestedSchema`.
    // "mode" is sent only when `mode` is given.
    boost::asio::awaitable<CreateElicitation::Result> requestElicitation(
        std::string message, Elicitation::RequestSchema requestedSchema,
        std::optional<Elicitation::Mode> mode = std::nullopt, std::optional<Metadata> meta = std::nullopt,
        std::optional<ID> relatedRequestID = std::nullopt);

    // "elicitation/create" in URL mode: sends the user to `url`.
    boost::asio::awaitable<CreateElicitation::Result> requestElicitation(std::string message, std::string url,
                                                                         std::string elicitationID,
                                                                         std::optional<Metadata> meta = std::nullopt,
                                                                         std::optional<ID> relatedRequestID = std::nullopt);

    // "roots/list": the client's roots (the result's "_meta" is dropped).
    boost::asio::awaitable<std::vector<Root>> listRoots(std::optional<ID> relatedRequestID = std::nullopt);

    // Sends one "notifications/message", whatever the level the client asked for and
    // whatever it declared. Throws as `notify` does.
    boost::asio::awaitable<void> log(LogLevel level, std::optional<std::string> logger, Value data,
                                     std::optional<ID> relatedRequestID = std::nullopt);

    // The same with any codable `data`, sent as its JSON form; what encoding it throws is
    // thrown before anything is sent.
    template <Codable T>
    boost::asio::awaitable<void> log(LogLevel level, std::optional<std::string> logger, T data,
                                     std::optional<ID> relatedRequestID = std::nullopt) {
        Value value = mcp::encode(data);
        co_await log(level, std::move(logger), std::move(value), std::move(relatedRequestID));
    }

    // In strict mode, throws `MCPError` methodNotFound unless the client declared `feature`
    // in its initialize request ("Client capabilities not initialized" before it,
    // "Sampling is not supported by the client" and the like after it). On the strand.
    void checkClientCapability(ClientFeature feature) const;

    // Takes the waiter of the server's own request `id` out of the pending requests, if it
    // is there. On the strand.
    std::optional<AnyPendingRequest> removePendingRequest(const ID& id);

    // State, for the strand (handlers, hooks) or while the server is idle.
    bool isInitialized() const noexcept { return isInitialized_; }
    const std::optional<ClientInfo>& clientInfo() const noexcept { return clientInfo_; }
    const std::optional<ClientCapabilities>& clientCapabilities() const noexcept { return clientCapabilities_; }
    // The protocol version agreed with the client.
    const std::optional<std::string>& protocolVersion() const noexcept { return protocolVersion_; }
    const std::shared_ptr<Transport>& connection() const noexcept { return connection_; }
    // True from `start` until `stop`, also after the messages ended.
    bool isStarted() const noexcept { return loop_ != nullptr; }
    bool hasMethodHandler(std::string_view method) const { return methodHandlers_.contains(std::string(method)); }
    std::size_t notificationHandlerCount(std::string_view method) const;
    // Incoming requests whose handlers are under way.
    std::size_t requestsInProgress() const noexcept { return pendingRequestTasks_.size(); }
    // Requests sent to the client and not yet answered.
    std::size_t requestsAwaitingClient() const noexcept { return pendingRequests_.size(); }

private:
    // The handler task of one incoming request, kept by request id so that the client can
    // cancel it. The flag covers a cancellation that comes before the task has begun.
    struct RequestTask {
        std::uint64_t token = 0;
        bool cancelled = false;
        boost::asio::cancellation_signal signal;
    };

    // The receive loop of one `start`, and the callers waiting for it to end.
    struct ReceiveLoop {
        bool cancelled = false;
        bool finished = false;
        // True only while the loop waits for the next message: the one time it may be
        // cancelled. Anything it started on a message (an answer being sent above all) runs to
        // its end, and the loop leaves after it.
        bool awaitingMessage = false;
        boost::asio::cancellation_signal signal;
        std::vector<boost::asio::any_completion_handler<void()>> waiters;
    };

    using ResponseOrNone = std::optional<Response<AnyMethod>>;

    // Lifecycle and writing (server.cpp).
    boost::asio::awaitable<void> startOnStrand(std::shared_ptr<Transport> transport, InitializeHook initializeHook);
    boost::asio::awaitable<void> stopOnStrand();
    boost::asio::awaitable<void> waitOnStrand();
    // answering: the id of the request that message answers, when it is a response to one;
    // relatedRequestID: for a request or notification, the client's request being served.
    boost::asio::awaitable<void> sendOnStrand(Value message, std::optional<ID> relatedRequestID);
    boost::asio::awaitable<void> sendMessage(Value message, std::optional<ID> answering = std::nullopt,
                                             std::optional<ID> relatedRequestID = std::nullopt);
    boost::asio::awaitable<void> sendBytes(std::string bytes, std::optional<ID> answering,
                                           std::optional<ID> relatedRequestID = std::nullopt);
    void startRequest(ID id, Value message, AnyPendingRequest pending, std::optional<ID> relatedRequestID);
    void abandonRequestOnCancellation(boost::asio::cancellation_slot slot, ID id);
    template <Method M>
    boost::asio::awaitable<typename M::Result> requestFromClient(ClientFeature feature, typename M::Parameters params,
                                                                 std::optional<ID> relatedRequestID);
    boost::asio::awaitable<void> sendRequestOnStrand(ID id, Value message, AnyPendingRequest pending,
                                                     std::optional<ID> relatedRequestID);
    // logger: the transport's logger; while there is none, one that discards everything.
    const logging::Logger& logger() const noexcept;

    // The receive loop and dispatch (server_dispatch.cpp).
    boost::asio::awaitable<void> receive(std::shared_ptr<Transport> transport, std::shared_ptr<ReceiveLoop> loop);
    boost::asio::awaitable<void> handleBuffer(IncomingMessage incoming);
    void serveRequest(Request<AnyMethod> request);
    boost::asio::awaitable<ResponseOrNone> handleRequest(Request<AnyMethod> request, bool sendResponse,
                                                         std::shared_ptr<RequestTask> task);
    boost::asio::awaitable<ResponseOrNone> runHandler(std::shared_ptr<RequestHandlerBox> box,
                                                      Request<AnyMethod> request, HandlerContext context,
                                                      std::shared_ptr<RequestTask> task);
    boost::asio::awaitable<ResponseOrNone> deliver(Response<AnyMethod> response, bool sendResponse);
    boost::asio::awaitable<void> deliverEncoded(ID id, const std::string& result);
    boost::asio::awaitable<void> answerWithFailure(std::optional<ID> id, std::exception_ptr failure);
    boost::asio::awaitable<void> handleMessage(Message<AnyNotification> message);
    void handleResponse(Response<AnyMethod> response);
    std::shared_ptr<RequestTask> registerRequestTask(const ID& id);
    void removeRequestTask(const ID& id, const std::shared_ptr<RequestTask>& task);
    std::shared_ptr<RequestTask> removePendingRequestTask(const ID& id);

    // Batches (server_batch.cpp).
    boost::asio::awaitable<void> handleBatch(Batch batch);

    // The built-in handlers (server_handshake.cpp).
    void registerDefaultHandlers(InitializeHook initializeHook);
    void registerCancellationHandler();
    boost::asio::awaitable<Initialize::Result> initialize(Initialize::Parameters params, const InitializeHook& hook);
    void setInitialState(ClientInfo clientInfo, ClientCapabilities clientCapabilities, std::string protocolVersion);
    void cancelIncomingRequest(const Message<CancelledNotification>& message);

    boost::asio::strand<boost::asio::any_io_executor> strand_;
    Info serverInfo_;
    std::optional<std::string> instructions_;
    Capabilities capabilities_;
    Configuration configuration_;

    std::shared_ptr<Transport> connection_;
    // silentLogger_: what logger() gives while there is no transport, so no log line needs a
    // null check.
    logging::Logger silentLogger_ = givenOrSilentLogger(std::nullopt, "mcp.server");
    std::unordered_map<std::string, std::shared_ptr<RequestHandlerBox>> methodHandlers_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<NotificationHandlerBox>>> notificationHandlers_;
    std::unordered_map<ID, std::shared_ptr<RequestTask>> pendingRequestTasks_;
    std::unordered_map<ID, AnyPendingRequest> pendingRequests_;
    std::uint64_t nextRequestTaskToken_ = 0;

    bool isInitialized_ = false;
    // Set while an "initialize" awaits its hook, so that a second one is refused meanwhile.
    bool isInitializing_ = false;
    std::optional<ClientInfo> clientInfo_;
    std::optional<ClientCapabilities> clientCapabilities_;
    std::optional<std::string> protocolVersion_;

    // Set from the moment `start` begins until `stop`, so that two starts can't overlap.
    bool hasStarted_ = false;
    bool cancellationHandlerRegistered_ = false;
    std::shared_ptr<ReceiveLoop> loop_;
};

}  // namespace mcp
