// The conformance fixture server, in its own process on 127.0.0.1, driven by the library's own
// client with the standing stream off: everything the server sends while it runs a tool has
// to come on the stream that answers the tool call.

#include "mcp/client/client.hpp"
#include "mcp/http/client/http_client_transport.hpp"
#include "mcp/protocol/metadata.hpp"
#include "mcp/protocol/utility_messages.hpp"
#include "tests/mcp/io_test_fixture.hpp"
#include "tests/support/http/example_server_process.hpp"

#include <boost/url/parse.hpp>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mcp {
namespace {

namespace asio = boost::asio;

class ConformanceServerWithoutStandingStream : public testing::IOTestFixture {
protected:
    void SetUp() override {
        HTTPClientTransport::Options options;
        options.streaming = false;
        auto transport =
            HTTPClientTransport::make(io_.get_executor(), boost::urls::parse_uri(server_.url()).value(), options);
        client_ = std::make_shared<Client>(
            io_.get_executor(),
            Client::Options{.name = "test", .version = "1", .capabilities = {.sampling = ClientCapabilities::Sampling{}}});
        client_->onNotification<ProgressNotification>(
            [this](Message<ProgressNotification> message) -> asio::awaitable<void> {
                progress_.push_back(message.params.progress);
                co_return;
            });
        client_->withSamplingHandler(
            [this](CreateSamplingMessage::Parameters params) -> asio::awaitable<CreateSamplingMessage::Result> {
                prompts_.push_back(params.messages.at(0).content);
                co_return CreateSamplingMessage::Result{.model = "test-model",
                                                        .content = Sampling::Message::Content("Hello back")};
            });
        await(client_->connect(std::move(transport)));
    }

    void TearDown() override { await(client_->disconnect()); }

    test_support::ExampleServerProcess server_{CONFORMANCE_SERVER_PATH};
    std::shared_ptr<Client> client_;
    std::vector<double> progress_;
    std::vector<Sampling::Message::Content> prompts_;
};

TEST_F(ConformanceServerWithoutStandingStream, GetsAToolsProgress) {
    const auto outcome = await(client_->callTool("test_tool_with_progress", std::nullopt,
                                                 Metadata(ProgressToken("progress-1"), {})));
    EXPECT_EQ(outcome.content, std::vector{Tool::Content::text("Progress reported")});
    runUntil([&] { return progress_.size() == 3; });
    EXPECT_EQ(progress_, (std::vector<double>{0, 50, 100}));
}

TEST_F(ConformanceServerWithoutStandingStream, AnswersTheSamplingRequestOfATool) {
    const auto outcome = await(client_->callTool("test_sampling", ValueObject{{"prompt", "Say hello"}}));
    EXPECT_EQ(outcome.content, std::vector{Tool::Content::text("LLM response: Hello back")});
    EXPECT_EQ(prompts_, std::vector{Sampling::Message::Content("Say hello")});
}

TEST_F(ConformanceServerWithoutStandingStream, ResumesTheStreamThatTheServerClosedBeforeItsAnswer) {
    const auto outcome = await(client_->callTool("test_reconnection"));
    EXPECT_EQ(outcome.content, std::vector{Tool::Content::text("Reconnection test completed successfully")});
}

}  // namespace
}  // namespace mcp
