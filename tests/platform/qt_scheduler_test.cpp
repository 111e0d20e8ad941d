#include "platform/qt/qt_scheduler.hpp"

#include <QCoreApplication>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace platform {
namespace {

using namespace std::chrono_literals;

class QtSchedulerTest : public ::testing::Test {
protected:
    // Runs the event loop until quit() or the test's deadline.
    void runLoop() {
        QTimer::singleShot(10'000, &app, [] {
            ADD_FAILURE() << "deadline passed";
            QCoreApplication::quit();
        });
        app.exec();
    }

    int argc = 1;
    char name[16] = "qt_scheduler";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
    QtScheduler main;
};

TEST_F(QtSchedulerTest, PostedWorkRunsOnTheLoopThreadInOrder) {
    const auto loopThread = std::this_thread::get_id();
    std::vector<std::string> log;
    bool offThread = false;
    std::thread poster([&] {
        for (int i = 0; i < 3; ++i) {
            main.post([&, i] {
                offThread |= std::this_thread::get_id() != loopThread;
                log.push_back(std::to_string(i));
                if (i == 2) QCoreApplication::quit();
            });
        }
    });
    poster.join();
    EXPECT_TRUE(log.empty()) << "posted work ran before the loop";
    runLoop();
    EXPECT_EQ(log, (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_FALSE(offThread);
}

TEST_F(QtSchedulerTest, TimersWaitTheirDelayAndCancelledOnesNeverRun) {
    const auto start = main.now();
    Scheduler::Clock::duration waited{};
    bool cancelledRan = false;
    auto cancelled = main.after(10ms, [&] { cancelledRan = true; });
    main.after(30ms, [&] {
        waited = main.now() - start;
        QCoreApplication::quit();
    });
    cancelled->cancel();
    cancelled->cancel();
    runLoop();
    EXPECT_GE(waited, 30ms);
    EXPECT_FALSE(cancelledRan);
}

TEST_F(QtSchedulerTest, CancelAfterFiringIsHarmless) {
    std::shared_ptr<TimerHandle> timer = main.after(0ms, [] { QCoreApplication::quit(); });
    runLoop();
    QCoreApplication::processEvents();  // deletes the fired timer
    timer->cancel();
}

}  // namespace
}  // namespace platform
