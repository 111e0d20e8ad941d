// The resources, the template, the prompts, completion and the log level of the conformance
// server.

#include "fixture_server.hpp"

#include "mcp/catalogue/completion.hpp"
#include "mcp/catalogue/prompt_methods.hpp"
#include "mcp/catalogue/resource_methods.hpp"

#include <boost/asio/awaitable.hpp>

#include <string>
#include <string_view>

namespace fixture {
namespace {

namespace asio = boost::asio;
using mcp::Resource;
using Message = mcp::Prompt::Message;

constexpr std::string_view kTemplatePrefix = "test://template/";
constexpr std::string_view kTemplateSuffix = "/data";

std::vector<Resource> resources() {
    return {
        {.name = "static-text", .title = "Static text", .uri = "test://static-text",
         .description = "A fixed text resource.", .mimeType = "text/plain"},
        {.name = "static-binary", .title = "Static binary", .uri = "test://static-binary",
         .description = "A fixed PNG image.", .mimeType = "image/png"},
        {.name = "watched-resource", .title = "Watched resource", .uri = "test://watched-resource",
         .description = "A resource clients may subscribe to.", .mimeType = "text/plain"},
    };
}

// "test://template/{id}/data" with a non-empty id, or nothing.
std::optional<std::string> templateID(std::string_view uri) {
    if (!uri.starts_with(kTemplatePrefix) || !uri.ends_with(kTemplateSuffix)) return std::nullopt;
    uri.remove_prefix(kTemplatePrefix.size());
    uri.remove_suffix(kTemplateSuffix.size());
    if (uri.empty() || uri.find('/') != std::string_view::npos) return std::nullopt;
    return std::string(uri);
}

Resource::Content read(const std::string& uri) {
    if (uri == "test://static-text") {
        return Resource::Content::fromText("This is the content of the static text resource.", uri, "text/plain");
    }
    if (uri == "test://static-binary") return {.uri = uri, .mimeType = "image/png", .blob = std::string(kPNG)};
    if (uri == "test://watched-resource") return Resource::Content::fromText("Watched resource content", uri, "text/plain");
    if (const auto id = templateID(uri)) {
        const std::string text = R"({"id":")" + *id + R"(","templateTest":true,"data":"Data for ID: )" + *id + R"("})";
        return Resource::Content::fromText(text, uri, "application/json");
    }
    throw mcp::MCPError::invalidParams("Resource not found: " + uri);
}

std::vector<mcp::Prompt> prompts() {
    auto required = [](const char* name, const char* description) {
        return mcp::Prompt::Argument{.name = name, .description = description, .required = true};
    };
    return {
        {.name = "test_simple_prompt", .description = "A prompt without arguments."},
        {.name = "test_prompt_with_arguments",
         .description = "A prompt that quotes its two arguments.",
         .arguments = std::vector{required("arg1", "The first argument"), required("arg2", "The second argument")}},
        {.name = "test_prompt_with_embedded_resource",
         .description = "A prompt that embeds a resource.",
         .arguments = std::vector{required("resourceUri", "The URI of the resource to embed")}},
        {.name = "test_prompt_with_image", .description = "A prompt that shows an image."},
    };
}

mcp::GetPrompt::Result getPrompt(const mcp::GetPrompt::Parameters& params) {
    const mcp::ArgumentValues arguments = params.arguments.value_or(mcp::ArgumentValues{});
    auto argument = [&](const std::string& name) {
        const auto found = arguments.find(name);
        return found == arguments.end() ? std::string() : found->second;
    };
    if (params.name == "test_simple_prompt") return {.messages = {Message::user("This is a simple prompt for testing.")}};
    if (params.name == "test_prompt_with_arguments") {
        return {.messages = {Message::user("Prompt with arguments: arg1='" + argument("arg1") + "', arg2='" +
                                           argument("arg2") + "'")}};
    }
    if (params.name == "test_prompt_with_embedded_resource") {
        const Message::Content::EmbeddedResource embedded{.resource = Resource::Content::fromText(
                                                              "Embedded resource content for testing.",
                                                              argument("resourceUri"), "text/plain")};
        return {.messages = {Message::user(embedded), Message::user("Please process the embedded resource above.")}};
    }
    if (params.name == "test_prompt_with_image") {
        return {.messages = {Message::user(Message::Content::Image{std::string(kPNG), "image/png"}),
                             Message::user("Please analyze the image above.")}};
    }
    throw mcp::MCPError::invalidParams("Unknown prompt: " + params.name);
}

}  // namespace

void addCatalogue(mcp::Server& server) {
    server.withMethodHandler<mcp::ListResources>(
        [](mcp::CursorParameters) -> asio::awaitable<mcp::ListResources::Result> {
            co_return mcp::ListResources::Result{.resources = resources()};
        });
    server.withMethodHandler<mcp::ListResourceTemplates>(
        [](mcp::CursorParameters) -> asio::awaitable<mcp::ListResourceTemplates::Result> {
            co_return mcp::ListResourceTemplates::Result{
                .templates = {{.uriTemplate = "test://template/{id}/data",
                               .name = "template",
                               .title = "Template",
                               .description = "JSON data for any id.",
                               .mimeType = "application/json"}}};
        });
    server.withMethodHandler<mcp::ReadResource>(
        [](mcp::ResourceURIParameters params) -> asio::awaitable<mcp::ReadResource::Result> {
            co_return mcp::ReadResource::Result{.contents = {read(params.uri)}};
        });
    // Nothing here ever changes, so a subscription only has to be accepted.
    server.withMethodHandler<mcp::ResourceSubscribe>(
        [](mcp::ResourceURIParameters) -> asio::awaitable<mcp::Empty> { co_return mcp::Empty{}; });
    server.withMethodHandler<mcp::ResourceUnsubscribe>(
        [](mcp::ResourceURIParameters) -> asio::awaitable<mcp::Empty> { co_return mcp::Empty{}; });
    server.withMethodHandler<mcp::ListPrompts>([](mcp::CursorParameters) -> asio::awaitable<mcp::ListPrompts::Result> {
        co_return mcp::ListPrompts::Result{.prompts = prompts()};
    });
    server.withMethodHandler<mcp::GetPrompt>(
        [](mcp::GetPrompt::Parameters params) -> asio::awaitable<mcp::GetPrompt::Result> {
            co_return getPrompt(params);
        });
    server.withMethodHandler<mcp::Complete>([](mcp::Complete::Parameters) -> asio::awaitable<mcp::Complete::Result> {
        co_return mcp::Complete::Result{.completion = {.values = {}, .total = 0, .hasMore = false}};
    });
    // Every message is sent whatever the level, so the level needs no keeping.
    server.withMethodHandler<mcp::SetLoggingLevel>(
        [](mcp::SetLoggingLevel::Parameters) -> asio::awaitable<mcp::Empty> { co_return mcp::Empty{}; });
}

}  // namespace fixture
