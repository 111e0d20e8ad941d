#include "app/host/serve_request.hpp"

#include "app/host/bearer_token_validator.hpp"
#include "app/host/detail/utf8.hpp"
#include "app/host/host_headers.hpp"
#include "app/host/server_identity.hpp"
#include "app/host/setting_keys.hpp"
#include "app/common/tidy.hpp"
#include "app/tools/tool_catalogue.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/http/accept_header_validator.hpp"
#include "mcp/http/content_type_validator.hpp"
#include "mcp/http/http_header_name.hpp"
#include "mcp/http/origin_validator.hpp"
#include "mcp/http/protocol_version_validator.hpp"
#include "mcp/http/stateless_http_server_transport.hpp"
#include "mcp/server/server.hpp"

#include "platform/on_main.hpp"

#include <boost/asio/this_coro.hpp>
#include <boost/url/pct_string_view.hpp>

#include <exception>
#include <functional>
#include <memory>
#include <utility>

namespace app {

namespace {

namespace asio = boost::asio;

// The checks after the access token, the same for every request.
const mcp::StandardValidationPipeline::Validators& sharedValidators() {
    static const mcp::StandardValidationPipeline::Validators validators{
        std::make_shared<mcp::OriginValidator>(mcp::OriginValidator::localhost()),
        std::make_shared<mcp::AcceptHeaderValidator>(mcp::AcceptHeaderValidator::Mode::jsonOnly),
        std::make_shared<mcp::ContentTypeValidator>(),
        std::make_shared<mcp::ProtocolVersionValidator>(),
    };
    return validators;
}

std::shared_ptr<const mcp::HTTPRequestValidationPipeline> validationPipeline(std::string token) {
    mcp::StandardValidationPipeline::Validators validators{std::make_shared<BearerTokenValidator>(std::move(token))};
    const auto& shared = sharedValidators();
    validators.insert(validators.end(), shared.begin(), shared.end());
    return std::make_shared<mcp::StandardValidationPipeline>(std::move(validators));
}

// Records a recognised client on the main thread, and waits for it. The client counts as
// recognised even when the settings can't be written: only the panel's first-run hint reads
// that setting.
asio::awaitable<void> recognize(std::string client, const ServingContext& context) {
    std::function<platform::Task<void>()> work = [&context, client = std::move(client)]() -> platform::Task<void> {
        context.status.lastClient().set(client);
        try {
            // Most requests come from clients seen before: leave the settings file alone then.
            if (context.settings.getBool(setting::kHasConnectedClient) != true) {
                context.settings.setBool(setting::kHasConnectedClient, true);
            }
        } catch (const std::exception&) {
        }
        co_return;
    };
    co_await platform::onMain<void>(context.main, std::move(work));
}

asio::awaitable<mcp::CallTool::Result> callTool(mcp::CallTool::Parameters parameters,
                                                std::optional<std::string> client, const ServingContext& context) {
    std::function<platform::Task<std::vector<mcp::Tool::Content>>()> work =
        [&tools = context.tools, name = std::move(parameters.name),
         arguments = std::move(parameters.arguments).value_or(mcp::ValueObject()), client = std::move(client)] {
            return tools.callTool(name, arguments, client);
        };
    std::string failure;
    try {
        auto content = co_await platform::onMain<std::vector<mcp::Tool::Content>>(context.main, std::move(work));
        co_return mcp::CallTool::Result{std::move(content), std::nullopt, false, std::nullopt};
    } catch (const std::exception& error) {
        failure = error.what();
    } catch (...) {
        failure = "Unknown error";
    }
    co_return mcp::CallTool::Result{{mcp::Tool::Content::text(std::move(failure))}, std::nullopt, true, std::nullopt};
}

// The tool list, encoded once for the servers of all requests.
std::shared_ptr<const mcp::FixedResult<mcp::ListTools>> encodedToolList() {
    static const auto tools = std::make_shared<const mcp::FixedResult<mcp::ListTools>>(
        mcp::ListTools::Result{toolList(), std::nullopt, std::nullopt});
    return tools;
}

std::shared_ptr<mcp::Server> makeServer(const asio::any_io_executor& executor, const ServingContext& context,
                                        std::optional<std::string> client) {
    auto server = std::make_shared<mcp::Server>(executor, std::string(kServerName), context.version,
                                                std::string(kServerTitle), std::string(kServerInstructions),
                                                serverCapabilities(), mcp::ServerConfiguration::defaultConfiguration());
    server->withFixedResult<mcp::ListTools>(encodedToolList());
    // The handlers call coroutines that take their own copies: a handler's task may outlive
    // the lambda that started it.
    server->withMethodHandler<mcp::CallTool>([&context, client = std::move(client)](mcp::CallTool::Parameters parameters) {
        return callTool(std::move(parameters), client, context);
    });
    return server;
}

}  // namespace

std::optional<std::string> clientNameFromHeader(const std::optional<std::string>& value) {
    if (!value) return std::nullopt;
    const auto encoded = boost::urls::make_pct_string_view(*value);
    if (!encoded) return std::nullopt;
    const auto decoded = encoded->decode();
    if (!detail::isValidUTF8(decoded)) return std::nullopt;
    return tidyShown(decoded, kClientNameLimit);
}

asio::awaitable<mcp::HTTPResponse> serveRequest(mcp::HTTPRequest request, std::string token,
                                                const ServingContext& context) {
    const auto executor = co_await asio::this_coro::executor;
    const auto client = clientNameFromHeader(request.header(kClientHeader));
    if (client && carriesAccessToken(request.header(mcp::HTTPHeaderName::authorization), token)) {
        co_await recognize(*client, context);
    }

    auto transport = mcp::StatelessHTTPServerTransport::make(executor, validationPipeline(std::move(token)));
    auto server = makeServer(executor, context, client);
    // The title even when it is empty; no percent-decoding here.
    auto hook = [&context](const mcp::ClientInfo& clientInfo, const mcp::ClientCapabilities&) {
        return recognize(tidyShown(clientInfo.title.value_or(clientInfo.name), kClientNameLimit), context);
    };
    std::optional<mcp::MCPError> startFailure;
    try {
        co_await server->start(transport, std::move(hook));
    } catch (const std::exception& error) {
        startFailure = mcp::MCPError::internalError(error.what());
    }
    if (startFailure) co_return mcp::HTTPResponse::Error{500, std::move(*startFailure), std::nullopt, {}};

    auto response = co_await transport->handleRequest(std::move(request));
    co_await server->stop();
    co_return response;
}

}  // namespace app
