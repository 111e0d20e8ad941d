// The client command of the protocol's conformance suite. The suite starts a test server for
// each client scenario and runs
//
//     conformance_client <server URL>
//
// with the scenario's name in MCP_CONFORMANCE_SCENARIO. The program initializes a session
// over the HTTP client transport, lists the tools and, where the scenario offers
// "add_numbers" (or the auth scenarios' "test-tool"), calls it; it exits 0 once the flow has
// completed and 1, with the reason on standard error, when a step fails. A 401 or 403 from the server is answered by the OAuth
// client, set up for the scenario (see oauth_setup.hpp).

#include "oauth_setup.hpp"

#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/json/json.hpp"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/url/parse.hpp>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>

namespace {

namespace asio = boost::asio;
using mcp::Value;

// Built outside the coroutines: GCC 12 can't build a braced list inside one.
std::string requestText(std::int64_t id, const std::string& method, Value params) {
    return mcp::writeJSON(Value::Object{{"jsonrpc", "2.0"}, {"id", id}, {"method", method}, {"params", std::move(params)}});
}

std::string notificationText(std::string method) {
    return mcp::writeJSON(Value::Object{{"jsonrpc", "2.0"}, {"method", std::move(method)}});
}

Value initializeParams() {
    return Value::Object{{"protocolVersion", "2025-11-25"},
                         {"capabilities", Value::Object{}},
                         {"clientInfo", Value::Object{{"name", "vantor-conformance-client"}, {"version", "1.0.0"}}}};
}

Value addNumbersParams() {
    return Value::Object{{"name", "add_numbers"}, {"arguments", Value::Object{{"a", 2}, {"b", 3}}}};
}

// The auth scenarios' servers offer this tool; some of them ask for more scope to call it.
Value testToolParams() {
    return Value::Object{{"name", "test-tool"}, {"arguments", Value::Object{}}};
}

// Sends requests one at a time and waits for the answer of each; anything else arriving
// meanwhile (an answer to a notification) is passed over.
class Session {
public:
    explicit Session(std::shared_ptr<mcp::HTTPClientTransport> transport)
        : transport_(std::move(transport)), incoming_(transport_->receive()) {}

    asio::awaitable<Value> request(std::string method, Value params) {
        const std::int64_t id = ++lastID_;
        co_await transport_->send(requestText(id, method, std::move(params)));
        while (auto text = co_await incoming_->next()) {
            const Value answer = mcp::parseJSON(*text);
            const auto* object = answer.objectValue();
            const Value* answerID = object ? object->find("id") : nullptr;
            if (!answerID || answerID->intValue() != id) continue;
            if (const Value* error = object->find("error")) {
                throw std::runtime_error(method + " failed: " + mcp::writeJSON(*error));
            }
            if (const Value* result = object->find("result")) co_return *result;
            throw std::runtime_error(method + ": an answer without a result");
        }
        throw std::runtime_error(method + ": the connection ended before the answer");
    }

    asio::awaitable<void> notify(std::string method) {
        co_await transport_->send(notificationText(std::move(method)));
    }

    const std::shared_ptr<mcp::HTTPClientTransport>& transport() const { return transport_; }

private:
    std::shared_ptr<mcp::HTTPClientTransport> transport_;
    std::shared_ptr<mcp::MessageStream> incoming_;
    std::int64_t lastID_ = 0;
};

bool offersTool(const Value& listing, std::string_view name) {
    const auto* object = listing.objectValue();
    const Value* tools = object ? object->find("tools") : nullptr;
    if (!tools || !tools->arrayValue()) return false;
    for (const Value& tool : *tools->arrayValue()) {
        const auto* fields = tool.objectValue();
        const Value* toolName = fields ? fields->find("name") : nullptr;
        if (toolName && toolName->stringValue() && *toolName->stringValue() == name) return true;
    }
    return false;
}

asio::awaitable<void> talk(Session& session) {
    co_await session.transport()->connect();
    const Value initialized = co_await session.request("initialize", initializeParams());
    const auto* result = initialized.objectValue();
    const Value* version = result ? result->find("protocolVersion") : nullptr;
    if (!version || !version->stringValue()) throw std::runtime_error("initialize: no protocol version in the answer");
    co_await session.transport()->updateNegotiatedProtocolVersion(*version->stringValue());
    co_await session.notify("notifications/initialized");

    const Value listing = co_await session.request("tools/list", Value::Object{});
    if (offersTool(listing, "add_numbers")) {
        co_await session.request("tools/call", addNumbersParams());
    } else if (offersTool(listing, "test-tool")) {
        co_await session.request("tools/call", testToolParams());
    }
}

// Talks to the scenario's server, then lets the connection go whatever happened: the
// transport's listening on the server's own stream would otherwise keep the program running.
asio::awaitable<void> run(boost::urls::url endpoint) {
    mcp::HTTPClientTransport::Options options;
    const char* scenario = std::getenv("MCP_CONFORMANCE_SCENARIO");
    const char* context = std::getenv("MCP_CONFORMANCE_CONTEXT");
    options.authorizer = conformance::makeAuthorizer(scenario ? scenario : "", context ? context : "");
    Session session(
        mcp::HTTPClientTransport::make(co_await asio::this_coro::executor, std::move(endpoint), std::move(options)));
    std::exception_ptr failure;
    try {
        co_await talk(session);
    } catch (...) {
        failure = std::current_exception();
    }
    co_await session.transport()->disconnect();
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
    asio::co_spawn(io, run(boost::urls::url(*endpoint)), [&](std::exception_ptr error) { failure = error; });
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
