#include "app/ui/reopen_watcher.hpp"

#include <QSocketNotifier>

#include <utility>

namespace app::ui {

ReopenWatcher::ReopenWatcher(platform::ReopenListener listener, std::function<void(platform::Reopens)> onReopen, QObject* parent)
    : QObject(parent), listener_(std::move(listener)), onReopen_(std::move(onReopen)) {
    notifier_ = new QSocketNotifier(listener_.fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        const auto reopens = listener_.takeReopens();
        if (reopens != platform::Reopens{} && onReopen_) onReopen_(reopens);
    });
}

}  // namespace app::ui
