#include "mcp/catalogue/resource_methods.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(ResourceMethods, NamesAndTheirParameterRules) {
    EXPECT_EQ(ListResources::name, "resources/list");
    EXPECT_EQ(ReadResource::name, "resources/read");
    EXPECT_EQ(ListResourceTemplates::name, "resources/templates/list");
    EXPECT_EQ(ResourceSubscribe::name, "resources/subscribe");
    EXPECT_EQ(ResourceUnsubscribe::name, "resources/unsubscribe");
    EXPECT_EQ(ResourceListChangedNotification::name, "notifications/resources/list_changed");
    EXPECT_EQ(ResourceUpdatedNotification::name, "notifications/resources/updated");
    static_assert(NotRequired<ListResources::Parameters> && NotRequired<ListResourceTemplates::Parameters>);
    static_assert(!NotRequired<ReadResource::Parameters> && !NotRequired<ResourceSubscribe::Parameters>);
}

TEST(ResourceMethods, ParametersReadAndWrite) {
    EXPECT_EQ(encodeJSON(ListResources::Parameters{}), "{}");
    EXPECT_EQ(encodeJSON(ListResources::Parameters{.cursor = "c2"}), R"({"cursor":"c2"})");
    EXPECT_EQ(readAndWrite<ListResourceTemplates::Parameters>(R"({"cursor":null,"x":1})"), "{}");
    EXPECT_EQ(readAndWrite<ReadResource::Parameters>(R"({"uri":"file:///a","x":1})"), R"({"uri":"file:///a"})");
    EXPECT_EQ(readAndWrite<ResourceSubscribe::Parameters>("{}"),
              R"(error: keyNotFound: No value associated with key "uri")");
}

TEST(ResourceMethods, ResultsReadAndWrite) {
    const struct {
        std::string_view name, in, out;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"empty list", R"({"resources":[]})", R"({"resources":[]})", readAndWrite<ListResources::Result>},
        {"list with cursor", R"({"_meta":{"a":1},"nextCursor":"n","resources":[{"uri":"u","name":"a"}]})",
         R"({"resources":[{"name":"a","uri":"u"}],"nextCursor":"n","_meta":{"a":1}})", readAndWrite<ListResources::Result>},
        {"null cursor", R"({"resources":[],"nextCursor":null})", R"({"resources":[]})", readAndWrite<ListResources::Result>},
        {"no list", "{}", R"(error: keyNotFound: No value associated with key "resources")",
         readAndWrite<ListResources::Result>},
        {"one bad element", R"({"resources":[{"name":"a","uri":"u"},{"name":"b"}]})",
         R"(error: keyNotFound at resources[1]: No value associated with key "uri")", readAndWrite<ListResources::Result>},
        {"contents", R"({"contents":[{"uri":"u","text":"t"},{"uri":"v","blob":""}]})",
         R"({"contents":[{"uri":"u","text":"t"},{"uri":"v","blob":""}]})", readAndWrite<ReadResource::Result>},
        {"no contents", R"({"_meta":{}})", R"(error: keyNotFound: No value associated with key "contents")",
         readAndWrite<ReadResource::Result>},
        {"empty contents", R"({"contents":[]})", R"({"contents":[]})", readAndWrite<ReadResource::Result>},
        {"templates", R"({"resourceTemplates":[{"uriTemplate":"t","name":"n"}],"nextCursor":"c"})",
         R"({"resourceTemplates":[{"uriTemplate":"t","name":"n"}],"nextCursor":"c"})",
         readAndWrite<ListResourceTemplates::Result>},
        {"templates misspelt", R"({"templates":[]})",
         R"(error: keyNotFound: No value associated with key "resourceTemplates")",
         readAndWrite<ListResourceTemplates::Result>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.in), c.out);
    }
}

TEST(ResourceMethods, NotificationValuesAreMarkers) {
    EXPECT_EQ(encodeJSON(ResourceListChangedNotification{}), "{}");
    EXPECT_EQ(decodeJSON<ResourceUpdatedNotification>("[1,2]"), ResourceUpdatedNotification{});
    EXPECT_EQ(std::hash<ResourceListChangedNotification>{}(decodeJSON<ResourceListChangedNotification>("[1,2]")),
              std::hash<ResourceListChangedNotification>{}({}));
}

// What the envelopes make of each method's "params".
TEST(ResourceMethods, EnvelopesApplyTheParameterRules) {
    const struct {
        std::string_view name, json, want;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"list without params", R"({"jsonrpc":"2.0","id":1,"method":"resources/list"})",
         R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":{}})", readAndWrite<Request<ListResources>>},
        {"list with null params", R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":null})",
         R"({"jsonrpc":"2.0","id":1,"method":"resources/list","params":{}})", readAndWrite<Request<ListResources>>},
        {"templates with a cursor",
         R"({"jsonrpc":"2.0","id":"a","method":"resources/templates/list","params":{"cursor":"c"}})",
         R"({"jsonrpc":"2.0","id":"a","method":"resources/templates/list","params":{"cursor":"c"}})",
         readAndWrite<Request<ListResourceTemplates>>},
        {"read without params", R"({"jsonrpc":"2.0","id":1,"method":"resources/read"})",
         "error: dataCorrupted: Missing required params field", readAndWrite<Request<ReadResource>>},
        {"subscribe without uri", R"({"jsonrpc":"2.0","id":1,"method":"resources/subscribe","params":{}})",
         "error: dataCorrupted: Invalid params field", readAndWrite<Request<ResourceSubscribe>>},
        {"unsubscribe", R"({"jsonrpc":"2.0","id":2,"method":"resources/unsubscribe","params":{"uri":"u"}})",
         R"({"jsonrpc":"2.0","id":2,"method":"resources/unsubscribe","params":{"uri":"u"}})",
         readAndWrite<Request<ResourceUnsubscribe>>},
        {"subscribe answer", R"({"jsonrpc":"2.0","id":1,"result":{}})", R"({"jsonrpc":"2.0","id":1,"result":{}})",
         readAndWrite<Response<ResourceSubscribe>>},
        {"list changed", R"({"jsonrpc":"2.0","method":"notifications/resources/list_changed","params":{"x":1}})",
         R"({"jsonrpc":"2.0","method":"notifications/resources/list_changed"})",
         readAndWrite<Message<ResourceListChangedNotification>>},
        {"updated", R"({"jsonrpc":"2.0","method":"notifications/resources/updated","params":{"uri":"u"}})",
         R"({"jsonrpc":"2.0","method":"notifications/resources/updated","params":{"uri":"u"}})",
         readAndWrite<Message<ResourceUpdatedNotification>>},
        {"updated without params", R"({"jsonrpc":"2.0","method":"notifications/resources/updated"})",
         "error: dataCorrupted: Missing required params field", readAndWrite<Message<ResourceUpdatedNotification>>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.json), c.want);
    }
}

}  // namespace
}  // namespace mcp
