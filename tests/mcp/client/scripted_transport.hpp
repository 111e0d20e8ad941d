#pragma once

// ScriptedTransport: a transport whose peer is the test. It records every message the client
// sends, lets the test hand the client any bytes, end or fail its stream, and fail sends; it
// logs into a journal the test reads. It answers "initialize" by itself with the server
// capabilities the test sets, so a client connects through it in one step.
//
// Everything runs on the test's single-threaded io_context, so the fake needs no strand.

#include "mcp/json/json.hpp"
#include "mcp/protocol/mcp_error.hpp"
#include "mcp/transport/protocol_version_aware.hpp"
#include "mcp/transport/transport.hpp"
#include "tests/logging/recording_log_handler.hpp"

#include "logging/logger.hpp"

#include <boost/asio/awaitable.hpp>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace mcp::testing {

class ScriptedTransport final : public Transport, public ProtocolVersionAware {
public:
    explicit ScriptedTransport(logging::testing::Journal journal = logging::testing::makeJournal())
        : journal_(journal), logger_("scripted", logging::testing::RecordingLogHandler(journal)) {}

    const logging::Logger& logger() const override { return logger_; }

    boost::asio::awaitable<void> connect() override {
        if (connectFailure) std::rethrow_exception(connectFailure);
        connected = true;
        co_return;
    }

    boost::asio::awaitable<void> disconnect() override {
        connected = false;
        ++disconnectCalls;
        if (stream_) stream_->finish();
        co_return;
    }

    boost::asio::awaitable<void> send(OutgoingMessage outgoing) override {
        if (sendFailure) std::rethrow_exception(sendFailure);
        outlines.push_back(outgoing.outline());
        std::string message = std::move(outgoing).text();
        sent.push_back(message);
        const Value parsed = parseJSON(message);
        if (answerInitialize && isRequest(parsed, "initialize")) {
            deliver(R"({"jsonrpc":"2.0","id":)" + writeJSON(*parsed.objectValue()->find("id")) +
                    R"(,"result":{"protocolVersion":")" + protocolVersion + R"(","capabilities":)" + serverCapabilities +
                    R"(,"serverInfo":{"name":"scripted","version":"1.0"}}})");
        }
        if (auto answer = scriptedAnswer(parsed)) {
            deliver(std::move(*answer));
        } else if (const auto* batch = parsed.arrayValue()) {
            std::string answers;
            for (const auto& request : *batch) {
                if (auto one = scriptedAnswer(request)) answers += (answers.empty() ? "" : ",") + *one;
            }
            if (!answers.empty()) deliver("[" + answers + "]");
        }
        if (onSend) onSend(parsed);
        co_return;
    }

    boost::asio::awaitable<void> setNegotiatedProtocolVersion(std::string version) override {
        negotiatedVersion = std::move(version);
        co_return;
    }

    // A new stream each call; once the stream has ended for good, one that has ended.
    std::shared_ptr<MessageStream> receive() override {
        ++receiveCalls;
        stream_ = MessageStream::make();
        for (auto& bytes : std::exchange(waiting_, {})) stream_->push(std::move(bytes));
        if (ended_) stream_->finish();
        return stream_;
    }

    // Hands `bytes` to the client as one incoming message.
    void deliver(std::string bytes) {
        // Until the client asks for a new stream, bytes wait here.
        if (!stream_ || stream_->isFinished()) {
            waiting_.push_back(std::move(bytes));
        } else {
            stream_->push(std::move(bytes));
        }
    }

    // Ends the current stream, with `error` or normally; with `forGood`, later streams end
    // at once too.
    void endStream(std::exception_ptr error = nullptr, bool forGood = true) {
        ended_ = forGood;
        if (stream_) stream_->finish(error);
    }

    // The messages sent so far, read as JSON.
    std::vector<Value> sentMessages() const {
        std::vector<Value> messages;
        for (const auto& text : sent) messages.push_back(parseJSON(text));
        return messages;
    }

    // The sent messages whose "method" is `method`.
    std::vector<Value> sentWithMethod(std::string_view method) const {
        std::vector<Value> matching;
        for (auto& message : sentMessages()) {
            const auto* object = message.objectValue();
            const Value* name = object != nullptr ? object->find("method") : nullptr;
            if (name != nullptr && name->stringValue() != nullptr && *name->stringValue() == method) {
                matching.push_back(message);
            }
        }
        return matching;
    }

    // The logged messages so far, as "level message".
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        for (const auto& received : *journal_) {
            lines.push_back(std::string(logging::rawValue(received.event.level)) + " " + received.event.message.value);
        }
        return lines;
    }

    // The metadata of the first record with `message`; absent when there is none.
    std::optional<logging::Metadata> metadataOf(std::string_view message) const {
        for (const auto& received : *journal_) {
            if (received.event.message.value == message) return received.event.metadata.value_or(logging::Metadata{});
        }
        return std::nullopt;
    }

    // The server capabilities in the scripted answer to "initialize", as JSON.
    std::string serverCapabilities = "{}";
    std::string protocolVersion = "2025-11-25";
    bool answerInitialize = true;
    // Requests answered at once, by method: the JSON of the result. A batch is answered with
    // the array of the answers of its requests.
    std::map<std::string, std::string, std::less<>> results{{"ping", "{}"}};
    std::optional<std::string> negotiatedVersion;
    std::exception_ptr connectFailure;
    std::exception_ptr sendFailure;
    // Called with every message the client sends, after it is recorded.
    std::function<void(const Value&)> onSend;

    std::vector<std::string> sent;
    // What the client told the transport of each message it sent, beside `sent`.
    std::vector<std::optional<OutgoingMessage::Outline>> outlines;
    bool connected = false;
    int receiveCalls = 0;
    int disconnectCalls = 0;

private:
    // The answer to a request whose method has a scripted result.
    std::optional<std::string> scriptedAnswer(const Value& message) const {
        const auto* object = message.objectValue();
        if (object == nullptr || !object->contains("id")) return std::nullopt;
        const Value* method = object->find("method");
        if (method == nullptr || method->stringValue() == nullptr) return std::nullopt;
        const auto result = results.find(*method->stringValue());
        if (result == results.end()) return std::nullopt;
        return R"({"jsonrpc":"2.0","id":)" + writeJSON(*object->find("id")) + R"(,"result":)" + result->second + "}";
    }

    static bool isRequest(const Value& message, std::string_view method) {
        const auto* object = message.objectValue();
        if (object == nullptr || !object->contains("id")) return false;
        const Value* name = object->find("method");
        return name != nullptr && name->stringValue() != nullptr && *name->stringValue() == method;
    }

    logging::testing::Journal journal_;
    logging::Logger logger_;
    std::shared_ptr<MessageStream> stream_;
    std::vector<std::string> waiting_;
    bool ended_ = false;
};

}  // namespace mcp::testing
