#include "platform/qt/qt_click_monitor.hpp"

#include "platform/error.hpp"

#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWindow>

#include <utility>

namespace platform {

namespace {

bool isOwnWindow(WindowID id) {
    for (const auto* window : QGuiApplication::topLevelWindows()) {
        // handle(): only windows that exist on the server; winId() would create the others.
        if (window->handle() != nullptr && window->winId() == id) return true;
    }
    return false;
}

}  // namespace

QtClickMonitor::QtClickMonitor(const ClickSourceFactory& makeSource) {
    try {
        source_ = makeSource(isOwnWindow);
    } catch (const Error&) {
        // No monitor: the rings still end by Done, Copy, their time limit and lost spots.
        return;
    }
    if (!source_) return;
    notifier_ = std::make_unique<QSocketNotifier>(source_->fileDescriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { readClicks(); });
}

QtClickMonitor::~QtClickMonitor() = default;

Subscription QtClickMonitor::addLeftMouseDown(std::function<void()> handler) {
    if (!source_) return {};
    return clicks_.subscribe([handler = std::move(handler)](std::uint64_t) { handler(); });
}

void QtClickMonitor::readClicks() {
    const int clicks = source_->readClicks();
    if (source_->broken()) notifier_->setEnabled(false);
    for (int i = 0; i < clicks; ++i) clicks_.setAlways(clicks_.get() + 1);
}

}  // namespace platform
