#include "mcp/catalogue/roots.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(Roots, ResultsReadAndWrite) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"roots":[]})", R"({"roots":[]})"},
        {R"({"_meta":{"a":1},"roots":[{"uri":"file:///home/ada"},{"name":"Notes","uri":"not a uri","_meta":{}}]})",
         R"({"roots":[{"uri":"file:///home/ada"},{"uri":"not a uri","name":"Notes","_meta":{}}],"_meta":{"a":1}})"},
        {R"({"roots":[{"uri":"u","name":null}]})", R"({"roots":[{"uri":"u"}]})"},
        {R"({"roots":[{"name":"x"}]})", R"(error: keyNotFound at roots[0]: No value associated with key "uri")"},
        {R"({"roots":[{"uri":1}]})", "error: typeMismatch at roots[0].uri: Expected a string but found a number"},
        {"{}", R"(error: keyNotFound: No value associated with key "roots")"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ListRoots::Result>(c.in), c.out);
    }
}

TEST(Roots, TheRequestCarriesEmptyParamsAndTheNotificationNone) {
    EXPECT_EQ(encodeJSON(makeRequest<ListRoots>(ID(1))), R"({"jsonrpc":"2.0","id":1,"method":"roots/list","params":{}})");
    EXPECT_EQ(encodeJSON(makeMessage<RootsListChangedNotification>()),
              R"({"jsonrpc":"2.0","method":"notifications/roots/list_changed"})");
    EXPECT_NE((Root{.uri = "u", .name = "n"}), Root{.uri = "u"});
}

}  // namespace
}  // namespace mcp
