#include "mcp/catalogue/tool_methods.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

#include <limits>
#include <vector>

namespace mcp {
namespace {

using testing::readAndWrite;

static_assert(Method<ListTools> && Method<CallTool> && Notification<ToolListChangedNotification>);
static_assert(NotRequired<ListTools::Parameters> && !NotRequired<CallTool::Parameters>);

TEST(ListTools, ParametersAndResult) {
    EXPECT_EQ(readAndWrite<ListTools::Parameters>("{}"), "{}");
    EXPECT_EQ(readAndWrite<ListTools::Parameters>(R"({"cursor":"c2","x":1})"), R"({"cursor":"c2"})");
    EXPECT_EQ(readAndWrite<ListTools::Parameters>(R"({"cursor":null})"), "{}");

    const struct {
        std::string_view in, out;
    } kResults[] = {
        {R"({"tools":[]})", R"({"tools":[]})"},
        {R"({"_meta":{"a":1},"nextCursor":"n","tools":[{"name":"t","inputSchema":{}}]})",
         R"({"tools":[{"name":"t","description":null,"inputSchema":{}}],"nextCursor":"n","_meta":{"a":1}})"},
        {R"({"tools":[],"nextCursor":null})", R"({"tools":[]})"},
        {R"({"nextCursor":"n"})", R"(error: keyNotFound: No value associated with key "tools")"},
        {R"({"tools":[{"name":"t"}]})", R"(error: keyNotFound at tools[0]: No value associated with key "inputSchema")"},
    };
    for (const auto& c : kResults) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<ListTools::Result>(c.in), c.out);
    }
}

TEST(CallTool, Parameters) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"name":"look"})", R"({"name":"look"})"},
        {R"({"arguments":{"reason":"r"},"name":"look","_meta":{"progressToken":1}})",
         R"({"_meta":{"progressToken":1},"name":"look","arguments":{"reason":"r"}})"},
        {R"({"name":"look","arguments":null})", R"({"name":"look"})"},
        {R"({"name":"look","arguments":{"image":"data:,Hello%2C%20World"}})",
         R"({"name":"look","arguments":{"image":"data:,Hello%2C%20World"}})"},
        {R"({"arguments":{}})", R"(error: keyNotFound: No value associated with key "name")"},
        {R"({"name":"look","arguments":[1]})", "error: typeMismatch at arguments: Expected an object but found an array"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<CallTool::Parameters>(c.in), c.out);
    }
}

TEST(CallTool, AnArgumentHoldingADataURLReadsAsBytes) {
    const auto params = decodeJSON<CallTool::Parameters>(R"({"name":"n","arguments":{"file":"data:text/plain;base64,SGk="}})");
    const auto* data = params.arguments->find("file")->dataValue();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->bytes(), "Hi");
    EXPECT_EQ(data->mimeType(), "text/plain");
}

TEST(CallTool, Result) {
    const struct {
        std::string_view in, out;
    } kCases[] = {
        {R"({"content":[]})", R"({"content":[]})"},
        {R"({"content":[],"isError":null})", R"({"content":[]})"},
        {R"({"content":[],"isError":false})", R"({"content":[],"isError":false})"},
        {R"({"_meta":{},"isError":true,"structuredContent":{"ok":false},"content":[{"type":"text","text":"No."}]})",
         R"({"content":[{"type":"text","text":"No."}],"structuredContent":{"ok":false},"isError":true,"_meta":{}})"},
        {R"({"content":[],"structuredContent":[1,"a"]})", R"({"content":[],"structuredContent":[1,"a"]})"},
        {R"({"isError":true})", R"(error: keyNotFound: No value associated with key "content")"},
        {R"({"content":[{"type":"text","text":"a"},{"type":"video"}]})", "error: dataCorrupted at content[1].type: Unknown tool content type"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(readAndWrite<CallTool::Result>(c.in), c.out);
    }
}

TEST(CallTool, ResultWithStructuredContentOfAnyCodableType) {
    const auto result = CallTool::Result::withStructuredContent({Tool::Content::text("ok")},
                                                                Tool::Annotations{.readOnlyHint = true}, false);
    EXPECT_EQ(encodeJSON(result),
              R"({"content":[{"type":"text","text":"ok"}],"structuredContent":{"readOnlyHint":true},"isError":false})");
}

TEST(CallTool, StructuredContentThatCantBeWrittenFailsWhereTheResultIsMade) {
    const double kUnwritable[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity()};
    for (const double number : kUnwritable) {
        SCOPED_TRACE(number);
        // Deep inside the value, where only a walk of the whole value finds it.
        const std::vector<std::vector<double>> structured{{1.0}, {2.0, number}};
        try {
            (void)CallTool::Result::withStructuredContent({}, structured);
            ADD_FAILURE() << "a result holding " << number << " was made";
        } catch (const EncodingError& error) {
            // The writer's own refusal, word for word.
            try {
                (void)writeJSON(Value(number));
                ADD_FAILURE() << "the writer wrote " << number;
            } catch (const EncodingError& written) {
                EXPECT_STREQ(error.what(), written.what());
            }
        }
    }
    EXPECT_NO_THROW((void)CallTool::Result::withStructuredContent({}, std::vector<double>{1.5, -0.0, 1e300}));
}

TEST(ToolMethods, Envelopes) {
    constexpr auto list = readAndWrite<Request<ListTools>>;
    constexpr auto call = readAndWrite<Request<CallTool>>;
    const struct {
        std::string_view name;
        std::string (*read)(std::string_view);
        std::string_view in, out;
    } kCases[] = {
        {"tools/list without params", list, R"({"jsonrpc":"2.0","id":1,"method":"tools/list"})",
         R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{}})"},
        {"tools/list with null params", list, R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":null})",
         R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":{}})"},
        {"tools/list with params of the wrong kind", list, R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":5})",
         "error: typeMismatch at params: Expected an object but found a number"},
        {"tools/call without params", call, R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})",
         "error: dataCorrupted: Missing required params field"},
        {"tools/call with null params", call, R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":null})",
         "error: dataCorrupted: Missing required params field"},
        {"tools/call without a name", call, R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{"arguments":{}}})",
         "error: dataCorrupted: Invalid params field"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.read(c.in), c.out);
    }
    EXPECT_EQ(encodeJSON(makeMessage<ToolListChangedNotification>()),
              R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})");
}

}  // namespace
}  // namespace mcp
