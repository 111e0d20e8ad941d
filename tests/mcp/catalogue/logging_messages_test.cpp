#include "mcp/catalogue/logging_messages.hpp"

#include "mcp/json/json.hpp"
#include "mcp/protocol/envelopes.hpp"
#include "tests/mcp/read_and_write.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

using testing::readAndWrite;

TEST(LogLevels, ListedFromDebugToEmergencyAndMatchedExactly) {
    EXPECT_EQ(kAllLogLevels.front(), LogLevel::debug);
    EXPECT_EQ(kAllLogLevels.back(), LogLevel::emergency);
    for (const LogLevel level : kAllLogLevels) {
        SCOPED_TRACE(rawValue(level));
        EXPECT_EQ(logLevelFromRawValue(rawValue(level)), level);
    }
    EXPECT_EQ(logLevelFromRawValue("Error"), std::nullopt);
}

TEST(LoggingMessages, ParametersReadAndWrite) {
    const struct {
        std::string_view name, in, out;
        std::string (*roundTrip)(std::string_view);
    } kCases[] = {
        {"set level", R"({"level":"error"})", R"({"level":"error"})", readAndWrite<SetLoggingLevel::Parameters>},
        {"set level, capitalised", R"({"level":"Error"})", R"(error: dataCorrupted at level: Unknown log level "Error")",
         readAndWrite<SetLoggingLevel::Parameters>},
        {"set level, number", R"({"level":3})", "error: typeMismatch at level: Expected a string but found a number",
         readAndWrite<SetLoggingLevel::Parameters>},
        {"set level, missing", "{}", R"(error: keyNotFound: No value associated with key "level")",
         readAndWrite<SetLoggingLevel::Parameters>},
        {"message, null data", R"({"data":null,"level":"debug"})", R"({"level":"debug","data":null})",
         readAndWrite<LogMessageNotification::Parameters>},
        {"message in full", R"({"data":{"a":[1]},"logger":"db","level":"alert","x":1})",
         R"({"level":"alert","logger":"db","data":{"a":[1]}})", readAndWrite<LogMessageNotification::Parameters>},
        {"message, null logger", R"({"level":"info","logger":null,"data":"x"})", R"({"level":"info","data":"x"})",
         readAndWrite<LogMessageNotification::Parameters>},
        {"message without data", R"({"level":"debug"})", R"(error: keyNotFound: No value associated with key "data")",
         readAndWrite<LogMessageNotification::Parameters>},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.roundTrip(c.in), c.out);
    }
}

TEST(LoggingMessages, Envelopes) {
    EXPECT_EQ(readAndWrite<Request<SetLoggingLevel>>(R"({"jsonrpc":"2.0","id":1,"method":"logging/setLevel"})"),
              "error: dataCorrupted: Missing required params field");
    EXPECT_EQ(readAndWrite<Response<SetLoggingLevel>>(R"({"jsonrpc":"2.0","id":1,"result":{}})"),
              R"({"jsonrpc":"2.0","id":1,"result":{}})");
    EXPECT_EQ(encodeJSON(makeMessage<LogMessageNotification>({.level = LogLevel::warning, .data = "disk"})),
              R"({"jsonrpc":"2.0","method":"notifications/message","params":{"level":"warning","data":"disk"}})");
}

}  // namespace
}  // namespace mcp
