#pragma once

// The fixtures of the conformance server: the tools, resources, prompts and completions that
// the protocol's conformance suite asks for by name, with the texts it expects back.

#include "mcp/server/server.hpp"

#include <boost/asio/any_io_executor.hpp>

#include <memory>
#include <string_view>

namespace fixture {

// A 1×1 PNG and a short silent WAV, in base64.
inline constexpr std::string_view kPNG =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNkYPhfDwAChwGA60e6kgAAAABJRU5ErkJggg==";
inline constexpr std::string_view kWAV =
    "UklGRjQAAABXQVZFZm10IBAAAAABAAEAQB8AAEAfAAABAAgAZGF0YRAAAACAgICAgICAgICAgICAgICA";

// Registers the tools and their handlers on `server`.
void addTools(const std::shared_ptr<mcp::Server>& server);

// Registers resources, templates, subscriptions, prompts, completion and the log level.
void addCatalogue(mcp::Server& server);

// A server declaring every capability the suite looks for, with all the fixtures above.
inline std::shared_ptr<mcp::Server> makeServer(const boost::asio::any_io_executor& executor) {
    using Capabilities = mcp::Server::Capabilities;
    auto server = std::make_shared<mcp::Server>(
        executor, "vantor-conformance-server", "1.0.0", std::nullopt, std::nullopt,
        Capabilities{.completions = Capabilities::Completions{},
                     .logging = Capabilities::Logging{},
                     .prompts = Capabilities::Prompts{.listChanged = true},
                     .resources = Capabilities::Resources{.subscribe = true, .listChanged = true},
                     .tools = Capabilities::Tools{.listChanged = true}});
    addTools(server);
    addCatalogue(*server);
    return server;
}

}  // namespace fixture
