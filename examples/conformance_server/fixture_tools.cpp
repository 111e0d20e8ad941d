// The tools of the conformance server. Each returns fixed content, or asks the client
// (sampling, elicitation) and reports what it answered; the logging and progress tools send
// their notifications about 50 ms apart before they return. Whatever a tool sends the client
// names the tool's request, so that it reaches a client that never opens the standing stream.

#include "fixture_server.hpp"

#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/http/stateful_http_server_transport.hpp"
#include "mcp/json/json.hpp"

#include <boost/asio/steady_timer.hpp>
#include <boost/asio/this_coro.hpp>

#include <array>
#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace fixture {
namespace {

namespace asio = boost::asio;
using mcp::Value;
using Content = mcp::Tool::Content;
using Result = mcp::CallTool::Result;

// Kept out of the coroutines below: GCC 12 can't build a braced list inside one.
constexpr std::array<std::string_view, 3> kLogSteps{"Tool execution started", "Tool processing data",
                                                    "Tool execution completed"};
constexpr std::array<double, 3> kProgressSteps{0, 50, 100};

asio::awaitable<void> pause() {
    asio::steady_timer timer(co_await asio::this_coro::executor, std::chrono::milliseconds(50));
    co_await timer.async_wait(asio::use_awaitable);
}

Value objectSchema(Value::Object properties = {}, std::vector<Value> required = {}) {
    Value::Object schema{{"type", "object"}, {"properties", std::move(properties)}};
    if (!required.empty()) schema.insertOrAssign("required", Value(std::move(required)));
    return schema;
}

Result textResult(std::string text) { return Result{.content = {Content::text(std::move(text))}, .isError = false}; }

std::string describe(const mcp::CreateElicitation::Result& answer) {
    const std::string content = answer.content ? mcp::writeJSON(Value(*answer.content)) : "null";
    return "action=" + std::string(mcp::rawValue(answer.action)) + ", content=" + content;
}

std::vector<mcp::Sampling::Message> promptMessages(std::string prompt) {
    return {mcp::Sampling::Message::user(std::move(prompt))};
}

mcp::Elicitation::RequestSchema responseSchema() {
    return {.properties = Value::Object{{"response", Value::Object{{"type", "string"}}}},
            .required = std::vector<std::string>{"response"}};
}

Value choice(const char* value, const char* title) { return Value::Object{{"const", value}, {"title", title}}; }

Value enumOf(std::vector<Value> values) { return Value(std::move(values)); }

mcp::Elicitation::RequestSchema defaultsSchema() {
    return {.properties = Value::Object{
                {"name", Value::Object{{"type", "string"}, {"default", "John Doe"}}},
                {"age", Value::Object{{"type", "integer"}, {"default", 30}}},
                {"score", Value::Object{{"type", "number"}, {"default", 95.5}}},
                {"status", Value::Object{{"type", "string"},
                                         {"enum", enumOf({"active", "inactive", "pending"})},
                                         {"default", "active"}}},
                {"verified", Value::Object{{"type", "boolean"}, {"default", true}}}},
            .required = std::vector<std::string>{}};
}

mcp::Elicitation::RequestSchema enumsSchema() {
    const Value options = enumOf({"option1", "option2", "option3"});
    return {.properties = Value::Object{
                {"untitledSingle", Value::Object{{"type", "string"}, {"enum", options}}},
                {"titledSingle",
                 Value::Object{{"type", "string"},
                               {"oneOf", enumOf({choice("value1", "First Option"), choice("value2", "Second Option"),
                                                 choice("value3", "Third Option")})}}},
                {"legacyEnum", Value::Object{{"type", "string"},
                                             {"enum", enumOf({"opt1", "opt2", "opt3"})},
                                             {"enumNames", enumOf({"Option One", "Option Two", "Option Three"})}}},
                {"untitledMulti", Value::Object{{"type", "array"},
                                                {"items", Value::Object{{"type", "string"}, {"enum", options}}},
                                                {"minItems", 1},
                                                {"maxItems", 3}}},
                {"titledMulti",
                 Value::Object{{"type", "array"},
                               {"items", Value::Object{{"anyOf", enumOf({choice("value1", "First Choice"),
                                                                         choice("value2", "Second Choice"),
                                                                         choice("value3", "Third Choice")})}}},
                               {"minItems", 1},
                               {"maxItems", 3}}}}};
}

// An input schema with the keywords of JSON Schema 2020-12 that a client must get unchanged.
Value schema2020() {
    const Value stringProperty = Value::Object{{"type", "string"}};
    return Value::Object{
        {"$schema", "https://json-schema.org/draft/2020-12/schema"},
        {"type", "object"},
        {"$defs", Value::Object{{"address", objectSchema({{"street", stringProperty}, {"city", stringProperty}})}}},
        {"properties", Value::Object{{"name", stringProperty}, {"address", Value::Object{{"$ref", "#/$defs/address"}}}}},
        {"additionalProperties", false}};
}

// One tool call: its arguments, the id and progress token of its request, and the server
// to ask.
struct Call {
    mcp::ValueObject arguments;
    mcp::ID requestID;
    std::optional<mcp::ProgressToken> progressToken;
    std::shared_ptr<mcp::Server> server;

    std::string argument(std::string_view name) const {
        const Value* value = arguments.find(name);
        return value && value->stringValue() ? *value->stringValue() : "";
    }
};

using ToolBody = std::function<asio::awaitable<Result>(Call)>;

struct FixtureTool {
    mcp::Tool tool;
    ToolBody body;
};

FixtureTool fixed(const char* name, const char* description, std::vector<Content> content) {
    return {{.name = name, .description = description, .inputSchema = objectSchema()},
            [content = std::move(content)](Call) -> asio::awaitable<Result> {
                co_return Result{.content = content, .isError = false};
            }};
}

std::vector<FixtureTool> fixtureTools() {
    const Value stringProperty = Value::Object{{"type", "string"}};
    std::vector<FixtureTool> tools;
    tools.push_back(fixed("test_simple_text", "Returns a simple text.",
                          {Content::text("This is a simple text response for testing.")}));
    tools.push_back(fixed("test_image_content", "Returns a small PNG image.",
                          {Content::image(std::string(kPNG), "image/png")}));
    tools.push_back(fixed("test_audio_content", "Returns a short WAV sound.",
                          {Content::audio(std::string(kWAV), "audio/wav")}));
    tools.push_back(fixed("test_embedded_resource", "Returns an embedded text resource.",
                          {Content::EmbeddedResource{.resource = mcp::Resource::Content::fromText(
                                                         "This is an embedded resource content.",
                                                         "test://embedded-resource", "text/plain")}}));
    tools.push_back(fixed("test_multiple_content_types", "Returns text, an image and a resource together.",
                          {Content::text("Multiple content types test:"),
                           Content::image(std::string(kPNG), "image/png"),
                           Content::EmbeddedResource{.resource = mcp::Resource::Content::fromText(
                                                         R"({"test":"data","value":123})",
                                                         "test://mixed-content-resource", "application/json")}}));
    tools.push_back({{.name = "test_error_handling",
                      .description = "Always fails, with an error result.",
                      .inputSchema = objectSchema()},
                     [](Call) -> asio::awaitable<Result> {
                         auto result = textResult("This tool intentionally returns an error for testing");
                         result.isError = true;
                         co_return result;
                     }});
    tools.push_back({{.name = "test_tool_with_logging",
                      .description = "Sends three log messages while it runs.",
                      .inputSchema = objectSchema()},
                     [](Call call) -> asio::awaitable<Result> {
                         for (const std::string_view step : kLogSteps) {
                             co_await call.server->log(mcp::LogLevel::info, std::nullopt, Value(step), call.requestID);
                             co_await pause();
                         }
                         co_return textResult("Tool with logging executed successfully");
                     }});
    tools.push_back({{.name = "test_tool_with_progress",
                      .description = "Reports progress three times while it runs.",
                      .inputSchema = objectSchema()},
                     [](Call call) -> asio::awaitable<Result> {
                         for (const double progress : kProgressSteps) {
                             if (call.progressToken) {
                                 auto message = mcp::makeMessage<mcp::ProgressNotification>(
                                     {.progressToken = *call.progressToken, .progress = progress, .total = 100.0});
                                 co_await call.server->notify(std::move(message), call.requestID);
                             }
                             co_await pause();
                         }
                         co_return textResult("Progress reported");
                     }});
    tools.push_back({{.name = "test_sampling",
                      .description = "Asks the client's model to answer a prompt.",
                      .inputSchema = objectSchema({{"prompt", stringProperty}}, {"prompt"})},
                     [](Call call) -> asio::awaitable<Result> {
                         auto messages = promptMessages(call.argument("prompt"));
                         auto answer = co_await call.server->requestSampling(
                             std::move(messages), std::nullopt, std::nullopt, std::nullopt, std::nullopt, 100,
                             std::nullopt, std::nullopt, call.requestID);
                         std::string reply;
                         if (const auto* block = answer.content.single()) {
                             if (const auto* text = std::get_if<mcp::Sampling::Message::Content::ContentBlock::Text>(
                                     &block->item)) {
                                 reply = text->text;
                             }
                         }
                         co_return textResult("LLM response: " + reply);
                     }});
    tools.push_back({{.name = "test_elicitation",
                      .description = "Asks the user for a reply.",
                      .inputSchema = objectSchema({{"message", stringProperty}}, {"message"})},
                     [](Call call) -> asio::awaitable<Result> {
                         auto answer = co_await call.server->requestElicitation(
                             call.argument("message"), responseSchema(), std::nullopt, std::nullopt, call.requestID);
                         co_return textResult("User response: " + describe(answer));
                     }});
    tools.push_back({{.name = "test_elicitation_sep1034_defaults",
                      .description = "Asks the user for fields that all have defaults.",
                      .inputSchema = objectSchema()},
                     [](Call call) -> asio::awaitable<Result> {
                         auto answer = co_await call.server->requestElicitation(
                             "Please review and update the form fields with defaults", defaultsSchema(), std::nullopt,
                             std::nullopt, call.requestID);
                         co_return textResult("Elicitation completed: " + describe(answer));
                     }});
    tools.push_back({{.name = "test_elicitation_sep1330_enums",
                      .description = "Asks the user to choose from each kind of enumeration.",
                      .inputSchema = objectSchema()},
                     [](Call call) -> asio::awaitable<Result> {
                         auto answer = co_await call.server->requestElicitation(
                             "Please select options from the enums", enumsSchema(), std::nullopt, std::nullopt,
                             call.requestID);
                         co_return textResult("Elicitation completed: " + describe(answer));
                     }});
    tools.push_back({{.name = "json_schema_2020_12_tool",
                      .description = "Tool with JSON Schema 2020-12 features",
                      .inputSchema = schema2020()},
                     [](Call) -> asio::awaitable<Result> { co_return textResult("JSON Schema 2020-12 tool called"); }});
    tools.push_back({{.name = "test_reconnection",
                      .description = "Closes its event stream before it answers, so that the client must resume "
                                     "the stream to read the answer.",
                      .inputSchema = objectSchema()},
                     [](Call call) -> asio::awaitable<Result> {
                         // The server runs on the stateful transport in this program.
                         if (const auto transport = std::dynamic_pointer_cast<mcp::StatefulHTTPServerTransport>(
                                 call.server->connection())) {
                             co_await transport->closeSSEStream(call.requestID.description());
                         }
                         co_await pause();
                         co_return textResult("Reconnection test completed successfully");
                     }});
    return tools;
}

}  // namespace

void addTools(const std::shared_ptr<mcp::Server>& server) {
    auto tools = std::make_shared<std::vector<FixtureTool>>(fixtureTools());
    server->withMethodHandler<mcp::ListTools>(
        [tools](mcp::ListTools::Parameters) -> asio::awaitable<mcp::ListTools::Result> {
            mcp::ListTools::Result result;
            for (const auto& entry : *tools) result.tools.push_back(entry.tool);
            co_return result;
        });
    // The server owns its handlers, so the handler holds it weakly.
    server->withMethodHandler<mcp::CallTool>(
        [tools, weak = std::weak_ptr<mcp::Server>(server)](
            mcp::CallTool::Parameters params, const mcp::HandlerContext& context) -> asio::awaitable<Result> {
            const auto self = weak.lock();
            if (!self) throw mcp::MCPError::internalError("The server has gone");
            for (const auto& entry : *tools) {
                if (entry.tool.name != params.name) continue;
                Call call{params.arguments.value_or(mcp::ValueObject{}), context.id,
                          params._meta ? params._meta->progressToken() : std::nullopt, self};
                auto result = co_await entry.body(std::move(call));
                co_return result;
            }
            throw mcp::MCPError::invalidParams("Unknown tool: " + params.name);
        });
}

}  // namespace fixture
