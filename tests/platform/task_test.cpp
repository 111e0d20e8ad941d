#include "platform/task.hpp"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace platform {
namespace {

Task<int> answer(int base) {
    co_return base + 1;
}

Task<int> failing(std::string message) {
    throw std::runtime_error(message);
    co_return 0;
}

Task<std::unique_ptr<int>> moveOnly() {
    co_return std::make_unique<int>(7);
}

TEST(Task, DoesNotStartBeforeAwaited) {
    bool started = false;
    auto task = [](bool& flag) -> Task<void> {
        flag = true;
        co_return;
    }(started);
    EXPECT_FALSE(started);
    int done = 0;
    spawn(std::move(task), [&](std::exception_ptr error) {
        EXPECT_FALSE(error);
        ++done;
    });
    EXPECT_TRUE(started);
    EXPECT_EQ(done, 1);
}

TEST(Task, AwaitedTaskGivesItsValueOrRethrows) {
    std::vector<std::string> seen;
    auto outer = [](std::vector<std::string>& log) -> Task<void> {
        log.push_back(std::to_string(co_await answer(41)));
        log.push_back(std::to_string(*co_await moveOnly()));
        try {
            co_await failing("no picture");
        } catch (const std::runtime_error& error) {
            log.push_back(error.what());
        }
    };
    spawn(outer(seen), [](std::exception_ptr error) { EXPECT_FALSE(error); });
    EXPECT_EQ(seen, (std::vector<std::string>{"42", "7", "no picture"}));
}

TEST(Task, SpawnReportsExactlyOneOfValueAndError) {
    int calls = 0;
    spawn(answer(1), [&](std::exception_ptr error, std::optional<int> value) {
        ++calls;
        EXPECT_FALSE(error);
        EXPECT_EQ(value, 2);
    });
    spawn(failing("boom"), [&](std::exception_ptr error, std::optional<int> value) {
        ++calls;
        ASSERT_TRUE(error);
        EXPECT_FALSE(value);
        EXPECT_THROW(std::rethrow_exception(error), std::runtime_error);
    });
    EXPECT_EQ(calls, 2);
}

TEST(Task, DroppingAnUnstartedTaskReleasesItsFrame) {
    auto owned = std::make_shared<int>(1);
    std::weak_ptr<int> watch = owned;
    {
        auto task = [](std::shared_ptr<int> keep) -> Task<int> { co_return *keep; }(std::move(owned));
    }
    EXPECT_TRUE(watch.expired());
}

}  // namespace
}  // namespace platform
