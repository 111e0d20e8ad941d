#include "logging/metadata_value_attributes.hpp"

#include "tests/logging/attribute_types.hpp"

#include <gtest/gtest.h>

namespace logging {
namespace {

using testing::A;
using testing::B;
using testing::C;
using testing::Color;
using Entry = MetadataValueAttributes::Entry;

template <class T>
Entry entry(std::int64_t value) {
    return {MetadataValueAttributes::keyOf<T>(), value};
}

TEST(MetadataValueAttributes, StartsEmpty) {
    const MetadataValueAttributes attributes;
    EXPECT_FALSE(attributes.inlineEntry());
    EXPECT_FALSE(attributes.overflowEntries());
    EXPECT_FALSE(attributes.get<A>());
}

TEST(MetadataValueAttributes, UpsertKeepsOneEntryPerTypeInInsertionOrder) {
    MetadataValueAttributes attributes(A{1}, B{2}, C{Color::green});
    EXPECT_EQ(attributes.inlineEntry(), entry<A>(1));
    EXPECT_EQ(attributes.overflowEntries(), (std::vector{entry<B>(2), entry<C>(1)}));

    attributes.set(std::optional(B{20}));
    attributes.set(std::optional(A{10}));
    EXPECT_EQ(attributes.inlineEntry(), entry<A>(10));
    EXPECT_EQ(attributes.overflowEntries(), (std::vector{entry<B>(20), entry<C>(1)}));
    EXPECT_EQ(attributes.get<B>(), B{20});
    EXPECT_EQ(attributes.get<C>(), C{Color::green});

    const MetadataValueAttributes replaced(A{1}, A{2});
    EXPECT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced.get<A>(), A{2});
}

TEST(MetadataValueAttributes, RawValueThatMakesNoValueReadsAsAbsent) {
    MetadataValueAttributes attributes;
    attributes._upsert(MetadataValueAttributes::keyOf<C>(), 7);
    EXPECT_FALSE(attributes.get<C>());
}

TEST(MetadataValueAttributes, Remove) {
    const struct {
        const char* name;
        MetadataValueAttributes::Key removed;
        std::optional<Entry> inlineAfter;
        std::optional<std::vector<Entry>> overflowAfter;
    } kCases[] = {
        {"inline moves the last overflow entry inline", MetadataValueAttributes::keyOf<A>(),
         entry<C>(2), std::vector{entry<B>(1)}},
        {"an overflow entry keeps the others in order", MetadataValueAttributes::keyOf<B>(),
         entry<A>(0), std::vector{entry<C>(2)}},
        {"an absent key changes nothing",
         MetadataValueAttributes::keyOf<testing::NumberAttribute<9>>(), entry<A>(0),
         std::vector{entry<B>(1), entry<C>(2)}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        MetadataValueAttributes attributes(A{0}, B{1}, C{Color::blue});
        attributes._remove(c.removed);
        EXPECT_EQ(attributes.inlineEntry(), c.inlineAfter);
        EXPECT_EQ(attributes.overflowEntries(), c.overflowAfter);
    }
}

TEST(MetadataValueAttributes, RemovingDownToNothing) {
    MetadataValueAttributes attributes(A{0}, B{1});
    attributes.set(std::optional<A>());
    EXPECT_EQ(attributes.inlineEntry(), entry<B>(1));
    EXPECT_FALSE(attributes.overflowEntries()) << "an emptied list goes away";
    EXPECT_FALSE(attributes.get<A>());
    attributes.set(std::optional<B>());
    EXPECT_FALSE(attributes.inlineEntry());
    EXPECT_EQ(attributes, MetadataValueAttributes());
}

TEST(MetadataValueAttributes, MergeLetsTheOtherWin) {
    MetadataValueAttributes attributes(A{1}, B{2});
    attributes._merge(MetadataValueAttributes(B{20}, C{Color::red}));
    EXPECT_EQ(attributes.inlineEntry(), entry<A>(1));
    EXPECT_EQ(attributes.overflowEntries(), (std::vector{entry<B>(20), entry<C>(0)}));
}

TEST(MetadataValueAttributes, EqualityIgnoresOrder) {
    const struct {
        const char* name;
        MetadataValueAttributes left, right;
        bool equal;
    } kCases[] = {
        {"both empty", MetadataValueAttributes(), MetadataValueAttributes(), true},
        {"same entries, other order", MetadataValueAttributes(A{1}, B{2}, C{Color::red}),
         MetadataValueAttributes(C{Color::red}, A{1}, B{2}), true},
        {"other value", MetadataValueAttributes(A{1}), MetadataValueAttributes(A{2}), false},
        {"one more entry", MetadataValueAttributes(A{1}), MetadataValueAttributes(A{1}, B{1}),
         false},
        {"same raw value, other type", MetadataValueAttributes(A{1}),
         MetadataValueAttributes(B{1}), false},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.left == c.right, c.equal);
        EXPECT_EQ(c.right == c.left, c.equal);
    }
}

}  // namespace
}  // namespace logging
