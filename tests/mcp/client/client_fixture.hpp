#pragma once

// ClientFixture: a client, and either the project's own server on the other end of an
// in-memory pair, or a scripted transport the test plays the server through.
//
//     connectToServer();                                   // real server, handshake done
//     await(client_->ping());
//
//     auto& script = connectScripted();                     // scripted peer, handshake done
//     script.deliver(R"({"jsonrpc":"2.0","id":1,"method":"roots/list"})");

#include "mcp/client/client.hpp"
#include "mcp/server/server.hpp"
#include "mcp/transport/in_memory_transport.hpp"
#include "tests/mcp/client/scripted_transport.hpp"
#include "tests/mcp/io_test_fixture.hpp"

#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace mcp::testing {

class ClientFixture : public IOTestFixture {
protected:
    void TearDown() override {
        if (client_) await(client_->disconnect());
        if (server_) await(server_->stop());
    }

    std::shared_ptr<Client> makeClient(Client::Capabilities capabilities = {},
                                       Client::Configuration configuration = Client::Configuration::defaultConfiguration()) {
        client_ = std::make_shared<Client>(strand_, Client::Options{.name = "test-client",
                                                                    .version = "2.0",
                                                                    .capabilities = std::move(capabilities),
                                                                    .configuration = configuration});
        return client_;
    }

    // A server named "probe" at "1.0" that declares tools, before `connectToServer`.
    std::shared_ptr<Server> makeServer() {
        server_ = std::make_shared<Server>(strand_, "probe", "1.0", std::nullopt, std::string("Be brief."),
                                          Server::Capabilities{.tools = Server::Capabilities::Tools{}});
        return server_;
    }

    // Starts the server (made by `makeServer` first, if need be) and connects the client
    // (likewise) to it; returns the server's answer to the handshake.
    Initialize::Result connectToServer() {
        if (!server_) makeServer();
        if (!client_) makeClient();
        auto [clientEnd, serverEnd] = InMemoryTransport::createConnectedPair(strand_);
        clientEnd_ = clientEnd;
        await(server_->start(serverEnd));
        return await(client_->connect(clientEnd));
    }

    // Connects the client (made first, if need be) through a scripted transport whose
    // answer to "initialize" declares `serverCapabilities`.
    ScriptedTransport& connectScripted(std::string serverCapabilities = "{}") {
        if (!client_) makeClient();
        script_ = std::make_shared<ScriptedTransport>();
        script_->serverCapabilities = std::move(serverCapabilities);
        await(client_->connect(script_));
        return *script_;
    }

    // The one strand of the client, the server and both ends of the pair, as a program that
    // joins them in one process is told to make them: calls between them run in place.
    Strand strand_ = strandOf(io_.get_executor());
    std::shared_ptr<Client> client_;
    std::shared_ptr<Server> server_;
    std::shared_ptr<InMemoryTransport> clientEnd_;
    std::shared_ptr<ScriptedTransport> script_;
};

// The text of what `outcome` failed with; empty when it did not fail.
template <class Outcome>
std::string errorText(const Outcome& outcome) {
    if (!outcome.error) return {};
    try {
        std::rethrow_exception(outcome.error);
    } catch (const std::exception& error) {
        return error.what();
    }
}

}  // namespace mcp::testing
