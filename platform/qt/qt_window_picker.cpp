#include "platform/qt/qt_window_picker.hpp"

#include "platform/error.hpp"
#include "platform/qt/detail/window_picker_dialog.hpp"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>

#include <utility>

namespace platform {

namespace {

QString rowText(const PickedWindow& window) {
    const auto app = QString::fromStdString(window.appName.empty() ? window.processName : window.appName);
    const auto title = QString::fromStdString(window.title);
    if (app.isEmpty()) return title;
    if (title.isEmpty()) return app;
    return app + QStringLiteral(": ") + title;
}

// A copy of the frame's pixels: the image must not outlive the frame's buffer otherwise.
QImage imageOf(const std::optional<FrameImage>& frame) {
    if (!frame || !frame->pixels) return {};
    return QImage(frame->pixels->data(), frame->width, frame->height, frame->bytesPerRow, QImage::Format_ARGB32)
        .copy();
}

double scaleAt(const Rect& bounds) {
    const QPoint centre(static_cast<int>(bounds.x + bounds.width / 2), static_cast<int>(bounds.y + bounds.height / 2));
    const auto* screen = QGuiApplication::screenAt(centre);
    return screen != nullptr ? screen->devicePixelRatio() : 1.0;
}

}  // namespace

QtWindowPicker::QtWindowPicker(WindowCatalogue& catalogue) : catalogue_(catalogue) {}

QtWindowPicker::~QtWindowPicker() { close(); }

void QtWindowPicker::addObserver(std::weak_ptr<PickerObserver> observer) { observers_.push_back(std::move(observer)); }

void QtWindowPicker::configure(const PickerConfiguration& configuration) { configuration_ = configuration; }

void QtWindowPicker::setActive(bool active) {
    active_ = active;
    if (!active) close();
}

void QtWindowPicker::present() {
    if (!active_) {
        tellFailed("The window picker isn't active.");
        return;
    }
    if (!dialog_) {
        const auto generation = ++generation_;
        auto dialog = std::make_unique<detail::WindowPickerDialog>(
            [this, generation](std::optional<std::size_t> row) { finished(generation, row); });
        std::vector<WindowCatalogue::Entry> entries;
        try {
            // The dialog's own native window names this program's application class, which
            // the list leaves out together with the program's other windows.
            entries = catalogue_.list(configuration_.excludedPIDs, static_cast<WindowID>(dialog->winId()));
        } catch (const Error& error) {
            tellFailed(error.what());
            return;
        }
        std::vector<detail::WindowPickerDialog::Row> rows;
        rows.reserve(entries.size());
        for (const auto& entry : entries) {
            rows.push_back({rowText(entry.window), imageOf(catalogue_.picture(entry.window.id))});
        }
        dialog->setRows(rows);
        entries_ = std::move(entries);
        dialog_ = std::move(dialog);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void QtWindowPicker::finished(std::uint64_t generation, std::optional<std::size_t> row) {
    if (generation != generation_ || !dialog_) return;
    std::optional<PickedContent> content;
    if (row && *row < entries_.size()) {
        const auto& entry = entries_[*row];
        content = PickedContent{{entry.window}, entry.bounds, scaleAt(entry.bounds)};
    }
    close();
    for (const auto& observer : liveObservers()) {
        if (content) {
            observer->pickerChose(*content);
        } else {
            observer->pickerCancelled();
        }
    }
}

void QtWindowPicker::close() {
    ++generation_;
    entries_.clear();
    if (!dialog_) return;
    dialog_->hide();
    // It may be closing from within one of its own handlers.
    dialog_.release()->deleteLater();
}

std::vector<std::shared_ptr<PickerObserver>> QtWindowPicker::liveObservers() const {
    std::vector<std::shared_ptr<PickerObserver>> live;
    for (const auto& weak : observers_) {
        if (auto observer = weak.lock()) live.push_back(std::move(observer));
    }
    return live;
}

void QtWindowPicker::tellFailed(const std::string& reason) const {
    for (const auto& observer : liveObservers()) observer->pickerFailed(reason);
}

}  // namespace platform
