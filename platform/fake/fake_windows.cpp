#include "platform/fake/fake_windows.hpp"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

// The parts every fake window shares: its record, kept up to date.
template <class Base>
class FakeWindow : public Base {
public:
    explicit FakeWindow(std::shared_ptr<FakeWindows::Record> record) : record_(std::move(record)) {}
    ~FakeWindow() override {
        record_->visible = false;
        record_->destroyed = true;
    }

    Rect frame() const override { return record_->frame; }
    void setFrame(Rect frame) override { record_->frame = frame; }
    void orderFront() override {
        record_->visible = true;
        ++record_->ordersFront;
    }
    void fadeOut(Scheduler::Clock::duration) override { record_->fading = true; }
    void orderOut() override { record_->visible = false; }

protected:
    std::shared_ptr<FakeWindows::Record> record_;
};

class FakeLabel final : public FakeWindow<LabelPanel> {
public:
    FakeLabel(std::shared_ptr<FakeWindows::Record> record, Size size)
        : FakeWindow(std::move(record)), size_(size) {}
    Size fittingSize() const override { return size_; }

private:
    Size size_;
};

class FakeStatusPanel final : public FakeWindow<StatusPanelWindow> {
public:
    using FakeWindow::FakeWindow;

    void show(const StatusViewContent& content) override { record_->status = content; }
    double fittingHeight() const override {
        const auto& message = record_->status.message;
        if (!message) return FakeWindows::kStatusHeight;
        const auto lines = std::min<std::size_t>(2, 1 + message->size() / FakeWindows::kMessageLineLength);
        return FakeWindows::kStatusHeight + FakeWindows::kMessageLineHeight * static_cast<double>(lines);
    }
};

}  // namespace

std::unique_ptr<OverlayWindow> FakeWindows::makeRing(Rect frame, double diameter) {
    auto record = std::make_shared<Record>();
    record->kind = Kind::ring;
    record->frame = frame;
    record->diameter = diameter;
    records_.push_back(record);
    return std::make_unique<FakeWindow<OverlayWindow>>(record);
}

std::unique_ptr<LabelPanel> FakeWindows::makeLabel(const MarkLabelContent& content,
                                                   std::function<void()> onCopy,
                                                   std::function<void()> onDone) {
    auto record = std::make_shared<Record>();
    record->kind = Kind::label;
    record->label = content;
    record->onCopy = std::move(onCopy);
    record->onDone = std::move(onDone);
    records_.push_back(record);
    return std::make_unique<FakeLabel>(record, labelSize);
}

std::unique_ptr<StatusPanelWindow> FakeWindows::makeStatusPanel(std::function<void()> onDone,
                                                                std::function<void()> onStopSharing) {
    auto record = std::make_shared<Record>();
    record->kind = Kind::status;
    record->onDone = std::move(onDone);
    record->onStopSharing = std::move(onStopSharing);
    records_.push_back(record);
    return std::make_unique<FakeStatusPanel>(record);
}

std::vector<std::shared_ptr<FakeWindows::Record>> FakeWindows::live(Kind kind) const {
    std::vector<std::shared_ptr<Record>> result;
    for (const auto& record : records_) {
        if (record->kind == kind && !record->destroyed) result.push_back(record);
    }
    return result;
}

std::vector<std::shared_ptr<FakeWindows::Record>> FakeWindows::visible(Kind kind) const {
    auto result = live(kind);
    std::erase_if(result, [](const auto& record) { return !record->visible; });
    return result;
}

void FakeWindows::pressCopy(const Record& label) {
    if (!label.destroyed && label.onCopy) label.onCopy();
}

void FakeWindows::pressDone(const Record& window) {
    if (!window.destroyed && window.onDone) window.onDone();
}

void FakeWindows::pressStopSharing(const Record& status) {
    if (!status.destroyed && status.onStopSharing) status.onStopSharing();
}

}  // namespace platform
