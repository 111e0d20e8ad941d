#include "tests/mcp/oauth/client/protected_mcp_server.hpp"

#include "examples/http_listener/http_listener.hpp"
#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/http/accept_header_validator.hpp"
#include "mcp/http/content_type_validator.hpp"
#include "mcp/http/origin_validator.hpp"
#include "mcp/http/protocol_version_validator.hpp"
#include "mcp/http/stateless_http_server_transport.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/bearer_token_validator.hpp"
#include "mcp/oauth/client/metadata_discovery.hpp"
#include "mcp/oauth/protected_resource_metadata_validator.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/server/server.hpp"
#include "tests/mcp/oauth/client/jwt_access_token_verifier.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/use_awaitable.hpp>

#include <exception>
#include <iostream>
#include <set>

namespace mcp::testing {
namespace {

namespace asio = boost::asio;

std::shared_ptr<Server> makeServer(const asio::any_io_executor& executor) {
    auto server = std::make_shared<Server>(executor, "protected-stateless-server", "1.0", std::nullopt, std::nullopt,
                                           Server::Capabilities{.tools = Server::Capabilities::Tools{}});
    server->withMethodHandler<ListTools>([](ListTools::Parameters) -> asio::awaitable<ListTools::Result> {
        co_return ListTools::Result{.tools = {Tool{.name = "echo", .inputSchema = Value::Object{{"type", "object"}}}}};
    });
    server->withMethodHandler<CallTool>([](CallTool::Parameters params) -> asio::awaitable<CallTool::Result> {
        const ValueObject arguments = params.arguments.value_or(ValueObject{});
        const Value* text = arguments.find("text");
        const std::string echoed = text && text->stringValue() ? *text->stringValue() : "";
        co_return CallTool::Result{.content = {Tool::Content::text(echoed)}, .isError = false};
    });
    return server;
}

// The JSON-RPC method of a POSTed message, "" when there is none.
std::string methodOf(const HTTPRequest& request) {
    try {
        const Value message = parseJSON(request.body.value_or(""));
        const auto* object = message.objectValue();
        const Value* method = object ? object->find("method") : nullptr;
        return method && method->stringValue() ? *method->stringValue() : "";
    } catch (const std::exception&) {
        return "";
    }
}

std::set<std::string> scopesNeededFor(const HTTPRequest& request) {
    if (methodOf(request) == "tools/call") return {"read", "write"};
    return {"read"};
}

BearerTokenValidationResult judge(const JWTAccessTokenVerifier& verifier, std::string_view token,
                                  const HTTPRequest& request) {
    const auto info = verifier.verify(token);
    if (!info) return BearerTokenValidationResult::invalidToken("The token was not issued by the trusted server");
    auto needed = scopesNeededFor(request);
    for (const auto& scope : needed) {
        if (!info->scopes || !info->scopes->contains(scope)) {
            return BearerTokenValidationResult::insufficientScope(std::move(needed));
        }
    }
    return BearerTokenValidationResult::valid(*info);
}

void reportFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "protected MCP server: " << failure.what() << '\n';
    }
}

}  // namespace

struct ProtectedMCPServer::State {
    std::vector<LoggedRequest> requests;
    std::shared_ptr<ProtectedResourceMetadataValidator> metadataValidator;
    std::shared_ptr<StatelessHTTPServerTransport> transport;
    std::shared_ptr<Server> server;
};

ProtectedMCPServer::ProtectedMCPServer(const asio::any_io_executor& executor)
    : acceptor_(executor, asio::ip::tcp::endpoint(asio::ip::make_address("127.0.0.1"), 0)),
      endpoint_("http://127.0.0.1:" + std::to_string(acceptor_.local_endpoint().port()) + "/mcp"),
      state_(std::make_shared<State>()) {}

asio::awaitable<void> ProtectedMCPServer::start(std::string issuer, std::string_view publicKeyPEM) {
    boost::urls::url metadataURL = endpoint_;
    metadataURL.set_path(std::string(kProtectedResourceMetadataPath) + "/mcp");
    const OAuthProtectedResourceServerMetadata metadata{
        .resource = std::string(endpoint_.buffer()),
        .authorizationServers = {boost::urls::url(issuer)},
        .scopesSupported = std::vector<std::string>{"read", "write"},
    };
    state_->metadataValidator = std::make_shared<ProtectedResourceMetadataValidator>(metadata);

    auto verifier = std::make_shared<const JWTAccessTokenVerifier>(publicKeyPEM, std::move(issuer));
    auto bearer = std::make_shared<BearerTokenValidator>(
        metadataURL, endpoint_,
        [verifier](std::string_view token, const HTTPRequest& request, const HTTPValidationContext&) {
            return judge(*verifier, token, request);
        },
        // A client without a token is told what it needs first.
        [](const HTTPRequest&, const HTTPValidationContext&) {
            return std::optional<std::set<std::string>>(std::set<std::string>{"read"});
        },
        [](const HTTPRequest&, const HTTPValidationContext&) { return true; },
        std::make_shared<DefaultOAuthMetadataDiscovery>());
    const auto pipeline = std::make_shared<const StandardValidationPipeline>(StandardValidationPipeline::Validators{
        bearer,
        std::make_shared<OriginValidator>(OriginValidator::localhost(std::nullopt)),
        std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
        std::make_shared<ContentTypeValidator>(),
        std::make_shared<ProtocolVersionValidator>(),
    });

    const auto executor = acceptor_.get_executor();
    state_->transport = StatelessHTTPServerTransport::make(executor, pipeline);
    state_->server = makeServer(executor);
    co_await state_->server->start(state_->transport);

    // The transport takes POSTs only: the metadata document, fetched with GET, is served beside it.
    auto handler = std::make_shared<const example::RequestHandler>(
        [state = state_](HTTPRequest request) -> asio::awaitable<HTTPResponse> {
            const auto index = state->requests.size();
            state->requests.push_back({std::chrono::steady_clock::now(),
                                       request.method + " " + request.path.value_or("") +
                                           (request.method == "POST" ? " " + methodOf(request) : "")});
            std::optional<HTTPResponse> response;
            if (request.method == "GET") {
                response = state->metadataValidator->validate(request, HTTPValidationContext{.httpMethod = "GET"});
                if (!response) response = HTTPResponse::Error{404, MCPError::invalidRequest("Not Found")};
            } else {
                response = co_await state->transport->handleRequest(std::move(request));
            }
            state->requests[index].what += " -> " + std::to_string(response->statusCode());
            co_return std::move(*response);
        });
    asio::co_spawn(executor, example::acceptConnections(std::move(acceptor_), std::move(handler)), reportFailure);
}

asio::awaitable<void> ProtectedMCPServer::stop() {
    if (state_->server) co_await state_->server->stop();
}

std::vector<LoggedRequest> ProtectedMCPServer::requests() const {
    return state_->requests;
}

}  // namespace mcp::testing
