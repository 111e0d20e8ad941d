// The client command of the protocol's conformance suite. The suite starts a test server for
// each client scenario and runs
//
//     conformance_client <server URL>
//
// with the scenario's name in MCP_CONFORMANCE_SCENARIO. The program connects the library's
// client over the HTTP client transport, lists the tools and calls those it knows (see
// kKnownTools); it accepts every elicitation form with the defaults its schema gives. It exits
// 0 once the flow has completed and 1, with the reason on standard error, when a step fails.
// A 401 or 403 from the server is answered by the OAuth client, set up for the scenario (see
// oauth_setup.hpp).

#include "oauth_setup.hpp"

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/json/json.hpp"
#include "mcp/transport/strand_hop.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/this_coro.hpp>
#include <boost/url/parse.hpp>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>

namespace {

namespace asio = boost::asio;
using mcp::CreateElicitation;

// The tools of the scenarios' servers, with the arguments each is called with.
struct KnownTool {
    std::string_view name;
    std::string_view arguments;
};
constexpr KnownTool kKnownTools[] = {
    {"add_numbers", R"({"a":2,"b":3})"},
    {"test_client_elicitation_defaults", "{}"},
    {"test_reconnection", "{}"},
    {"test-tool", "{}"},
};

// What a person who accepts a form as it stands would answer: every field that has a default
// gets it. A URL request is declined, as there is nobody to open the page.
CreateElicitation::Result acceptDefaults(const CreateElicitation::Parameters& request) {
    const auto* form = request.form();
    if (!form) return {.action = CreateElicitation::Result::Action::decline};
    mcp::ValueObject content;
    for (const auto& [name, schema] : form->requestedSchema.properties) {
        const auto* fields = schema.objectValue();
        if (const mcp::Value* value = fields ? fields->find("default") : nullptr) content.insertOrAssign(name, *value);
    }
    return {.action = CreateElicitation::Result::Action::accept, .content = std::move(content)};
}

std::shared_ptr<mcp::Client> makeClient(const asio::any_io_executor& executor) {
    mcp::Client::Capabilities capabilities;
    capabilities.elicitation = mcp::Client::Capabilities::Elicitation{.form = mcp::ClientCapabilities::Elicitation::Form{}};
    auto client = std::make_shared<mcp::Client>(executor, mcp::Client::Options{.name = "vantor-conformance-client",
                                                                               .version = "1.0.0",
                                                                               .capabilities = std::move(capabilities)});
    client->withElicitationHandler(
        [](CreateElicitation::Parameters request) -> asio::awaitable<CreateElicitation::Result> {
            co_return acceptDefaults(request);
        });
    return client;
}

asio::awaitable<void> talk(mcp::Client& client, std::shared_ptr<mcp::Transport> transport) {
    co_await client.connect(std::move(transport));
    const auto listing = co_await client.listTools();
    for (const auto& tool : listing.tools) {
        for (const auto& known : kKnownTools) {
            if (tool.name != known.name) continue;
            auto arguments = *mcp::parseJSON(known.arguments).objectValue();
            auto outcome = co_await client.callTool(tool.name, std::move(arguments));
            if (outcome.isError.value_or(false)) throw std::runtime_error(tool.name + " reported an error");
        }
    }
}

// Talks to the scenario's server, then lets the connection go whatever happened: the
// transport's listening on the server's own stream would otherwise keep the program running.
asio::awaitable<void> run(boost::urls::url endpoint) {
    const auto executor = co_await asio::this_coro::executor;
    mcp::HTTPClientTransport::Options options;
    const char* scenario = std::getenv("MCP_CONFORMANCE_SCENARIO");
    const char* context = std::getenv("MCP_CONFORMANCE_CONTEXT");
    options.authorizer = conformance::makeAuthorizer(scenario ? scenario : "", context ? context : "");
    auto transport = mcp::HTTPClientTransport::make(executor, std::move(endpoint), std::move(options));
    auto client = makeClient(executor);
    std::exception_ptr failure;
    try {
        co_await talk(*client, transport);
    } catch (...) {
        failure = std::current_exception();
    }
    // A connect that failed has let the transport go already; this ends a connection that stands.
    co_await client->disconnect();
    if (failure) std::rethrow_exception(failure);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: conformance_client <server URL>\n";
        return 2;
    }
    const auto endpoint = boost::urls::parse_uri(argv[argc - 1]);
    if (!endpoint) {
        std::cerr << "conformance_client: not a URL: " << argv[argc - 1] << '\n';
        return 2;
    }
    asio::io_context io;
    std::exception_ptr failure;
    // On a strand, so that the client and the transport `run` makes on it share that strand.
    asio::co_spawn(mcp::strandOf(io.get_executor()), run(boost::urls::url(*endpoint)),
                   [&](std::exception_ptr error) { failure = error; });
    // A scenario whose server never answers must not keep the suite waiting for us.
    io.run_for(std::chrono::seconds(25));
    if (!io.stopped()) {
        std::cerr << "conformance_client: no end within 25 s\n";
        return 1;
    }
    if (!failure) return 0;
    try {
        std::rethrow_exception(failure);
    } catch (const std::exception& error) {
        const char* scenario = std::getenv("MCP_CONFORMANCE_SCENARIO");
        std::cerr << "conformance_client (" << (scenario ? scenario : "no scenario") << "): " << error.what() << '\n';
    }
    return 1;
}
