#include "mcp/protocol/utility_messages.hpp"

#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

static_assert(Method<Ping> && Notification<CancelledNotification> && Notification<ProgressNotification>);

TEST(UtilityMessages, PingEnvelopes) {
    EXPECT_EQ(encodeJSON(makeRequest<Ping>(1)), R"({"jsonrpc":"2.0","id":1,"method":"ping","params":{}})");
    EXPECT_EQ(encodeJSON(makeResponse<Ping>(1), KeyOrder::sorted), R"({"id":1,"jsonrpc":"2.0","result":{}})");
    EXPECT_EQ(decodeJSON<Request<Ping>>(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), makeRequest<Ping>(1));
}

TEST(UtilityMessages, CancelledParameters) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"{}", "{}"},
        {R"({"requestId":5,"reason":"timeout"})", R"({"requestId":5,"reason":"timeout"})"},
        {R"({"reason":"r","requestId":"a","extra":1})", R"({"requestId":"a","reason":"r"})"},
        {R"({"requestId":null,"reason":null})", "{}"},
        {R"({"requestId":1.5})", "error: dataCorrupted at requestId: ID must be string or number"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<CancelledNotification::Parameters>(c.in), c.out);
    }
    EXPECT_EQ(encodeJSON(makeMessage<CancelledNotification>({ID(5), "timeout"})),
              R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":{"requestId":5,"reason":"timeout"}})");
}

TEST(UtilityMessages, ProgressParameters) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"progressToken":3,"progress":0.5})", R"({"progressToken":3,"progress":0.5})"},
        {R"({"message":"m","total":10,"progress":1,"progressToken":"t"})", R"({"progressToken":"t","progress":1.0,"total":10.0,"message":"m"})"},
        {R"({"progressToken":3,"progress":0.5,"total":null})", R"({"progressToken":3,"progress":0.5})"},
        {R"({"progressToken":3})", R"(error: keyNotFound: No value associated with key "progress")"},
        {R"({"progress":1})", R"(error: keyNotFound: No value associated with key "progressToken")"},
        {R"({"progressToken":7.5,"progress":0.5})", "error: dataCorrupted at progressToken: Progress token must be a string or integer"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ProgressNotification::Parameters>(c.in), c.out);
    }
}

}  // namespace
}  // namespace mcp
