#include "mcp/json/codec.hpp"

#include "mcp/json/json.hpp"

#include <gtest/gtest.h>

namespace mcp {
namespace {

// A small record with required, optional and list members, written the way protocol records
// are.
struct Sample {
    std::string name;
    std::int64_t count = 0;
    std::optional<double> ratio;
    std::vector<int> sizes;

    friend bool operator==(const Sample&, const Sample&) = default;
};

}  // namespace

template <>
struct Codec<Sample> {
    static Value encode(const Sample& sample) {
        return ObjectBuilder()
            .add("name", sample.name)
            .add("count", sample.count)
            .addIfPresent("ratio", sample.ratio)
            .add("sizes", sample.sizes)
            .build();
    }
    static Sample decode(const Value& value, const CodingPath& path) {
        const ObjectReader reader(value, path);
        return {
            .name = reader.required<std::string>("name"),
            .count = reader.required<std::int64_t>("count"),
            .ratio = reader.optional<double>("ratio"),
            .sizes = reader.optional<std::vector<int>>("sizes").value_or(std::vector<int>{}),
        };
    }
};

namespace {

TEST(Codec, RecordsWriteMembersInFieldOrderAndLeaveOutAbsentOnes) {
    EXPECT_EQ(encodeJSON(Sample{.name = "a", .count = 2, .ratio = std::nullopt, .sizes = {1}}),
              R"({"name":"a","count":2,"sizes":[1]})");
    EXPECT_EQ(encodeJSON(Sample{.name = "a", .count = 2, .ratio = 0.5, .sizes = {}}),
              R"({"name":"a","count":2,"ratio":0.5,"sizes":[]})");
}

TEST(Codec, ReadsRecords) {
    const struct {
        std::string_view json;
        Sample sample;
    } kCases[] = {
        {R"({"name":"a","count":2})", {"a", 2, std::nullopt, {}}},
        {R"({"name":"a","count":7.0,"ratio":null,"extra":[1]})", {"a", 7, std::nullopt, {}}},
        {R"({"name":"a","count":-1e2,"ratio":1})", {"a", -100, 1.0, {}}},
        {R"({"name":"data:,x","count":0,"sizes":[1,2.0]})", {"data:,x", 0, std::nullopt, {1, 2}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.json);
        EXPECT_EQ(decodeJSON<Sample>(c.json), c.sample);
    }
}

TEST(Codec, ReadingFailuresNameTheKindAndThePath) {
    const struct {
        std::string_view json;
        DecodingError::Kind kind;
        std::string_view path;
        std::string_view description;
    } kCases[] = {
        {R"([])", DecodingError::Kind::typeMismatch, "", "Expected an object but found an array"},
        {R"({"count":1})", DecodingError::Kind::keyNotFound, "", R"(No value associated with key "name")"},
        {R"({"name":null,"count":1})", DecodingError::Kind::valueNotFound, "name", "Expected a string but found null"},
        {R"({"name":5,"count":1})", DecodingError::Kind::typeMismatch, "name", "Expected a string but found a number"},
        {R"({"name":"a","count":1.5})", DecodingError::Kind::dataCorrupted, "count",
         "Number 1.5 is not a whole number in the 64-bit range"},
        {R"({"name":"a","count":9223372036854775808})", DecodingError::Kind::dataCorrupted, "count",
         "Number 9.223372036854776e+18 is not a whole number in the 64-bit range"},
        {R"({"name":"a","count":"1"})", DecodingError::Kind::typeMismatch, "count", "Expected an integer but found a string"},
        {R"({"name":"a","count":1,"sizes":[1,"x"]})", DecodingError::Kind::typeMismatch, "sizes[1]",
         "Expected an integer but found a string"},
        {R"({"name":"a","count":1,"sizes":[4294967296]})", DecodingError::Kind::dataCorrupted, "sizes[0]",
         "Number 4294967296 is out of range"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.json);
        try {
            decodeJSON<Sample>(c.json);
            ADD_FAILURE() << "read without error";
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), c.kind);
            EXPECT_EQ(error.path(), c.path);
            EXPECT_EQ(error.what(), c.description);
        }
    }
}

TEST(Codec, DebugDescriptionCarriesKindAndPath) {
    const CodingPath root;
    const CodingPath params = root.appending("params");
    const CodingPath first = params.appending(std::size_t{0});
    const auto error = DecodingError::dataCorrupted(first.appending("type"), "Unknown tool content type");
    EXPECT_EQ(error.path(), "params[0].type");
    EXPECT_EQ(error.debugDescription(), "dataCorrupted at params[0].type: Unknown tool content type");
}

}  // namespace
}  // namespace mcp
