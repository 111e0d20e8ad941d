#pragma once

// The two things the program's start-up asks of the onboarding: the welcome window on the first
// run, and the answer to a second start while the program runs.
namespace app {

// WelcomeShowing: what shows the window that introduces the program on its first run.
class WelcomeShowing {
public:
    virtual ~WelcomeShowing() = default;
    // show: opens the window, or brings it to the front when it is open already. Main thread.
    virtual void show() = 0;
};

// Reopening: what a start of the program does when another instance already runs for the
// user, before it exits with status 0.
class Reopening {
public:
    virtual ~Reopening() = default;
    // reopen: lets the running instance know that the program was started again. Runs
    // before any Qt application exists; must not wait for the running instance.
    virtual void reopen() = 0;
};

// NoReopening: a second start just ends, telling nobody.
class NoReopening final : public Reopening {
public:
    void reopen() override {}
};

}  // namespace app
