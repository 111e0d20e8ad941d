#include "mcp/protocol/mcp_error.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

#include <boost/asio/error.hpp>
#include <boost/system/system_error.hpp>

#include <cerrno>

namespace mcp {

void PrintTo(const MCPError& error, std::ostream* out) { *out << error.debugDescription(); }

namespace {

const URLElicitationInfo kElicitation{"url", "e1", "https://example.com/auth", "Sign in"};

TEST(MCPError, CodesAndTexts) {
    const struct {
        const char* name;
        MCPError error;
        int code;
        std::string_view description, failureReason;
        std::optional<std::string_view> recovery;
    } kCases[] = {
        {"parse", MCPError::parseError(), -32700, "Parse error: Invalid JSON",
         "The server received invalid JSON that could not be parsed", "Verify that the JSON being sent is valid and well-formed"},
        {"parse with detail", MCPError::parseError("D"), -32700, "Parse error: Invalid JSON: D",
         "The server received invalid JSON that could not be parsed", "Verify that the JSON being sent is valid and well-formed"},
        {"invalid request", MCPError::invalidRequest("D"), -32600, "Invalid Request: D",
         "The JSON sent is not a valid Request object", "Ensure the request follows the JSON-RPC 2.0 specification format"},
        {"method not found", MCPError::methodNotFound(), -32601, "Method not found",
         "The method does not exist or is not available", "Check the method name and ensure it is supported by the server"},
        {"invalid params", MCPError::invalidParams("D"), -32602, "Invalid params: D", "Invalid method parameter(s)",
         "Verify the parameters match the method's expected parameters"},
        {"internal", MCPError::internalError(), -32603, "Internal error", "Internal JSON-RPC error", std::nullopt},
        {"server", MCPError::serverError(42, "M"), 42, "Server error: M", "Server-defined error occurred", std::nullopt},
        {"elicitation, none", MCPError::urlElicitationRequired("M", {}), -32042, "URL elicitation required: M",
         "The server requires user authentication or input via external URL", "Complete the required URL-based elicitation"},
        {"elicitation", MCPError::urlElicitationRequired("M", {kElicitation}), -32042, "URL elicitation required: M",
         "The server requires user authentication or input via external URL",
         "Visit https://example.com/auth to complete the required authentication or input"},
        {"transport", MCPError::transportError(std::runtime_error("pipe broke")), -32001, "Transport error: pipe broke",
         "pipe broke", std::nullopt},
        {"closed", MCPError::connectionClosed(), -32000, "Connection closed", "The connection to the server was closed",
         "Try reconnecting to the server"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.error.code(), c.code);
        EXPECT_EQ(c.error.errorDescription(), c.description);
        EXPECT_EQ(c.error.what(), c.description);
        EXPECT_EQ(c.error.failureReason(), c.failureReason);
        EXPECT_EQ(c.error.recoverySuggestion(), c.recovery);
    }
}

TEST(MCPError, DebugDescriptions) {
    EXPECT_EQ(MCPError::connectionClosed().debugDescription(), "[-32000] Connection closed");
    EXPECT_EQ(MCPError::transportError(std::runtime_error("x")).debugDescription(),
              "[-32001] Transport error: x (Underlying error: std::runtime_error: x)");
    const auto wrapped = MCPError::transportError(MCPError::invalidParams("D"));
    EXPECT_EQ(wrapped.failureReason(), "Invalid method parameter(s)");
    EXPECT_EQ(wrapped.debugDescription(), "[-32001] Transport error: Invalid params: D (Underlying error: [-32602] Invalid params: D)");
}

TEST(MCPError, WritesJSONRPCErrorObjects) {
    const struct {
        const char* name;
        MCPError error;
        std::string_view json;
    } kCases[] = {
        {"detail", MCPError::invalidParams("D"), R"({"code":-32602,"message":"Invalid params: D","data":{"detail":"D"}})"},
        {"no detail", MCPError::invalidParams(), R"({"code":-32602,"message":"Invalid params"})"},
        {"server", MCPError::serverError(42, "M"), R"({"code":42,"message":"Server error: M"})"},
        {"elicitation", MCPError::urlElicitationRequired("M", {kElicitation}),
         R"({"code":-32042,"message":"M","data":{"elicitations":[{"mode":"url","elicitationId":"e1","url":"https://example.com/auth","message":"Sign in"}]}})"},
        {"elicitation, empty", MCPError::urlElicitationRequired("M", {}), R"({"code":-32042,"message":"M","data":{"elicitations":[]}})"},
        {"transport", MCPError::transportError(std::runtime_error("x")),
         R"({"code":-32001,"message":"Transport error: x","data":{"error":"x"}})"},
        {"closed", MCPError::connectionClosed(), R"({"code":-32000,"message":"Connection closed"})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(encodeJSON(c.error), c.json);
    }
}

TEST(MCPError, ReadsJSONRPCErrorObjects) {
    const struct {
        std::string_view json;
        MCPError error;
    } kCases[] = {
        {R"({"code":-32603,"message":"M"})", MCPError::internalError()},
        {R"({"code":-32603,"message":"M","data":{"detail":"D"}})", MCPError::internalError("D")},
        {R"({"code":-32602,"message":"M"})", MCPError::invalidParams("M")},
        {R"({"code":-32602,"message":"M","data":{"detail":5}})", MCPError::invalidParams("M")},
        {R"({"code":-32601,"message":"Method not found"})", MCPError::methodNotFound("Method not found")},
        {R"({"code":-32700,"message":"M","data":{"detail":"D"}})", MCPError::parseError("D")},
        {R"({"code":-32600,"message":"M","data":null})", MCPError::invalidRequest("M")},
        {R"({"code":-32000,"message":"whatever","data":{"x":1}})", MCPError::connectionClosed()},
        {R"({"code":42,"message":"M","data":{"detail":"D"}})", MCPError::serverError(42, "M")},
        {R"({"code":-32001,"message":"M"})", MCPError::transportError(std::runtime_error("M"))},
        {R"({"code":-32001,"message":"M","data":{"error":"E"}})", MCPError::transportError(std::runtime_error("E"))},
        {R"({"code":-32042,"message":"M","data":{"elicitations":[{"mode":"url","elicitationId":"e1","url":"https://example.com/auth","message":"Sign in"},{"mode":"url","url":5}]}})",
         MCPError::urlElicitationRequired("M", {kElicitation})},
        {R"({"code":-32042,"message":"M"})", MCPError::urlElicitationRequired("M", {})},
        {R"({"code":-32602.0,"message":"M"})", MCPError::invalidParams("M")},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.json);
        const auto error = decodeJSON<MCPError>(c.json);
        EXPECT_EQ(error, c.error);
        EXPECT_EQ(error.hash(), c.error.hash());
    }
    EXPECT_EQ(decodeJSON<MCPError>(R"({"code":-32601,"message":"Method not found"})").errorDescription(),
              "Method not found: Method not found");
    EXPECT_EQ(decodeJSON<MCPError>(R"({"code":-32001,"message":"M"})").errorDescription(), "Transport error: M");
}

TEST(MCPError, RefusesMalformedErrorObjects) {
    for (const std::string_view json : {R"({"code":42,"message":"M","data":"x"})", R"({"message":"M"})", R"({"code":1})",
                                        R"({"code":"1","message":"M"})", R"({"code":1.5,"message":"M"})", "[]"}) {
        SCOPED_TRACE(json);
        EXPECT_THROW(decodeJSON<MCPError>(json), DecodingError);
    }
}

TEST(MCPError, WrittenAndReadBack) {
    const MCPError kCases[] = {
        MCPError::parseError("D"), MCPError::invalidRequest("D"), MCPError::methodNotFound("D"), MCPError::invalidParams("D"),
        MCPError::internalError("D"), MCPError::internalError(),
        MCPError::urlElicitationRequired("M", {kElicitation}), MCPError::connectionClosed(),
    };
    for (const auto& error : kCases) {
        SCOPED_TRACE(error.debugDescription());
        EXPECT_EQ(decodeJSON<MCPError>(encodeJSON(error)), error);
    }
    // A server error is written with its description as the message, and that is the message
    // it reads back with; one that uses a fixed code comes back as that code's kind.
    EXPECT_EQ(decodeJSON<MCPError>(encodeJSON(MCPError::serverError(7, "M"))), MCPError::serverError(7, "Server error: M"));
    EXPECT_EQ(decodeJSON<MCPError>(encodeJSON(MCPError::serverError(-32601, "M"))), MCPError::methodNotFound("Server error: M"));
}

TEST(MCPError, ResourceTemporarilyUnavailableIsEAGAIN) {
    EXPECT_TRUE(MCPError::isResourceTemporarilyUnavailable(std::system_error(EAGAIN, std::generic_category())));
    EXPECT_TRUE(MCPError::isResourceTemporarilyUnavailable(std::system_error(EWOULDBLOCK, std::system_category())));
    EXPECT_TRUE(MCPError::isResourceTemporarilyUnavailable(boost::system::system_error(boost::asio::error::would_block)));
    EXPECT_TRUE(MCPError::isResourceTemporarilyUnavailable(boost::system::error_code(boost::asio::error::try_again)));
    EXPECT_FALSE(MCPError::isResourceTemporarilyUnavailable(std::system_error(EDEADLK, std::generic_category())));
    EXPECT_FALSE(MCPError::isResourceTemporarilyUnavailable(std::system_error(35, std::generic_category())));
    EXPECT_FALSE(MCPError::isResourceTemporarilyUnavailable(MCPError::internalError()));
    EXPECT_FALSE(MCPError::isResourceTemporarilyUnavailable(std::runtime_error("x")));
}

}  // namespace
}  // namespace mcp
