#include "logging/logging_system.hpp"

#include "logging/logger.hpp"
#include "logging/stream_log_handler.hpp"
#include "tests/logging/capturing_stream.hpp"
#include "tests/logging/fixed_provider.hpp"
#include "tests/logging/own_process.hpp"
#include "tests/logging/recording_log_handler.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace logging {
namespace {

using testing::CapturingStream;
using testing::ChildChecks;
using testing::makeJournal;
using testing::providing;
using testing::RecordingLogHandler;

using LoggingSystemTest = testing::OwnProcessTest;

constexpr std::string_view kSecondBootstrap =
    "logging system can only be initialized once per process.";

[[noreturn]] void defaultLoggerWritesToStandardError() {
    ChildChecks checks;
    const Logger logger("system.default");
    const auto* handler = dynamic_cast<const StreamLogHandler*>(&logger.handler());
    checks.expect(handler && handler->label() == "system.default",
                  "the default handler is a stream handler with the label");
    checks.expect(!LoggingSystem::metadataProvider(), "no provider before bootstrap");
    logger.info("reached standard error");
    checks.finish();
}

TEST_F(LoggingSystemTest, WithoutBootstrapLoggersWriteToStandardError) {
    EXPECT_IN_OWN_PROCESS(defaultLoggerWritesToStandardError(),
                          R"(info system.default: \[logging\] reached standard error)");
}

[[noreturn]] void bootstrapInstallsTheFactory() {
    ChildChecks checks;
    auto labels = std::make_shared<std::vector<std::string>>();
    LoggingSystem::bootstrap([labels](const std::string& label) {
        labels->push_back(label);
        return RecordingLogHandler(makeJournal(), LogLevel::notice);
    });
    const Logger first("first");
    const Logger second("second");
    checks.expect(*labels == std::vector<std::string>{"first", "second"},
                  "the factory is called once per logger with its label");
    checks.expect(first.logLevel() == LogLevel::notice, "the logger has the factory's handler");
    checks.expect(!LoggingSystem::metadataProvider(), "the provider is left alone");
    checks.finish();
}

TEST_F(LoggingSystemTest, BootstrapInstallsTheFactory) {
    EXPECT_IN_OWN_PROCESS(bootstrapInstallsTheFactory(), "");
}

enum class BootstrapForm { factoryOnly, withProvider, withAbsentProvider };

// Bootstraps in the given form with a factory that notes the labels it is asked for; a provider,
// when the form has one, yields {"from": from}.
void bootstrap(BootstrapForm form, std::shared_ptr<std::vector<std::string>> labels,
               const char* from) {
    const auto factory = [labels](const std::string& label,
                                  const std::optional<MetadataProvider>& provider) {
        labels->push_back(label);
        RecordingLogHandler handler(makeJournal());
        handler.setMetadataProvider(provider);
        return handler;
    };
    switch (form) {
    case BootstrapForm::factoryOnly:
        LoggingSystem::bootstrap(
            [factory](const std::string& label) { return factory(label, std::nullopt); });
        break;
    case BootstrapForm::withProvider:
        LoggingSystem::bootstrap(factory, providing({{"from", from}}));
        break;
    case BootstrapForm::withAbsentProvider:
        LoggingSystem::bootstrap(factory, std::nullopt);
        break;
    }
}

[[noreturn]] void secondBootstrapFails(BootstrapForm first, BootstrapForm second) {
    ChildChecks checks;
    const auto firstLabels = std::make_shared<std::vector<std::string>>();
    const auto secondLabels = std::make_shared<std::vector<std::string>>();
    bootstrap(first, firstLabels, "first");
    try {
        bootstrap(second, secondLabels, "second");
        checks.expect(false, "the second bootstrap was accepted");
    } catch (const std::logic_error& error) {
        checks.expect(error.what() == kSecondBootstrap, error.what());
    }
    const Logger logger("after");
    checks.expect(firstLabels->size() == 1 && secondLabels->empty(), "the first factory stays");
    const std::optional<MetadataProvider> provider = LoggingSystem::metadataProvider();
    if (first == BootstrapForm::withProvider) {
        checks.expect(provider && provider->get() == Metadata{{"from", "first"}},
                      "the first provider stays");
    } else {
        checks.expect(!provider, "the provider stays absent");
    }
    checks.finish();
}

TEST_F(LoggingSystemTest, SecondBootstrapFailsAndChangesNothing) {
    using enum BootstrapForm;
    const struct {
        const char* name;
        BootstrapForm first, second;
    } kCases[] = {
        {"factory, then factory", factoryOnly, factoryOnly},
        {"factory, then with provider", factoryOnly, withProvider},
        {"with provider, then factory", withProvider, factoryOnly},
        {"with provider, then with provider", withProvider, withProvider},
        {"absent provider, then with provider", withAbsentProvider, withProvider},
        {"absent provider, then factory", withAbsentProvider, factoryOnly},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_IN_OWN_PROCESS(secondBootstrapFails(c.first, c.second), "");
    }
}

[[noreturn]] void providerReachesLoggersMadeByLabel() {
    ChildChecks checks;
    const auto stream = std::make_shared<CapturingStream>();
    LoggingSystem::bootstrap(
        [stream](const std::string& label, const std::optional<MetadataProvider>& provider) {
            return StreamLogHandler(label, stream, provider);
        },
        providing({{"system", "yes"}}));

    Logger("by.label").info("one", std::nullopt, "s");
    Logger("own.provider", providing({{"own", "yes"}})).info("two", std::nullopt, "s");
    StreamLogHandler direct("direct", stream);
    direct.log(LogEvent(LogLevel::info, "three", std::nullopt, "s", "a/b", "f", 1));

    std::optional<MetadataProvider> seen;
    const Logger viaFactory("factory", [&](const std::string&,
                                           const std::optional<MetadataProvider>& provider) {
        seen = provider;
        return RecordingLogHandler(makeJournal());
    });
    checks.expect(seen && seen->get() == Metadata{{"system", "yes"}},
                  "a two-argument factory gets the system's provider");
    checks.expect(StreamLogHandler::standardError("stderr").metadataProvider().has_value(),
                  "the standard error handler takes the system's provider");

    const std::vector<std::string> lines = stream->writes();
    checks.expect(lines.size() == 3, "three lines");
    if (lines.size() == 3) {
        checks.expect(lines[0].substr(25) == "info by.label: system=yes [s] one\n", lines[0]);
        checks.expect(lines[1].substr(25) == "info own.provider: own=yes [s] two\n", lines[1]);
        checks.expect(lines[2].substr(25) == "info direct: system=yes [s] three\n", lines[2]);
    }
    checks.finish();
}

TEST_F(LoggingSystemTest, ProviderReachesLoggersMadeByLabel) {
    EXPECT_IN_OWN_PROCESS(providerReachesLoggersMadeByLabel(), "");
}

}  // namespace
}  // namespace logging
