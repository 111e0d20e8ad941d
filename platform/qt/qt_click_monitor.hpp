#pragma once

#include "platform/click_monitor.hpp"
#include "platform/click_source.hpp"
#include "platform/observed.hpp"

#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace platform {

// QtClickMonitor: the global click monitor of the program: the clicks of a click source (on X11,
// XInput 2 raw button events), read on the Qt event loop. A click over any of the program's own
// top-level windows doesn't count. When no source can be made, every addLeftMouseDown gives no
// monitor.
//
// Main thread only; needs a QGuiApplication.
class QtClickMonitor final : public ClickMonitor {
public:
    // makeSource: called once, here, with the test for the program's own windows.
    explicit QtClickMonitor(const ClickSourceFactory& makeSource);
    ~QtClickMonitor() override;
    QtClickMonitor(const QtClickMonitor&) = delete;
    QtClickMonitor& operator=(const QtClickMonitor&) = delete;

    Subscription addLeftMouseDown(std::function<void()> handler) override;

    // available: whether clicks can be watched.
    bool available() const { return source_ != nullptr; }

private:
    void readClicks();

    std::unique_ptr<ClickSource> source_;
    std::unique_ptr<QSocketNotifier> notifier_;
    // clicks: how many clicks were seen; every one notifies the handlers.
    Observed<std::uint64_t> clicks_;
};

}  // namespace platform
