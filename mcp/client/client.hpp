#pragma once

// Client: the library's MCP client. It connects to a server over any `Transport`, performs the
// initialize handshake, sends requests and notifications, matches every response to the
// request that waits for it, and answers the server's own requests through the handlers the
// program registers.
//
//     auto client = std::make_shared<mcp::Client>(executor, mcp::Client::Options{.name = "probe", .version = "1.0"});
//     mcp::Initialize::Result server = co_await client->connect(transport);
//     auto request = mcp::makeRequest<mcp::ListTools>(mcp::ID::random(), {});
//     auto tools = co_await client->send(std::move(request));
//     mcp::ListTools::Result list = co_await tools.value();
//     co_await client->disconnect();
//
// The request is named before it is awaited: GCC 12 copies a temporary inside a co_await
// expression bytewise, which corrupts the strings it holds.
//
// The client is an actor: its state is touched only on its strand. Its public coroutines run
// their bodies there, so they may be awaited from any executor. It logs through the logger of
// the transport it holds, and through a silent one while it holds none.
//
// No request waits forever: each is registered before its bytes go out, and every request
// still pending fails when the client disconnects ("Client disconnected") or when the
// connection's stream ends ("Client connection lost"). There is no time-out of its own; a
// caller bounds a wait by racing it, `co_await (client->callTool(...) || timer.async_wait(...))`,
// and the loser's request is cancelled with the server.
//
// A client must be owned by a `std::shared_ptr`: its message loop keeps it alive while it runs.

#include "mcp/async/cancellation_error.hpp"
#include "mcp/async/shared_result.hpp"
#include "mcp/catalogue/completion.hpp"
#include "mcp/catalogue/elicitation.hpp"
#include "mcp/catalogue/logging_messages.hpp"
#include "mcp/catalogue/prompt_methods.hpp"
#include "mcp/catalogue/resource_methods.hpp"
#include "mcp/catalogue/roots.hpp"
#include "mcp/catalogue/sampling_request.hpp"
#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/handlers/handler_box.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/client_capabilities.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "mcp/protocol/icon.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/implementation.hpp"
#include "mcp/protocol/initialize.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/protocol/method.hpp"
#include "mcp/protocol/pending_request.hpp"
#include "mcp/protocol/request_context.hpp"
#include "mcp/protocol/server_capabilities.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "mcp/transport/strand_hop.hpp"
#include "mcp/transport/transport.hpp"

#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/awaitable.hpp>
#include <boost/asio/cancellation_signal.hpp>
#include <boost/asio/cancellation_state.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace mcp {

class Client : public std::enable_shared_from_this<Client> {
public:
    using Info = ClientInfo;
    using Capabilities = ClientCapabilities;
    using Configuration = ClientConfiguration;
    class Batch;

    // What the server must have declared for a typed request to be sent in strict mode.
    enum class ServerFeature { prompts, resources, resourceSubscription, tools, logging, completions };

    // What `callTool` hands back of a tool's result.
    struct ToolOutcome {
        std::vector<Tool::Content> content;
        std::optional<bool> isError;

        friend bool operator==(const ToolOutcome&, const ToolOutcome&) = default;
    };

    // What the constructor takes, by name, for designated initializers; what is left out has
    // the positional constructor's default:
    //     std::make_shared<mcp::Client>(executor, mcp::Client::Options{.name = "probe", .version = "1.0"})
    struct Options {
        std::string name;
        std::string version;
        std::optional<std::string> title;
        std::optional<std::string> description;
        std::optional<std::string> websiteURL;
        std::optional<std::vector<Icon>> icons;
        Capabilities capabilities;
        Configuration configuration = Configuration::defaultConfiguration();
    };

    // A client named `name` at `version`, working on `executor` when that is a strand (so a
    // transport given the same strand shares it), else on a strand of it. It has no
    // connection and no handlers yet.
    Client(boost::asio::any_io_executor executor, std::string name, std::string version,
           std::optional<std::string> title = std::nullopt, std::optional<std::string> description = std::nullopt,
           std::optional<std::string> websiteURL = std::nullopt, std::optional<std::vector<Icon>> icons = std::nullopt,
           Capabilities capabilities = {}, Configuration configuration = Configuration::defaultConfiguration());
    Client(boost::asio::any_io_executor executor, Options options);

    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Identity and settings. Read anywhere; `set...` before `connect` or on the strand. New
    // capabilities reach the server with the next handshake; a new configuration applies to
    // the next typed request.
    const Info& clientInfo() const noexcept { return clientInfo_; }
    const std::string& name() const noexcept { return clientInfo_.name; }
    const std::optional<std::string>& title() const noexcept { return clientInfo_.title; }
    const std::string& version() const noexcept { return clientInfo_.version; }
    const Capabilities& capabilities() const noexcept { return capabilities_; }
    void setCapabilities(Capabilities capabilities) { capabilities_ = std::move(capabilities); }
    const Configuration& configuration() const noexcept { return configuration_; }
    void setConfiguration(Configuration configuration) { configuration_ = configuration; }

    // Connects `transport`, starts reading its messages and performs the handshake: sends
    // "initialize" with the latest protocol revision, the capabilities and the client's
    // info, records the server's answer and sends "notifications/initialized". Returns the
    // server's answer. A connection held before is disconnected first (its pending requests
    // fail with "Client disconnected"). Throws what the transport's `connect` throws and what
    // the handshake throws (an answer with a protocol version not in `Version::supported()`:
    // `MCPError` internalError); either way the transport is disconnected and let go before
    // the error is thrown, so the caller has nothing to clean up. Keeps the transport until
    // `disconnect`.
    boost::asio::awaitable<Initialize::Result> connect(std::shared_ptr<Transport> transport);

    // Performs the handshake again on the current connection; throws as `connect` does.
    boost::asio::awaitable<Initialize::Result> initialize();

    // Fails every pending request with `MCPError` internalError "Client disconnected", stops
    // reading, disconnects the transport and lets it go. Handlers and the server's recorded
    // capabilities stay. Does nothing without a connection; never throws.
    boost::asio::awaitable<void> disconnect();

    // Adds a handler of notification `N` after those registered under its name; all of them
    // run, in registration order. The handler takes `Message<N>` and returns
    // `awaitable<void>`; what it throws is logged. Call before `connect` or on the strand.
    template <Notification N, class Handler>
    Client& onNotification(Handler handler) {
        notificationHandlers_[std::string(N::name)].push_back(
            std::make_shared<TypedNotificationHandler<N>>(std::move(handler)));
        return *this;
    }

    // Registers the handler of the server's requests of method `M`, replacing any earlier
    // one of that name. The handler takes `M::Parameters` (and optionally
    // `const HandlerContext&`) and returns `awaitable<M::Result>`; what it throws becomes the
    // error answer (an `MCPError` as it is, anything else as an internal error). Each request
    // is served in a task of its own, which the server's "notifications/cancelled" cancels:
    // a cancelled request gets no answer. Call before `connect` or on the strand.
    template <Method M, class Handler>
    Client& withMethodHandler(Handler handler) {
        methodHandlers_[std::string(M::name)] =
            std::make_shared<TypedRequestHandler<M>>(mcp::adaptRequestHandler<M>(std::move(handler)));
        return *this;
    }

    // Sends `request` and returns its context at once; `context.value()` waits for the
    // server's answer. The request is registered before its bytes go out. Throws `MCPError`
    // internalError "Client connection not initialized" without a connection, "Client
    // connection lost" once the connection's stream has ended, and "Request ID <id> is
    // already pending" for an id in use; nothing is sent then. A failed transport send, an
    // error answer, a cancellation (`CancellationError`), a disconnect and a result that
    // doesn't read as `M::Result` (`TypeMismatchError`) end the request with that error.
    // Cancelling a coroutine that awaits the context's value (as `||` does) gives the request
    // up as `cancelRequest` does: the wait ends with `CancellationError`, and the server is
    // told once, unless the request was settled before.
    template <Method M>
    boost::asio::awaitable<RequestContext<typename M::Result>> send(Request<M> request) {
        using Result = typename M::Result;
        auto outcome = SharedResult<Result>::make();
        AnyPendingRequest pending = settling(outcome);
        ID id = request.id;
        Value message = mcp::encode(request);
        auto sending = sendRequest(id, std::move(request.method), std::move(message), std::move(pending));
        co_await std::move(sending);
        auto context = contextOf(std::move(id), std::move(outcome));
        // A caller cancelled while its request went out can't begin to wait: Asio fails its
        // next co_await at once. So it gives the request up here, as a cancelled wait would.
        const boost::asio::cancellation_state caller = co_await boost::asio::this_coro::cancellation_state;
        if (caller.cancelled() != boost::asio::cancellation_type::none) context.abandon();
        co_return context;
    }

    // Sends `message` to the server. Throws "Client connection not initialized" without a
    // connection, and what the transport's `send` throws.
    template <Notification N>
    boost::asio::awaitable<void> notify(Message<N> message) {
        Value encoded = mcp::encode(message);
        auto sending = sendNotification(std::move(encoded), std::move(message.method));
        co_await std::move(sending);
    }

    // Fails the pending request `id` with `CancellationError` (when it is still pending),
    // then tells the server with "notifications/cancelled" {"requestId", "reason"?}, whether
    // or not the request was pending. Throws as `notify` does, after failing the request.
    boost::asio::awaitable<void> cancelRequest(ID id, std::optional<std::string> reason = std::nullopt);

    // Sends the requests that `body` adds to the batch as one JSON array, in one transport
    // send, and returns without waiting for the answers; each request's context ends with
    // its own answer. A batch to which nothing was added sends nothing. Throws "Client
    // connection not initialized" without a connection (`body` is not called), what `body`
    // throws and what the sending throws; the requests of a batch that was not sent fail
    // with that same error. The batch must not be used after `body` returns.
    boost::asio::awaitable<void> withBatch(std::function<boost::asio::awaitable<void>(Batch&)> body);

    // Typed requests. Each sends its request under a fresh random id and waits for the answer;
    // throws what `send` and the answer throw. In strict mode a request the server did not
    // declare fails first with `MCPError` methodNotFound ("Tools is not supported by the
    // server"; "Server capabilities not initialized" before the handshake), sending nothing.
    // The `_meta` of each result is dropped.

    // Sends "ping" and waits for the answer. Never checked.
    boost::asio::awaitable<void> ping();
    boost::asio::awaitable<GetPrompt::Result> getPrompt(std::string name,
                                                        std::optional<ArgumentValues> arguments = std::nullopt);
    boost::asio::awaitable<ListPrompts::Result> listPrompts(std::optional<std::string> cursor = std::nullopt);
    boost::asio::awaitable<std::vector<Resource::Content>> readResource(std::string uri);
    boost::asio::awaitable<ListResources::Result> listResources(std::optional<std::string> cursor = std::nullopt);
    // Checked for resources with a "subscribe" flag of either value.
    boost::asio::awaitable<void> subscribeToResource(std::string uri);
    boost::asio::awaitable<ListResourceTemplates::Result> listResourceTemplates(
        std::optional<std::string> cursor = std::nullopt);
    boost::asio::awaitable<ListTools::Result> listTools(std::optional<std::string> cursor = std::nullopt);
    // Runs a tool; the structured content is dropped (`callToolContext` keeps it).
    boost::asio::awaitable<ToolOutcome> callTool(std::string name, std::optional<ValueObject> arguments = std::nullopt,
                                                 std::optional<Metadata> meta = std::nullopt);
    // Sends "tools/call" and returns its context without waiting: its value is the whole
    // result.
    boost::asio::awaitable<RequestContext<CallTool::Result>> callToolContext(
        std::string name, std::optional<ValueObject> arguments = std::nullopt, std::optional<Metadata> meta = std::nullopt);
    boost::asio::awaitable<void> setLoggingLevel(LogLevel level);
    // Completes an argument of a prompt; without `context` no "context" member is sent.
    boost::asio::awaitable<Complete::Result::Completion> completePrompt(
        std::string promptName, std::string argumentName, std::string argumentValue,
        std::optional<ArgumentValues> context = std::nullopt);
    // Completes an argument of a resource template.
    boost::asio::awaitable<Complete::Result::Completion> completeResource(
        std::string resourceURI, std::string argumentName, std::string argumentValue,
        std::optional<ArgumentValues> context = std::nullopt);
    // Sends "notifications/roots/list_changed". Never checked.
    boost::asio::awaitable<void> notifyRootsChanged();

    // The server's requests to the client. Each registration replaces any handler of that
    // method, also one given to `withMethodHandler`, and does not declare the capability:
    // that is the client's `capabilities`. Call before `connect` or on the strand.
    template <class Handler>
    Client& withSamplingHandler(Handler handler) {
        return withMethodHandler<CreateSamplingMessage>(std::move(handler));
    }
    template <class Handler>
    Client& withElicitationHandler(Handler handler) {
        return withMethodHandler<CreateElicitation>(std::move(handler));
    }
    // The handler takes nothing and returns `awaitable<std::vector<Root>>`.
    Client& withRootsHandler(std::function<boost::asio::awaitable<std::vector<Root>>()> handler);

    // State, for the strand or while the client is idle.
    // The capabilities the server declared in the last handshake; absent before one.
    const std::optional<ServerCapabilities>& serverCapabilities() const noexcept { return serverCapabilities_; }
    // The protocol revision the server answered with in the last handshake.
    const std::optional<std::string>& serverVersion() const noexcept { return serverVersion_; }
    const std::optional<std::string>& instructions() const noexcept { return instructions_; }
    const std::shared_ptr<Transport>& connection() const noexcept { return connection_; }
    // Requests sent and not yet settled.
    std::size_t pendingRequestCount() const noexcept { return pendingRequests_.size(); }
    // Requests of the server whose handlers are under way.
    std::size_t serverRequestsInProgress() const noexcept { return serverRequestTasks_.size(); }

    // In strict mode, throws `MCPError` methodNotFound unless the server declared
    // `feature` in the last handshake. On the strand.
    void checkServerCapability(ServerFeature feature) const;

private:
    // The pending entry of a request whose outcome `outcome` holds.
    template <class Result>
    static AnyPendingRequest settling(std::shared_ptr<SharedResult<Result>> outcome) {
        return AnyPendingRequest(PendingRequest<Result>{[outcome](std::exception_ptr error, Result result) {
            if (error) {
                outcome->fail(error);
            } else {
                outcome->succeed(std::move(result));
            }
        }});
    }

    // The context of request `id` whose outcome `outcome` holds; a cancelled waiter of its
    // value gives the request up.
    template <class Result>
    RequestContext<Result> contextOf(ID id, std::shared_ptr<SharedResult<Result>> outcome) {
        auto abandon = [weak = weak_from_this(), id, outcome] {
            // The waiter is released at once; the entry and the notice follow on the strand.
            if (!outcome->fail(std::make_exception_ptr(CancellationError()))) return;
            if (const auto self = weak.lock()) self->abandonRequest(id);
        };
        return RequestContext<Result>{std::move(id), std::move(outcome), std::move(abandon)};
    }

    // The handler task of one request from the server, kept by request id so that the
    // server's cancellation can reach it. The flag covers a cancellation that comes before
    // the task has begun.
    struct ServerRequestTask {
        bool cancelled = false;
        boost::asio::cancellation_signal signal;
    };

    // The message loop of one connection.
    struct MessageLoop {
        bool cancelled = false;
        boost::asio::cancellation_signal signal;
        std::shared_ptr<SharedResult<std::monostate>> finished = SharedResult<std::monostate>::make();
    };

    // Lifecycle and handshake (client.cpp).
    boost::asio::awaitable<Initialize::Result> connectOnStrand(std::shared_ptr<Transport> transport);
    boost::asio::awaitable<Initialize::Result> performInitialization();
    boost::asio::awaitable<void> disconnectOnStrand();
    void startMessageLoop(std::shared_ptr<Transport> transport);
    void registerCancellationHandler();
    // The transport's logger; while there is none, one that discards everything.
    const logging::Logger& logger() const noexcept;

    // Typed requests (client_typed_requests.cpp).
    template <Method M>
    boost::asio::awaitable<RequestContext<typename M::Result>> sendChecked(std::optional<ServerFeature> feature,
                                                                          typename M::Parameters params) {
        if (feature) {
            auto checking = checkOnStrand(*feature);
            co_await std::move(checking);
        }
        auto sending = send(makeRequest<M>(ID::random(), std::move(params)));
        co_return co_await std::move(sending);
    }

    template <Method M>
    boost::asio::awaitable<typename M::Result> request(std::optional<ServerFeature> feature,
                                                       typename M::Parameters params) {
        auto sending = sendChecked<M>(feature, std::move(params));
        auto context = co_await std::move(sending);
        // As `context.value()`, but the context is let go here: its `abandon` is moved into
        // the wait instead of copied with the id it holds.
        auto waiting = context.requestTask->value(std::move(context.abandon));
        co_return co_await std::move(waiting);
    }

    boost::asio::awaitable<void> checkOnStrand(ServerFeature feature);
    boost::asio::awaitable<Complete::Result::Completion> complete(CompletionReference reference, std::string argumentName,
                                                                  std::string argumentValue,
                                                                  std::optional<ArgumentValues> context);

    // Cancellation and batches (client_batch.cpp).
    boost::asio::awaitable<void> cancelRequestOnStrand(ID id, std::optional<std::string> reason);
    // From any thread: the request `id`, given up by its waiter, leaves the pending table and
    // the server is told, unless an answer or a cancellation took the entry first.
    void abandonRequest(ID id);
    boost::asio::awaitable<void> abandonRequestOnStrand(ID id);
    boost::asio::awaitable<void> withBatchOnStrand(std::function<boost::asio::awaitable<void>(Batch&)> body);
    void registerPendingRequest(const ID& id, AnyPendingRequest pending);

    // Writing (client_requests.cpp).
    // Each message is handed to the transport with what it needs to know of it (ids, method),
    // so that no transport reads back what the client has just written.
    boost::asio::awaitable<void> sendRequest(ID id, std::string method, Value message, AnyPendingRequest pending);
    boost::asio::awaitable<void> sendRequestOnStrand(ID id, std::string method, Value message,
                                                     AnyPendingRequest pending);
    boost::asio::awaitable<void> transmitRequest(std::shared_ptr<Transport> transport, ID id, OutgoingMessage message);
    boost::asio::awaitable<void> sendNotification(Value message, std::string method);
    boost::asio::awaitable<void> sendNotificationOnStrand(Value message, std::string method);
    std::optional<AnyPendingRequest> removePendingRequest(const ID& id);
    void failPendingRequests(const MCPError& error);

    // The message loop and incoming messages (client_incoming.cpp).
    boost::asio::awaitable<void> receive(std::shared_ptr<Transport> transport, std::shared_ptr<MessageLoop> loop);
    boost::asio::awaitable<void> handleIncoming(IncomingMessage incoming);
    void handleResponse(Response<AnyMethod> response);
    void handleBatchResponse(std::vector<Response<AnyMethod>> responses);
    boost::asio::awaitable<void> handleMessage(Message<AnyNotification> message);
    void handleIncomingRequest(Request<AnyMethod> request);
    boost::asio::awaitable<void> serveRequest(Request<AnyMethod> request, std::shared_ptr<ServerRequestTask> task);
    boost::asio::awaitable<void> sendResponse(const Response<AnyMethod>& response);
    void cancelServerRequest(const Message<CancelledNotification>& message);

    Strand strand_;
    Info clientInfo_;
    Capabilities capabilities_;
    Configuration configuration_;

    std::shared_ptr<Transport> connection_;
    // What logger() gives while there is no transport, so no log line needs a null check.
    logging::Logger silentLogger_ = givenOrSilentLogger(std::nullopt, "mcp.client");
    std::optional<ServerCapabilities> serverCapabilities_;
    std::optional<std::string> serverVersion_;
    std::optional<std::string> instructions_;
    std::unordered_map<std::string, std::vector<std::shared_ptr<NotificationHandlerBox>>> notificationHandlers_;
    std::unordered_map<std::string, std::shared_ptr<RequestHandlerBox>> methodHandlers_;
    std::shared_ptr<MessageLoop> loop_;
    std::unordered_map<ID, AnyPendingRequest> pendingRequests_;
    std::unordered_map<ID, std::shared_ptr<ServerRequestTask>> serverRequestTasks_;
    // Set when the current connection's stream has ended: nothing would read an answer.
    bool connectionLost_ = false;
    bool cancellationHandlerRegistered_ = false;
};

}  // namespace mcp
