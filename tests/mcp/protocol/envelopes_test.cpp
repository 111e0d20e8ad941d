#include "mcp/protocol/envelopes.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

// A method without parameters or result, like "ping".
struct Bare {
    static constexpr std::string_view name = "ping";
    using Parameters = Empty;
    using Result = Empty;
};

// Parameters that a request must carry, like those of "tools/call".
struct NamedParameters {
    std::string name;
    friend bool operator==(const NamedParameters&, const NamedParameters&) = default;
};

// Parameters that may be left out but must be an object when present, like those of
// "tools/list".
struct CursorParameters {
    std::optional<std::string> cursor;
    friend bool operator==(const CursorParameters&, const CursorParameters&) = default;
};

}  // namespace

template <>
struct Codec<NamedParameters> {
    static Value encode(const NamedParameters& p) { return ObjectBuilder().add("name", p.name).build(); }
    static NamedParameters decode(const Value& value, const CodingPath& path) {
        return {ObjectReader(value, path).required<std::string>("name")};
    }
};

template <>
struct Codec<CursorParameters> {
    static Value encode(const CursorParameters& p) { return ObjectBuilder().addIfPresent("cursor", p.cursor).build(); }
    static CursorParameters decode(const Value& value, const CodingPath& path) {
        return {ObjectReader(value, path).optional<std::string>("cursor")};
    }
};

template <>
inline constexpr bool enableNotRequired<CursorParameters> = true;

namespace {

struct Named {
    static constexpr std::string_view name = "tools/call";
    using Parameters = NamedParameters;
    using Result = Value;
};

struct Paged {
    static constexpr std::string_view name = "tools/list";
    using Parameters = CursorParameters;
    using Result = Value;
};

struct Initialized {
    static constexpr std::string_view name = "notifications/initialized";
    using Parameters = Empty;
};

struct Cancelled {
    static constexpr std::string_view name = "notifications/cancelled";
    using Parameters = Value;
};

static_assert(Method<AnyMethod> && Method<Bare> && Notification<AnyNotification> && Notification<Initialized>);
static_assert(NotRequired<Empty> && NotRequired<Value> && !NotRequired<NamedParameters>);

// Reads `json` as `T` and returns the error's debug description, or "" when it reads.
template <class T>
std::string decodingFailure(std::string_view json) {
    try {
        decodeJSON<T>(json);
        return "";
    } catch (const DecodingError& error) {
        return error.debugDescription();
    }
}

TEST(Envelopes, WriteMembersInTheirOrder) {
    const struct {
        const char* name;
        std::string json, expected;
    } kCases[] = {
        {"ping request", encodeJSON(makeRequest<Bare>(1)), R"({"jsonrpc":"2.0","id":1,"method":"ping","params":{}})"},
        {"string id", encodeJSON(makeRequest<Named>("a", {"echo"})),
         R"({"jsonrpc":"2.0","id":"a","method":"tools/call","params":{"name":"echo"}})"},
        {"null params", encodeJSON(Request<AnyMethod>{7, "x", Value()}), R"({"jsonrpc":"2.0","id":7,"method":"x","params":null})"},
        {"empty response", encodeJSON(makeResponse<Bare>(1)), R"({"jsonrpc":"2.0","id":1,"result":{}})"},
        {"error response", encodeJSON(makeErrorResponse<Bare>(ID(2), MCPError::methodNotFound("Unknown method: foo"))),
         R"({"jsonrpc":"2.0","id":2,"error":{"code":-32601,"message":"Method not found: Unknown method: foo","data":{"detail":"Unknown method: foo"}}})"},
        {"error without id", encodeJSON(makeErrorResponse<AnyMethod>(std::nullopt, MCPError::parseError("Invalid message format"))),
         R"({"jsonrpc":"2.0","id":null,"error":{"code":-32700,"message":"Parse error: Invalid JSON: Invalid message format","data":{"detail":"Invalid message format"}}})"},
        {"empty notification", encodeJSON(makeMessage<Initialized>()), R"({"jsonrpc":"2.0","method":"notifications/initialized"})"},
        {"value notification", encodeJSON(Message<Cancelled>{"notifications/cancelled", Value()}),
         R"({"jsonrpc":"2.0","method":"notifications/cancelled","params":null})"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.json, c.expected);
    }
}

TEST(Envelopes, SortedOutputOfAServerReply) {
    const auto response = makeErrorResponse<Bare>(ID(2), MCPError::methodNotFound("Unknown method: foo"));
    EXPECT_EQ(encodeJSON(response, KeyOrder::sorted),
              R"({"error":{"code":-32601,"data":{"detail":"Unknown method: foo"},"message":"Method not found: Unknown method: foo"},"id":2,"jsonrpc":"2.0"})");
}

TEST(Envelopes, ReadRequests) {
    EXPECT_EQ(decodeJSON<Request<Bare>>(R"({"jsonrpc":"2.0","id":1,"method":"ping"})"), makeRequest<Bare>(1));
    EXPECT_EQ(encodeJSON(decodeJSON<Request<Bare>>(R"({"jsonrpc":"2.0","id":1,"method":"ping"})")),
              R"({"jsonrpc":"2.0","id":1,"method":"ping","params":{}})");
    EXPECT_EQ(decodeJSON<Request<Bare>>(R"({"jsonrpc":"2.0","id":1.0,"method":"ping","params":5,"x":1})").id, ID(1));
    EXPECT_EQ(decodeJSON<Request<Paged>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":null})").params,
              CursorParameters{});
    EXPECT_EQ(decodeJSON<Request<Named>>(R"({"jsonrpc":"2.0","id":null,"method":"tools/call","params":{"name":"n"}})"),
              makeRequest<Named>("", {"n"}));
    const auto erased = decodeJSON<Request<AnyMethod>>(R"({"jsonrpc":"2.0","id":"x","method":"anything"})");
    EXPECT_EQ(erased.method, "anything");
    EXPECT_TRUE(erased.params.isNull());
}

TEST(Envelopes, DecodingFailures) {
    const struct {
        const char* name;
        std::string failure;
        std::string_view expected;
    } kCases[] = {
        {"request version", decodingFailure<Request<Bare>>(R"({"jsonrpc":"1.0","id":1,"method":"ping"})"),
         "dataCorrupted at jsonrpc: Invalid JSON-RPC version"},
        {"response version", decodingFailure<Response<Bare>>(R"({"jsonrpc":"1.0","id":1,"result":{}})"),
         "dataCorrupted at jsonrpc: Invalid JSON-RPC version"},
        {"message version", decodingFailure<Message<Initialized>>(R"({"jsonrpc":"1.0","method":"x"})"),
         "dataCorrupted at jsonrpc: Invalid JSON-RPC version"},
        {"no version", decodingFailure<Request<Bare>>(R"({"id":1,"method":"ping"})"),
         R"(keyNotFound: No value associated with key "jsonrpc")"},
        {"no id", decodingFailure<Request<Bare>>(R"({"jsonrpc":"2.0","method":"ping"})"),
         R"(keyNotFound: No value associated with key "id")"},
        {"fractional id", decodingFailure<Request<Bare>>(R"({"jsonrpc":"2.0","id":1.5,"method":"ping"})"),
         "dataCorrupted at id: ID must be string or number"},
        {"no method", decodingFailure<Request<Bare>>(R"({"jsonrpc":"2.0","id":1})"),
         R"(keyNotFound: No value associated with key "method")"},
        {"missing params", decodingFailure<Request<Named>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call"})"),
         "dataCorrupted: Missing required params field"},
        {"null params", decodingFailure<Request<Named>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":null})"),
         "dataCorrupted: Missing required params field"},
        {"bad params", decodingFailure<Request<Named>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":5})"),
         "dataCorrupted: Invalid params field"},
        {"params without a member", decodingFailure<Request<Named>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/call","params":{}})"),
         "dataCorrupted: Invalid params field"},
        {"not required, wrong type", decodingFailure<Request<Paged>>(R"({"jsonrpc":"2.0","id":1,"method":"tools/list","params":5})"),
         "typeMismatch at params: Expected an object but found a number"},
        {"notification without params", decodingFailure<Message<Initialized>>(R"({"jsonrpc":"2.0","method":"x"})"), ""},
        {"neither result nor error", decodingFailure<Response<Bare>>(R"({"jsonrpc":"2.0","id":1})"), "dataCorrupted: Invalid response"},
        {"bad error", decodingFailure<Response<Bare>>(R"({"jsonrpc":"2.0","id":1,"error":{"code":1}})"),
         "dataCorrupted: Invalid response"},
        {"not an object", decodingFailure<Response<Bare>>("[]"), "typeMismatch: Expected an object but found an array"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.failure, c.expected);
    }
}

TEST(Envelopes, ReadResponses) {
    const auto both = decodeJSON<Response<Bare>>(R"({"jsonrpc":"2.0","id":1,"result":{},"error":{"code":1,"message":"m"}})");
    EXPECT_TRUE(both.succeeded());

    const auto failure = decodeJSON<Response<Named>>(R"({"jsonrpc":"2.0","id":"a","error":{"code":-32602,"message":"m"}})");
    ASSERT_NE(failure.error(), nullptr);
    EXPECT_EQ(*failure.error(), MCPError::invalidParams("m"));
    EXPECT_EQ(failure.id, ID("a"));

    const auto nullResult = decodeJSON<Response<AnyMethod>>(R"({"jsonrpc":"2.0","id":null,"result":null})");
    ASSERT_TRUE(nullResult.succeeded());
    EXPECT_TRUE(nullResult.result()->isNull());
    EXPECT_EQ(nullResult.id, ID(""));
}

TEST(Envelopes, ErasedRequestsCarryTheirParametersAsValues) {
    const auto erased = erasedToAnyMethod(makeRequest<Bare>(3));
    EXPECT_EQ(erased, (Request<AnyMethod>{3, "ping", Value::Object{}}));
    EXPECT_EQ(erasedToAnyMethod(makeRequest<Named>(4, {"n"})).params, (Value::Object{{"name", "n"}}));
}

}  // namespace
}  // namespace mcp
