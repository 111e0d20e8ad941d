#include "logging/metadata_provider.hpp"

#include "tests/logging/fixed_provider.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace logging {
namespace {

using testing::providing;
TEST(MetadataProvider, MultiplexMergesInOrderLaterWins) {
    const struct {
        const char* name;
        std::vector<MetadataProvider> providers;
        Metadata want;
    } kCases[] = {
        {"none", {}, {}},
        {"one", {providing({{"k", "v"}})}, {{"k", "v"}}},
        {"later wins", {providing({{"k", "first"}, {"a", "1"}}), providing({{"k", "second"}})},
         {{"a", "1"}, {"k", "second"}}},
        {"empty changes nothing", {providing({{"k", "v"}}), providing({})}, {{"k", "v"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MetadataProvider::multiplex(c.providers).get(), c.want);
    }
}

TEST(MetadataProvider, AsksOnEveryGet) {
    int calls = 0;
    const MetadataProvider provider([&] {
        ++calls;
        return Metadata{{"call", MetadataValue::stringConvertible(calls)}};
    });
    EXPECT_EQ(provider.get().at("call").description(), "1");
    EXPECT_EQ(provider.get().at("call").description(), "2");
    EXPECT_THROW(MetadataProvider(nullptr), std::invalid_argument);
}

}  // namespace
}  // namespace logging
