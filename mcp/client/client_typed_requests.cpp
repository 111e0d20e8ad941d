// The client's typed requests: one function per method a client sends, with the strict
// mode's check of what the server declared, and the registrations for the server's requests.
//
// Each call is named before it is awaited: GCC 12 copies a temporary inside a co_await
// expression bytewise, which corrupts the strings it holds.

#include "mcp/client/client.hpp"

namespace mcp {

namespace asio = boost::asio;

void Client::checkServerCapability(ServerFeature feature) const {
    if (!configuration_.strict) return;
    if (!serverCapabilities_) throw MCPError::methodNotFound("Server capabilities not initialized");
    const auto& declared = *serverCapabilities_;
    bool present = false;
    std::string featureName;
    switch (feature) {
        case ServerFeature::prompts:
            present = declared.prompts.has_value();
            featureName = "Prompts";
            break;
        case ServerFeature::resources:
            present = declared.resources.has_value();
            featureName = "Resources";
            break;
        case ServerFeature::resourceSubscription:
            // The flag's presence declares subscriptions, whatever its value.
            present = declared.resources && declared.resources->subscribe.has_value();
            featureName = "Resource subscription";
            break;
        case ServerFeature::tools:
            present = declared.tools.has_value();
            featureName = "Tools";
            break;
        case ServerFeature::logging:
            present = declared.logging.has_value();
            featureName = "Logging";
            break;
        case ServerFeature::completions:
            present = declared.completions.has_value();
            featureName = "Completions";
            break;
    }
    if (!present) throw MCPError::methodNotFound(featureName + " is not supported by the server");
}

asio::awaitable<void> Client::checkOnStrand(ServerFeature feature) {
    auto checking = [self = shared_from_this(), feature]() -> asio::awaitable<void> {
        self->checkServerCapability(feature);
        co_return;
    };
    co_await onStrand(strand_, std::move(checking));
}

asio::awaitable<void> Client::ping() {
    auto requesting = request<Ping>(std::nullopt, Empty{});
    co_await std::move(requesting);
}

asio::awaitable<GetPrompt::Result> Client::getPrompt(std::string name, std::optional<ArgumentValues> arguments) {
    auto requesting = request<GetPrompt>(ServerFeature::prompts,
                                              {.name = std::move(name), .arguments = std::move(arguments)});
    auto result = co_await std::move(requesting);
    result._meta.reset();
    co_return result;
}

asio::awaitable<ListPrompts::Result> Client::listPrompts(std::optional<std::string> cursor) {
    auto requesting = request<ListPrompts>(ServerFeature::prompts, {.cursor = std::move(cursor)});
    auto result = co_await std::move(requesting);
    result._meta.reset();
    co_return result;
}

asio::awaitable<std::vector<Resource::Content>> Client::readResource(std::string uri) {
    auto requesting = request<ReadResource>(ServerFeature::resources, {.uri = std::move(uri)});
    auto result = co_await std::move(requesting);
    co_return std::move(result.contents);
}

asio::awaitable<ListResources::Result> Client::listResources(std::optional<std::string> cursor) {
    auto requesting = request<ListResources>(ServerFeature::resources, {.cursor = std::move(cursor)});
    auto result = co_await std::move(requesting);
    result._meta.reset();
    co_return result;
}

asio::awaitable<void> Client::subscribeToResource(std::string uri) {
    auto requesting = request<ResourceSubscribe>(ServerFeature::resourceSubscription, {.uri = std::move(uri)});
    co_await std::move(requesting);
}

asio::awaitable<ListResourceTemplates::Result> Client::listResourceTemplates(std::optional<std::string> cursor) {
    auto requesting = request<ListResourceTemplates>(ServerFeature::resources, {.cursor = std::move(cursor)});
    auto result = co_await std::move(requesting);
    result._meta.reset();
    co_return result;
}

asio::awaitable<ListTools::Result> Client::listTools(std::optional<std::string> cursor) {
    auto requesting = request<ListTools>(ServerFeature::tools, {.cursor = std::move(cursor)});
    auto result = co_await std::move(requesting);
    result._meta.reset();
    co_return result;
}

asio::awaitable<Client::ToolOutcome> Client::callTool(std::string name, std::optional<ValueObject> arguments,
                                                      std::optional<Metadata> meta) {
    auto requesting = request<CallTool>(
        ServerFeature::tools, {._meta = std::move(meta), .name = std::move(name), .arguments = std::move(arguments)});
    auto result = co_await std::move(requesting);
    co_return ToolOutcome{std::move(result.content), result.isError};
}

asio::awaitable<RequestContext<CallTool::Result>> Client::callToolContext(std::string name,
                                                                         std::optional<ValueObject> arguments,
                                                                         std::optional<Metadata> meta) {
    auto requesting = sendChecked<CallTool>(
        ServerFeature::tools, {._meta = std::move(meta), .name = std::move(name), .arguments = std::move(arguments)});
    co_return co_await std::move(requesting);
}

asio::awaitable<void> Client::setLoggingLevel(LogLevel level) {
    auto requesting = request<SetLoggingLevel>(ServerFeature::logging, {.level = level});
    co_await std::move(requesting);
}

asio::awaitable<Complete::Result::Completion> Client::completePrompt(std::string promptName, std::string argumentName,
                                                                     std::string argumentValue,
                                                                     std::optional<ArgumentValues> context) {
    auto requesting = complete(Prompt::Reference{.name = std::move(promptName)}, std::move(argumentName),
                                std::move(argumentValue), std::move(context));
    co_return co_await std::move(requesting);
}

asio::awaitable<Complete::Result::Completion> Client::completeResource(std::string resourceURI, std::string argumentName,
                                                                       std::string argumentValue,
                                                                       std::optional<ArgumentValues> context) {
    auto requesting = complete(ResourceReference{.uri = std::move(resourceURI)}, std::move(argumentName),
                                std::move(argumentValue), std::move(context));
    co_return co_await std::move(requesting);
}

asio::awaitable<Complete::Result::Completion> Client::complete(CompletionReference reference, std::string argumentName,
                                                               std::string argumentValue,
                                                               std::optional<ArgumentValues> context) {
    std::optional<Complete::Parameters::Context> sentContext;
    if (context) sentContext.emplace(Complete::Parameters::Context{.arguments = std::move(*context)});
    auto requesting = request<Complete>(
        ServerFeature::completions,
        {.ref = std::move(reference),
         .argument = {.name = std::move(argumentName), .value = std::move(argumentValue)},
         .context = std::move(sentContext)});
    auto result = co_await std::move(requesting);
    co_return std::move(result.completion);
}

asio::awaitable<void> Client::notifyRootsChanged() {
    auto notifying = notify(makeMessage<RootsListChangedNotification>());
    co_await std::move(notifying);
}

Client& Client::withRootsHandler(std::function<asio::awaitable<std::vector<Root>>()> handler) {
    return withMethodHandler<ListRoots>([handler = std::move(handler)](Empty) -> asio::awaitable<ListRoots::Result> {
        auto roots = co_await handler();
        co_return ListRoots::Result{.roots = std::move(roots)};
    });
}

}  // namespace mcp
