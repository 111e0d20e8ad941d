// mcp_client: connects to an MCP server, lists its tools and, if asked, calls one.
//
//     mcp_client [--token TOKEN | --client-id ID --client-secret SECRET] [--call TOOL [--arguments JSON]] URL
//     mcp_client [--call TOOL [--arguments JSON]] -- COMMAND [ARGUMENT...]
//
// With a URL it speaks Streamable HTTP: the token, if given, goes out as a bearer token; with
// a client ID and secret it obtains its tokens with OAuth's client-credentials grant from the
// authorization server the MCP server names. After "--" it starts the command and speaks to it
// over its standard input and output.
// It prints "server: NAME", one "tool: NAME" line per tool and, for a call, "result: " and
// the result's content as JSON ("error: " instead when the tool reports a failure). Exits 0;
// 1 with the reason on standard error; 2 with the usage when the arguments are wrong. A server
// it started gets 2 seconds after the end of its input to end, then SIGTERM, then SIGKILL.

#include "examples/mcp_client/child_process.hpp"

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/json/json.hpp"
#include "mcp/oauth/client/bearer_token_authorizer.hpp"
#include "mcp/oauth/client/oauth_authorizer.hpp"
#include "mcp/transport/stdio_transport.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/url/url.hpp>

#include <csignal>
#include <exception>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace asio = boost::asio;

namespace {

struct Options {
    std::optional<std::string> token;
    std::optional<std::string> clientID;
    std::optional<std::string> clientSecret;
    std::optional<std::string> call;
    std::optional<std::string> arguments;
    std::string url;
    std::vector<std::string> command;
};

constexpr std::string_view kUsage =
    "usage: mcp_client [--token TOKEN | --client-id ID --client-secret SECRET] [--call TOOL [--arguments JSON]] URL\n"
    "       mcp_client [--call TOOL [--arguments JSON]] -- COMMAND [ARGUMENT...]\n";

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        const auto value = [&]() -> std::string {
            if (++i >= argc) throw std::invalid_argument(std::string(word) + " needs a value");
            return argv[i];
        };
        if (word == "--token") {
            options.token = value();
        } else if (word == "--client-id") {
            options.clientID = value();
        } else if (word == "--client-secret") {
            options.clientSecret = value();
        } else if (word == "--call") {
            options.call = value();
        } else if (word == "--arguments") {
            options.arguments = value();
        } else if (word == "--") {
            options.command.assign(argv + i + 1, argv + argc);
            break;
        } else if (options.url.empty() && !word.starts_with("-")) {
            options.url = word;
        } else {
            throw std::invalid_argument("unexpected " + std::string(word));
        }
    }
    if (options.url.empty() == options.command.empty()) throw std::invalid_argument("give a URL or -- COMMAND");
    const bool oauth = options.clientID || options.clientSecret;
    if ((options.token || oauth) && !options.command.empty()) throw std::invalid_argument("credentials go with a URL");
    if (oauth && !(options.clientID && options.clientSecret)) {
        throw std::invalid_argument("--client-id and --client-secret go together");
    }
    if (options.token && oauth) throw std::invalid_argument("give --token or a client ID, not both");
    if (options.arguments && !options.call) throw std::invalid_argument("--arguments goes with --call");
    return options;
}

std::optional<mcp::ValueObject> toolArguments(const Options& options) {
    if (!options.arguments) return std::nullopt;
    const mcp::Value value = mcp::parseJSON(*options.arguments);
    const auto* object = value.objectValue();
    if (!object) throw std::invalid_argument("--arguments must be a JSON object");
    return *object;
}

// The fixed token, or an OAuth client that obtains tokens with its ID and secret; none without.
std::shared_ptr<mcp::HTTPClientAuthorizer> authorizerFor(const Options& options) {
    using mcp::OAuthConfiguration;
    using Authentication = OAuthConfiguration::TokenEndpointAuthentication;
    if (options.token) return std::make_shared<mcp::BearerTokenAuthorizer>(*options.token);
    if (!options.clientID) return nullptr;
    return std::make_shared<mcp::OAuthAuthorizer>(OAuthConfiguration({
        .grantType = OAuthConfiguration::GrantType::clientCredentials,
        .authentication = Authentication::clientSecretBasic(*options.clientID, *options.clientSecret),
    }));
}

asio::awaitable<void> talk(const Options& options, mcp::Client& client) {
    const auto tools = co_await client.listTools();
    for (const auto& tool : tools.tools) std::cout << "tool: " << tool.name << '\n';
    if (options.call) {
        auto arguments = toolArguments(options);
        const auto outcome = co_await client.callTool(*options.call, std::move(arguments));
        std::cout << (outcome.isError.value_or(false) ? "error: " : "result: ")
                  << mcp::writeJSON(mcp::encode(outcome.content)) << '\n';
    }
    std::cout.flush();
}

// Talks to the server, then lets the connection go whatever happened: a transport that keeps
// listening for the server's own messages would otherwise keep the program running. A connect
// that fails has let it go already.
asio::awaitable<void> run(const Options& options, std::shared_ptr<mcp::Transport> transport) {
    const auto executor = co_await asio::this_coro::executor;
    auto client =
        std::make_shared<mcp::Client>(executor, mcp::Client::Options{.name = "mcp_client", .version = "1.0.0"});
    const auto server = co_await client->connect(std::move(transport));
    std::cout << "server: " << server.serverInfo.name << '\n';
    std::exception_ptr failure;
    try {
        co_await talk(options, *client);
    } catch (...) {
        failure = std::current_exception();
    }
    co_await client->disconnect();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parse(argc, argv);
        (void)toolArguments(options);
    } catch (const std::exception& error) {
        std::cerr << "mcp_client: " << error.what() << '\n' << kUsage;
        return 2;
    }
    // A server that goes away shows as a failed write, not as a signal that ends us.
    std::signal(SIGPIPE, SIG_IGN);

    asio::io_context io;
    // The client (made on the strand `run` runs on) and its transport share one strand.
    const auto strand = mcp::strandOf(io.get_executor());
    std::shared_ptr<mcp::Transport> transport;
    std::optional<ChildProcess> child;
    try {
        if (options.command.empty()) {
            transport = mcp::HTTPClientTransport::make(strand, boost::urls::url(options.url),
                                                       {.authorizer = authorizerFor(options)});
        } else {
            child = ChildProcess::start(options.command);
            transport = mcp::StdioTransport::make(strand, child->fromChild, child->toChild);
        }
    } catch (const std::exception& error) {
        std::cerr << "mcp_client: " << error.what() << '\n';
        return 1;
    }

    int status = 0;
    asio::co_spawn(strand, run(options, transport), [&](std::exception_ptr failure) {
        if (!failure) return;
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& error) {
            std::cerr << "mcp_client: " << error.what() << '\n';
        }
        status = 1;
    });
    io.run();
    transport.reset();
    if (child) child->finish();
    return status;
}
