#pragma once

// NotingEnd: the server's end of an in-memory pair that notes, for each message the server
// writes, which request it names: "-" for none, the id of the request a response answers, or
// "about " and the id of the request being served when a request or notification went out.

#include "mcp/transport/in_memory_transport.hpp"

#include <memory>
#include <string>
#include <vector>

namespace mcp::testing {

class NotingEnd final : public Transport {
public:
    NotingEnd(std::shared_ptr<InMemoryTransport> inner, std::vector<std::string>& noted)
        : inner_(std::move(inner)), noted_(noted) {}

    const logging::Logger& logger() const override { return inner_->logger(); }
    boost::asio::awaitable<void> connect() override { return inner_->connect(); }
    boost::asio::awaitable<void> disconnect() override { return inner_->disconnect(); }
    std::shared_ptr<MessageStream> receive() override { return inner_->receive(); }
    boost::asio::awaitable<void> send(OutgoingMessage message) override {
        noted_.push_back("-");
        return inner_->send(std::move(message));
    }
    boost::asio::awaitable<void> sendResponse(std::string message, const ID& id) override {
        noted_.push_back(id.description());
        return inner_->send(std::move(message));
    }
    boost::asio::awaitable<void> sendRelated(std::string message, const ID& relatedRequestID) override {
        noted_.push_back("about " + relatedRequestID.description());
        return inner_->send(std::move(message));
    }

private:
    std::shared_ptr<InMemoryTransport> inner_;
    std::vector<std::string>& noted_;
};

}  // namespace mcp::testing
