#include "logging/string_interpolation.hpp"

#include "tests/logging/attribute_types.hpp"

#include <gtest/gtest.h>

#include <ostream>
#include <stdexcept>

namespace logging {
namespace {

using Interpolation = MetadataValue::StringInterpolation;
using testing::A;
using testing::B;
using testing::C;
using testing::Color;

struct Described {
    std::string description() const { return "described"; }
};
struct Streamed {
    friend std::ostream& operator<<(std::ostream& out, const Streamed&) {
        return out << "streamed";
    }
};
// Both forms: the stream wins.
struct DescribedAndStreamed {
    std::string description() const { return "described"; }
    friend std::ostream& operator<<(std::ostream& out, const DescribedAndStreamed&) {
        return out << "streamed";
    }
};
struct Opaque {};

TEST(StringInterpolation, WithoutAttributesGivesAString) {
    const MetadataValue value = Interpolation(6, 1)
                                    .appendLiteral("took ")
                                    .appendInterpolation(12)
                                    .appendLiteral(" ms");
    EXPECT_EQ(value, MetadataValue("took 12 ms"));
    ASSERT_TRUE(std::holds_alternative<std::string>(value.variant()));
}

TEST(StringInterpolation, TextFormOfEachKindOfValue) {
    const struct {
        const char* name;
        std::string text;
        std::string want;
    } kCases[] = {
        {"text", Interpolation().appendInterpolation(std::string("text")).output(), "text"},
        {"bool", Interpolation().appendInterpolation(true).output(), "true"},
        {"double", Interpolation().appendInterpolation(0.1).output(), "0.1"},
        {"description", Interpolation().appendInterpolation(Described()).output(), "described"},
        {"stream", Interpolation().appendInterpolation(Streamed()).output(), "streamed"},
        {"both", Interpolation().appendInterpolation(DescribedAndStreamed()).output(), "streamed"},
        {"exception", Interpolation().appendInterpolation(std::runtime_error("failed")).output(),
         "failed"},
        {"anything else", Interpolation().appendInterpolation(Opaque()).output(),
         "logging.(anonymous namespace).Opaque"},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.text, c.want);
    }
}

TEST(StringInterpolation, DefaultTextRunsOnlyForAnAbsentValue) {
    int defaults = 0;
    const auto fallback = [&] {
        ++defaults;
        return "none";
    };
    Interpolation interpolation;
    interpolation.appendInterpolation(std::optional<int>(5), fallback)
        .appendLiteral(",")
        .appendInterpolation(std::optional<int>(), fallback)
        .appendLiteral(",")
        .appendInterpolation(std::optional<Described>(), "literal");
    EXPECT_EQ(interpolation.output(), "5,none,literal");
    EXPECT_EQ(defaults, 1);
}

TEST(StringInterpolation, AttributesMakeACarrier) {
    const MetadataValue value = Interpolation()
                                    .appendInterpolation("secret", MetadataValueAttributes(A{1}))
                                    .appendInterpolation("!", MetadataValueAttributes(A{2}, B{3}))
                                    .appendInterpolation(
                                        "?", [](MetadataValueAttributes& attributes) {
                                            attributes.set(std::optional(C{Color::blue}));
                                        });
    const auto* carried = std::get_if<std::shared_ptr<const StringConvertible>>(&value.variant());
    ASSERT_TRUE(carried);
    ASSERT_TRUE(dynamic_cast<const AttributedStringCarrier*>(carried->get()));
    EXPECT_EQ(value.description(), "secret!?");
    EXPECT_EQ(value.attributes(), MetadataValueAttributes(A{2}, B{3}, C{Color::blue}));
}

TEST(StringInterpolation, FirstAttributesReplaceTheEmptySet) {
    Interpolation interpolation;
    interpolation.appendInterpolation("x", [](MetadataValueAttributes&) {});
    EXPECT_TRUE(interpolation.hasAttributes());
    const MetadataValue value = interpolation;
    EXPECT_EQ(value.attributes(), MetadataValueAttributes());
    EXPECT_NE(value, MetadataValue("x")) << "an attributed value is no plain string";
}

TEST(MetadataValueAttributesOnValues, SettingAndReading) {
    MetadataValue text("plain");
    text.setAttributes({});
    EXPECT_EQ(text.description(), "plain");
    EXPECT_TRUE(std::holds_alternative<std::shared_ptr<const StringConvertible>>(text.variant()));

    MetadataValue convertible = MetadataValue::stringConvertible(42);
    convertible.setAttributes(MetadataValueAttributes(A{1}));
    EXPECT_EQ(convertible.description(), "42");
    convertible.setAttributes(MetadataValueAttributes(B{2}));
    EXPECT_EQ(convertible.attributes(), MetadataValueAttributes(B{2}));

    MetadataValue array(MetadataValue::Array{"a"});
    array.setAttributes(MetadataValueAttributes(A{1}));
    EXPECT_EQ(array, MetadataValue(MetadataValue::Array{"a"}));
    EXPECT_EQ(array.attributes(), MetadataValueAttributes());

    const MetadataValue attributed =
        MetadataValue::attributed(Described(), MetadataValueAttributes(A{5}));
    EXPECT_EQ(attributed.description(), "described");
    EXPECT_EQ(attributed.attributes().get<A>(), A{5});
}

}  // namespace
}  // namespace logging
