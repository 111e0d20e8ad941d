#pragma once

#include "platform/reopen_socket.hpp"

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace app::ui {

// ReopenWatcher: runs onReopen on the main thread each time another start of the program
// reaches the listener (several at once count as one).
//
// Main thread only; owns the listener.
class ReopenWatcher final : public QObject {
public:
    ReopenWatcher(platform::ReopenListener listener, std::function<void()> onReopen, QObject* parent = nullptr);

private:
    platform::ReopenListener listener_;
    std::function<void()> onReopen_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace app::ui
