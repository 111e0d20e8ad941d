#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace logging::testing {

// Checks made in a child process, where GoogleTest assertions can't reach the parent: finish()
// prints the failed ones to standard error and exits with 1 when there are any, else with 0.
class ChildChecks {
public:
    void expect(bool condition, std::string_view what) {
        if (!condition) failures_.append(what).append("\n");
    }
    [[noreturn]] void finish() {
        std::fputs(failures_.c_str(), stderr);
        std::exit(failures_.empty() ? 0 : 1);
    }

private:
    std::string failures_;
};

// Tests of the process-wide logging state: every test body runs in a freshly started process
// of its own (GoogleTest's "threadsafe" death-test style re-executes the test binary), so what
// one test bootstraps never reaches another.
class OwnProcessTest : public ::testing::Test {
protected:
    void SetUp() override { GTEST_FLAG_SET(death_test_style, "threadsafe"); }
};

}  // namespace logging::testing

// Runs `body` in a process of its own and expects it to exit with 0; `stderrPattern` must
// match what the process wrote to standard error.
#define EXPECT_IN_OWN_PROCESS(body, stderrPattern) \
    EXPECT_EXIT(body, ::testing::ExitedWithCode(0), stderrPattern)
