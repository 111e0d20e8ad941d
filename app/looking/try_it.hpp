#pragma once

#include "platform/task.hpp"

#include <functional>

namespace app {

// TryIt: the user's own test of the program: it asks for a window, points at the middle of its
// picture and throws the picture away. The task gives true when the test ran through, false when
// the user declined or a step failed. Main thread only; it may be started while another runs.
using TryIt = std::function<platform::Task<bool>()>;

// startTryIt: starts a run of tryIt at once and returns; done gets its outcome when it ends,
// false also when the test threw. done must not throw. Main thread only.
void startTryIt(const TryIt& tryIt, std::function<void(bool worked)> done);

}  // namespace app
