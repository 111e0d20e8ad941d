#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace test_support {

// requirePeer: for a test that needs a program beside it that the install step provides (an
// npm test peer, the X session of the CTest fixture). Where it is missing, the test is skipped
// on a developer's machine, which may not have run that step; under CI (the variable CI set
// and not empty, as CI services set it) it fails, so that a run never turns green with tests
// left out. Call it from SetUp, and return when IsSkipped() or HasFatalFailure().
inline void requirePeer(bool present, std::string_view missing) {
    if (present) return;
    const char* ci = std::getenv("CI");
    if (ci != nullptr && *ci != '\0') GTEST_FAIL() << missing << " (CI is set: a missing peer fails the run)";
    GTEST_SKIP() << missing;
}

}  // namespace test_support
