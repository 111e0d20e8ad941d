#include "mcp/protocol/initialize.hpp"

#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

static_assert(Method<Initialize> && Notification<InitializedNotification>);
static_assert(!NotRequired<Initialize::Parameters>);

TEST(Version, SupportedAndLatest) {
    EXPECT_EQ(Version::latest(), "2025-11-25");
    EXPECT_EQ(Version::supported(), (std::set<std::string, std::less<>>{"2024-11-05", "2025-03-26", "2025-06-18", "2025-11-25"}));
    EXPECT_TRUE(Version::supported().contains("2025-03-26"));
    EXPECT_FALSE(Version::supported().contains("2025-03-27"));
}

TEST(Version, Negotiation) {
    const struct {
        std::string_view requested, answered;
    } kCases[] = {
        {"2025-11-25", "2025-11-25"},
        {"2025-06-18", "2025-06-18"},
        {"2025-03-26", "2025-03-26"},
        {"2024-11-05", "2024-11-05"},
        {"1999-01-01", "2025-11-25"},
        {"2026-01-01", "2025-11-25"},
        {"2025-03-27", "2025-11-25"},
        {"", "2025-11-25"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.requested);
        EXPECT_EQ(Version::negotiate(c.requested), c.answered);
    }
}

TEST(Initialize, ParametersFillWhatIsMissing) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {"{}", R"({"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {R"({"protocolVersion":null,"capabilities":null,"clientInfo":null})",
         R"({"protocolVersion":"2025-11-25","capabilities":{},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {R"({"protocolVersion":"1999-01-01","clientInfo":{"name":"c","version":"2"},"x":1})",
         R"({"protocolVersion":"1999-01-01","capabilities":{},"clientInfo":{"name":"c","version":"2"}})"},
        {R"({"capabilities":{"sampling":true,"elicitation":{}}})",
         R"({"protocolVersion":"2025-11-25","capabilities":{"sampling":{},"elicitation":{"form":{}}},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {R"({"capabilities":{"experimental":{"x":{"on":true}}}})",
         R"({"protocolVersion":"2025-11-25","capabilities":{"experimental":{"x":{"on":true}}},"clientInfo":{"name":"unknown","version":"0.0.0"}})"},
        {R"({"protocolVersion":20251125})", "error: typeMismatch at protocolVersion: Expected a string but found a number"},
        {R"({"clientInfo":{"name":"x"}})", R"(error: keyNotFound at clientInfo: No value associated with key "version")"},
        {R"({"capabilities":{"roots":true}})", "error: typeMismatch at capabilities.roots: Expected an object but found a boolean"},
        {"[]", "error: typeMismatch: Expected an object but found an array"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Initialize::Parameters>(c.in), c.out);
    }
}

TEST(Initialize, ResultReadsAndWrites) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"protocolVersion":"2025-06-18","capabilities":{"tools":{}},"serverInfo":{"name":"probe","version":"1.0"}})",
         R"({"protocolVersion":"2025-06-18","capabilities":{"tools":{}},"serverInfo":{"name":"probe","version":"1.0"}})"},
        {R"({"_meta":{"k":1},"instructions":"Use it.","serverInfo":{"name":"p","version":"1"},"capabilities":{},"protocolVersion":"v"})",
         R"({"protocolVersion":"v","capabilities":{},"serverInfo":{"name":"p","version":"1"},"instructions":"Use it.","_meta":{"k":1}})"},
        {R"({"protocolVersion":"v","capabilities":{},"serverInfo":{"name":"p","version":"1"},"instructions":null,"_meta":null})",
         R"({"protocolVersion":"v","capabilities":{},"serverInfo":{"name":"p","version":"1"}})"},
        {R"({"protocolVersion":"v","serverInfo":{"name":"p","version":"1"}})",
         R"(error: keyNotFound: No value associated with key "capabilities")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<Initialize::Result>(c.in), c.out);
    }
}

TEST(Initialize, HandshakeEnvelopes) {
    EXPECT_EQ(testing::readAndWrite<Request<Initialize>>(R"({"jsonrpc":"2.0","id":1,"method":"initialize"})"),
              "error: dataCorrupted: Missing required params field");
    EXPECT_EQ(encodeJSON(makeMessage<InitializedNotification>()), R"({"jsonrpc":"2.0","method":"notifications/initialized"})");
    EXPECT_EQ(decodeJSON<Message<InitializedNotification>>(R"({"jsonrpc":"2.0","method":"notifications/initialized","params":7})").method,
              "notifications/initialized");
}

}  // namespace
}  // namespace mcp
