#include "logging/multiplex_log_handler.hpp"

#include "logging/logger.hpp"
#include "tests/logging/fixed_provider.hpp"
#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

namespace logging {
namespace {

using testing::Journal;
using testing::makeJournal;
using testing::providing;
using testing::RecordingLogHandler;

// A multiplex over recorders named "first", "second", ... at the given levels.
MultiplexLogHandler multiplexOf(const Journal& journal, std::vector<LogLevel> levels,
                                std::optional<MetadataProvider> own = std::nullopt) {
    std::vector<std::unique_ptr<LogHandler>> children;
    const char* names[] = {"first", "second", "third"};
    for (std::size_t i = 0; i < levels.size(); ++i) {
        children.push_back(std::make_unique<RecordingLogHandler>(journal, levels[i], names[i]));
    }
    return MultiplexLogHandler(std::move(children), std::move(own));
}

LogEvent eventAt(LogLevel level) {
    return LogEvent(level, "m", std::nullopt, std::nullopt, "a/b.cpp", "f", 1);
}

TEST(MultiplexLogHandler, FansOutToChildrenAtOrBelowTheEventLevel) {
    const auto journal = makeJournal();
    MultiplexLogHandler multiplex = multiplexOf(journal, {LogLevel::debug, LogLevel::error});
    EXPECT_EQ(multiplex.logLevel(), LogLevel::debug);

    multiplex.log(eventAt(LogLevel::info));
    multiplex.log(eventAt(LogLevel::error));
    ASSERT_EQ(journal->size(), 3u);
    EXPECT_EQ(journal->at(0).handler, "first");
    EXPECT_EQ(journal->at(0).event.level, LogLevel::info);
    EXPECT_EQ(journal->at(1).handler, "first");
    EXPECT_EQ(journal->at(2).handler, "second");
    EXPECT_EQ(journal->at(2).event.level, LogLevel::error);
}

TEST(MultiplexLogHandler, LevelWriteReachesEveryChild) {
    MultiplexLogHandler multiplex = multiplexOf(makeJournal(), {LogLevel::debug, LogLevel::error});
    multiplex.setLogLevel(LogLevel::warning);
    EXPECT_EQ(multiplex.logLevel(), LogLevel::warning);
    for (const auto& child : multiplex.handlers()) EXPECT_EQ(child->logLevel(), LogLevel::warning);
}

TEST(MultiplexLogHandler, WithoutChildrenReportsTraceAndDropsEvents) {
    MultiplexLogHandler multiplex({});
    EXPECT_EQ(multiplex.logLevel(), LogLevel::trace);
    multiplex.log(eventAt(LogLevel::critical));
    EXPECT_TRUE(multiplex.metadata().empty());
    EXPECT_FALSE(multiplex.metadataValue("k"));
    EXPECT_FALSE(multiplex.metadataProvider());
}

TEST(MultiplexLogHandler, KeyReadTakesTheFirstChildMergedReadTheLast) {
    MultiplexLogHandler multiplex = multiplexOf(makeJournal(), {LogLevel::info, LogLevel::info});
    multiplex.handlers()[0]->setMetadata({{"both", "first"}});
    multiplex.handlers()[1]->setMetadata({{"both", "second"}, {"only", "second"}});

    EXPECT_EQ(multiplex.metadataValue("both"), MetadataValue("first"));
    EXPECT_EQ(multiplex.metadataValue("only"), MetadataValue("second"));
    EXPECT_EQ(multiplex.metadata(), (Metadata{{"both", "second"}, {"only", "second"}}));
}

TEST(MultiplexLogHandler, MergedMetadataOrder) {
    // Weakest to strongest: a child's metadata, that child's provider, later children, the
    // multiplex's own provider.
    MultiplexLogHandler multiplex =
        multiplexOf(makeJournal(), {LogLevel::info, LogLevel::info}, providing({{"own", "own"}}));
    auto& first = *multiplex.handlers()[0];
    auto& second = *multiplex.handlers()[1];
    first.setMetadata({{"a", "first"}, {"b", "first"}, {"c", "first"}, {"own", "first"}});
    first.setMetadataProvider(providing({{"a", "first provider"}, {"b", "first provider"}}));
    second.setMetadata({{"b", "second"}});

    EXPECT_EQ(multiplex.metadata(), (Metadata{{"a", "first provider"},
                                              {"b", "second"},
                                              {"c", "first"},
                                              {"own", "own"}}));
}

TEST(MultiplexLogHandler, MetadataWritesReachEveryChild) {
    MultiplexLogHandler multiplex = multiplexOf(makeJournal(), {LogLevel::info, LogLevel::info});
    multiplex.setMetadata({{"k", "v"}, {"gone", "soon"}});
    multiplex.setMetadataValue("gone", std::nullopt);
    multiplex.setMetadataValue("added", MetadataValue("x"));
    for (const auto& child : multiplex.handlers()) {
        EXPECT_EQ(child->metadata(), (Metadata{{"added", "x"}, {"k", "v"}}));
    }
}

TEST(MultiplexLogHandler, CombinedProvider) {
    const MetadataProvider child = providing({{"k", "child"}, {"c", "child"}});
    const MetadataProvider own = providing({{"k", "own"}, {"o", "own"}});
    const struct {
        const char* name;
        std::vector<std::optional<MetadataProvider>> children;
        std::optional<MetadataProvider> own;
        std::optional<Metadata> want;
    } kCases[] = {
        {"no children, no own provider", {}, std::nullopt, std::nullopt},
        {"no children, own provider", {}, own, Metadata{{"k", "own"}, {"o", "own"}}},
        {"one child without provider", {std::nullopt}, std::nullopt, std::nullopt},
        {"one child without provider, own", {std::nullopt}, own,
         Metadata{{"k", "own"}, {"o", "own"}}},
        {"one child with provider", {child}, std::nullopt,
         Metadata{{"c", "child"}, {"k", "child"}}},
        {"one child with provider, own", {child}, own,
         Metadata{{"c", "child"}, {"k", "own"}, {"o", "own"}}},
        {"two children, one provider", {std::nullopt, child}, std::nullopt,
         Metadata{{"c", "child"}, {"k", "child"}}},
        {"two children, providers and own",
         {providing({{"k", "first"}, {"f", "first"}}), child},
         own,
         Metadata{{"c", "child"}, {"f", "first"}, {"k", "own"}, {"o", "own"}}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        std::vector<std::unique_ptr<LogHandler>> children;
        for (const auto& provider : c.children) {
            children.push_back(std::make_unique<RecordingLogHandler>(makeJournal()));
            children.back()->setMetadataProvider(provider);
        }
        const MultiplexLogHandler multiplex(std::move(children), c.own);
        const std::optional<MetadataProvider> combined = multiplex.metadataProvider();
        ASSERT_EQ(combined.has_value(), c.want.has_value());
        if (combined) {
            EXPECT_EQ(combined->get(), *c.want);
        }
    }
}

TEST(MultiplexLogHandler, ProviderWriteKeepsTheOwnProvider) {
    MultiplexLogHandler multiplex =
        multiplexOf(makeJournal(), {LogLevel::info, LogLevel::info}, providing({{"k", "own"}}));
    multiplex.setMetadataProvider(providing({{"k", "children"}, {"c", "children"}}));
    for (const auto& child : multiplex.handlers()) ASSERT_TRUE(child->metadataProvider());
    EXPECT_EQ(multiplex.metadataProvider()->get(), (Metadata{{"c", "children"}, {"k", "own"}}));
}

TEST(MultiplexLogHandler, CopiesOwnTheirChildren) {
    const auto journal = makeJournal();
    const Logger original("fan", multiplexOf(journal, {LogLevel::info, LogLevel::info}));
    Logger copy = original;
    copy.setLogLevel(LogLevel::error);
    copy.setMetadataValue("k", MetadataValue("copy"));

    const auto& originalMultiplex = dynamic_cast<const MultiplexLogHandler&>(original.handler());
    for (const auto& child : originalMultiplex.handlers()) {
        EXPECT_EQ(child->logLevel(), LogLevel::info);
        EXPECT_FALSE(child->metadataValue("k"));
    }
    original.info("reaches both children once");
    copy.info("dropped by the copy");
    EXPECT_EQ(journal->size(), 2u);
}

}  // namespace
}  // namespace logging
