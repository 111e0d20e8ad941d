#pragma once

#include "platform/one_shot.hpp"
#include "platform/scheduler.hpp"
#include "platform/task.hpp"

#include <vector>

namespace app::test {

// TryRuns: a stand-in for the user's test of the program whose runs the test ends: run() is the
// test to hand over; each run started waits for the outcome the test gives it through answers.
class TryRuns {
public:
    explicit TryRuns(platform::Scheduler& main) : main_(main) {}

    platform::Task<bool> run() {
        platform::OneShot<bool> answer(main_);
        answers.push_back(answer);
        co_return co_await answer;
    }

    // answers: one per run started, in the order they started.
    std::vector<platform::OneShot<bool>> answers;

private:
    platform::Scheduler& main_;
};

}  // namespace app::test
