// The HTTP client transport against the project's stateful example server (its own process),
// through a relay on 127.0.0.1 that can cut every connection, as a network would.

#include "mcp/http/client/http_client_transport.hpp"

#include "tests/logging/recording_log_handler.hpp"
#include "tests/mcp/io_test_fixture.hpp"
#include "tests/support/http/example_server_process.hpp"
#include "tests/support/http/tcp_relay.hpp"

#include <boost/json/parse.hpp>
#include <boost/url/parse.hpp>


namespace mcp {
namespace {

std::string request(int id, std::string_view method, std::string_view params) {
    return R"({"jsonrpc":"2.0","id":)" + std::to_string(id) + R"(,"method":")" + std::string(method) +
           R"(","params":)" + std::string(params) + "}";
}

class StatefulServerInterop : public testing::IOTestFixture {
protected:
    void SetUp() override {
        HTTPClientTransport::Options options;
        options.logger = logging::Logger("test", logging::testing::RecordingLogHandler(journal_));
        transport_ = HTTPClientTransport::make(
            io_.get_executor(),
            boost::urls::parse_uri("http://127.0.0.1:" + std::to_string(relay_.port()) + "/mcp").value(), options);
        await(transport_->connect());
        incoming_ = transport_->receive();
        await(transport_->send(request(1, "initialize",
                                       R"({"protocolVersion":"2025-06-18","capabilities":{},)"
                                       R"("clientInfo":{"name":"test","version":"1"}})")));
        ASSERT_NE(next().find("\"result\""), std::string::npos);
        await(transport_->send(R"({"jsonrpc":"2.0","method":"notifications/initialized"})"));
        await(transport_->updateNegotiatedProtocolVersion("2025-06-18"));
    }

    void TearDown() override { await(transport_->disconnect()); }

    std::string next() {
        auto message = await(incoming_->next());
        if (!message) throw std::runtime_error("the incoming stream ended");
        return message->text();
    }

    // The standing stream is open once its priming event's id has been stored.
    std::size_t standingStreamsOpened() const {
        std::size_t count = 0;
        for (const auto& received : *journal_) {
            if (received.event.message.description() != "Stored event ID for resumability") continue;
            const auto& metadata = received.event.metadata;
            if (!metadata) continue;
            const auto id = metadata->find("eventID");
            if (id != metadata->end() && id->second.description().starts_with("_GET_stream_")) ++count;
        }
        return count;
    }

    // The methods, or for responses "result", of the next `count` messages, in any order.
    std::multiset<std::string> kinds(int count) {
        std::multiset<std::string> seen;
        for (int i = 0; i < count; ++i) {
            const auto message = boost::json::parse(next()).as_object();
            seen.insert(message.contains("method") ? std::string(message.at("method").as_string()) : "result");
        }
        return seen;
    }

    test_support::ExampleServerProcess server_{STATEFUL_HTTP_SERVER_PATH};
    test_support::TCPRelay relay_{server_.port()};
    logging::testing::Journal journal_ = logging::testing::makeJournal();
    std::shared_ptr<HTTPClientTransport> transport_;
    std::shared_ptr<MessageStream> incoming_;
};

TEST_F(StatefulServerInterop, AnswersAndServerMessagesArriveAndAGapIsReplayedAfterTheReconnect) {
    pollUntil([&] { return standingStreamsOpened() == 1; });
    await(transport_->send(request(2, "tools/call", R"({"name":"progress","arguments":{"count":1},"_meta":{"progressToken":"p2"}})")));
    EXPECT_EQ(kinds(2), (std::multiset<std::string>{"notifications/progress", "result"}))
        << "the answer came on the POST's stream, the notification on the standing one";

    relay_.dropAll();
    await(transport_->send(request(3, "tools/call", R"({"name":"progress","arguments":{"count":2},"_meta":{"progressToken":"p3"}})")));
    EXPECT_EQ(kinds(1), (std::multiset<std::string>{"result"}));
    EXPECT_EQ(kinds(2), (std::multiset<std::string>{"notifications/progress", "notifications/progress"}))
        << "the notifications sent while the standing stream was down arrive after the reconnect";
    EXPECT_GE(standingStreamsOpened(), 2u);
}

}  // namespace
}  // namespace mcp
