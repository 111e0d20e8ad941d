#pragma once

#include "platform/click_monitor.hpp"
#include "platform/clipboard.hpp"
#include "platform/observed.hpp"
#include "platform/screens.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// FakeDesktop: screens, a mouse pointer and the global click monitor, scripted by the test.
// Starts with one 1600 × 1000 screen whose bottom 24 are taken by a panel, and the pointer at
// the origin. Main thread only.
class FakeDesktop final : public Screens, public ClickMonitor {
public:
    FakeDesktop();

    std::vector<Screen> screens() override { return screens_; }
    Point mouseLocation() override { return mouse_; }
    Subscription addLeftMouseDown(std::function<void()> handler) override;

    void setScreens(std::vector<Screen> screens) { screens_ = std::move(screens); }
    void moveMouse(Point to) { mouse_ = to; }
    // click: moves the pointer and reports a left-button press to every monitor.
    void click(Point at);
    // setMonitorAvailable: false makes addLeftMouseDown give no monitor, as a system without
    // one does.
    void setMonitorAvailable(bool available) { monitorAvailable_ = available; }
    // monitors: how many monitors are installed now.
    std::size_t monitors() const { return *monitorCount_; }

private:
    std::vector<Screen> screens_;
    Point mouse_;
    bool monitorAvailable_ = true;
    // clicks: how many clicks were made; every one notifies the monitors.
    Observed<std::uint64_t> clicks_;
    std::shared_ptr<std::size_t> monitorCount_ = std::make_shared<std::size_t>(0);
};

// FakeClipboard: keeps what was put on it.
class FakeClipboard final : public Clipboard {
public:
    void setText(const std::string& text) override { texts_.push_back(text); }

    // text: what it holds now; empty when nothing was put on it.
    std::string text() const { return texts_.empty() ? std::string() : texts_.back(); }
    // texts: everything put on it, in order.
    const std::vector<std::string>& texts() const { return texts_; }

private:
    std::vector<std::string> texts_;
};

}  // namespace platform
