#pragma once

#include "platform/reopen_socket.hpp"

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace app::ui {

// ReopenWatcher: runs onReopen on the main thread each time other starts of the program reach
// the listener, with how many came from the user and from the bridge (several at once are
// handed over together).
//
// Main thread only; owns the listener.
class ReopenWatcher final : public QObject {
public:
    ReopenWatcher(platform::ReopenListener listener, std::function<void(platform::Reopens)> onReopen, QObject* parent = nullptr);

private:
    platform::ReopenListener listener_;
    std::function<void(platform::Reopens)> onReopen_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app::ui
