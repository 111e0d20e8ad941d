#pragma once

#include "platform/click_monitor.hpp"
#include "platform/observed.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QSocketNotifier;

namespace platform {

class X11ClickSource;

// QtClickMonitor: the global click monitor of the program on X11: XInput 2 raw button events,
// read on the Qt event loop. A click over any of the program's own top-level windows doesn't
// count. When the X server can't report clicks, every addLeftMouseDown gives no monitor.
//
// Main thread only; needs a QGuiApplication on the X11 platform.
class QtClickMonitor final : public ClickMonitor {
public:
    // Connects to displayName (empty: DISPLAY).
    explicit QtClickMonitor(const std::string& displayName = {});
    ~QtClickMonitor() override;
    QtClickMonitor(const QtClickMonitor&) = delete;
    QtClickMonitor& operator=(const QtClickMonitor&) = delete;

    Subscription addLeftMouseDown(std::function<void()> handler) override;

    // available: whether clicks can be watched.
    bool available() const { return source_ != nullptr; }

private:
    void readClicks();

    std::unique_ptr<X11ClickSource> source_;
    std::unique_ptr<QSocketNotifier> notifier_;
    // clicks: how many clicks were seen; every one notifies the handlers.
    Observed<std::uint64_t> clicks_;
};

}  // namespace platform
