#include "mcp/server/server.hpp"

#include "mcp/catalogue/resource.hpp"
#include "mcp/catalogue/tool_methods.hpp"
#include "mcp/protocol/initialize.hpp"

#include <boost/asio/io_context.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace mcp {
namespace {

// Every object starts in one stated condition, whoever builds it: nothing connected, nothing
// registered, nothing pending, every optional field absent.
TEST(InitialState, EveryObjectStartsAsStated) {
    boost::asio::io_context io;
    const auto server = std::make_shared<Server>(io.get_executor(), "probe", "1.0");
    const Tool tool{.name = "t", .inputSchema = Value::Object{}};
    const Tool::Annotations annotations;
    const Resource::Content content{.uri = "u"};
    const Server::Capabilities capabilities;
    const struct {
        std::string_view name;
        std::function<bool()> holds;
    } kCases[] = {
        {"Server.connection", [&] { return server->connection() == nullptr; }},
        {"Server.isInitialized", [&] { return !server->isInitialized(); }},
        {"Server.clientInfo", [&] { return !server->clientInfo(); }},
        {"Server.clientCapabilities", [&] { return !server->clientCapabilities(); }},
        {"Server.protocolVersion", [&] { return !server->protocolVersion(); }},
        {"Server.methodHandlers", [&] { return !server->hasMethodHandler("initialize") && !server->hasMethodHandler("ping"); }},
        {"Server.notificationHandlers", [&] { return server->notificationHandlerCount("notifications/cancelled") == 0; }},
        {"Server.pendingRequestTasks", [&] { return server->requestsInProgress() == 0; }},
        {"Server.pendingRequests", [&] { return server->requestsAwaitingClient() == 0; }},
        {"Server.task", [&] { return !server->isStarted(); }},
        {"Server.serverInfo", [&] { return server->serverInfo() == Server::Info{.name = "probe", .version = "1.0"}; }},
        {"Server.instructions", [&] { return !server->instructions(); }},
        {"Server.configuration", [&] { return !server->configuration().strict; }},
        {"Server.Configuration.default", [] { return !Server::Configuration::defaultConfiguration().strict; }},
        {"Server.Configuration.strict", [] { return Server::Configuration::strictConfiguration().strict; }},
        {"Server.Capabilities",
         [&] {
             return !capabilities.completions && !capabilities.logging && !capabilities.prompts && !capabilities.resources &&
                    !capabilities.tools;
         }},
        {"Server.Capabilities.Prompts", [] { return !Server::Capabilities::Prompts{}.listChanged; }},
        {"Server.Capabilities.Tools", [] { return !Server::Capabilities::Tools{}.listChanged; }},
        {"Server.Capabilities.Resources",
         [] { return !Server::Capabilities::Resources{}.subscribe && !Server::Capabilities::Resources{}.listChanged; }},
        {"Client.Info", [] {
             const ClientInfo info{.name = "c", .version = "1"};
             return !info.title && !info.description && !info.websiteURL && !info.icons;
         }},
        {"Client.Capabilities", [] {
             const ClientCapabilities declared;
             return !declared.roots && !declared.sampling && !declared.elicitation && !declared.experimental;
         }},
        {"Tool", [&] { return !tool.icons && !tool._meta && !tool.title && !tool.description && !tool.outputSchema; }},
        {"Tool.Annotations",
         [&] {
             return annotations.isEmpty() && !annotations.title && !annotations.destructiveHint && !annotations.idempotentHint &&
                    !annotations.openWorldHint && !annotations.readOnlyHint;
         }},
        {"Resource.Content", [&] { return !content._meta && !content.mimeType && !content.text && !content.blob; }},
        {"Initialize.Result._meta", [] { return !Initialize::Result{}._meta; }},
        {"ListTools.Result._meta", [] { return !ListTools::Result{}._meta; }},
        {"CallTool.Result._meta", [] { return !CallTool::Result{}._meta && !CallTool::Result{}.isError; }},
        {"ListTools.Parameters", [] { return !ListTools::Parameters{}.cursor; }},
    };
    for (const auto& c : kCases) {
        EXPECT_TRUE(c.holds()) << c.name;
    }
}

}  // namespace
}  // namespace mcp
