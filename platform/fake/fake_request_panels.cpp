#include "platform/fake/fake_request_panels.hpp"

#include <utility>

namespace platform {

namespace {

class FakeRequestWindow final : public RequestWindow {
public:
    FakeRequestWindow(std::shared_ptr<FakeRequestPanels::Record> record, const FakeRequestPanels& panels)
        : record_(std::move(record)), fittingSize_(panels.fittingSize), visibleFrame_(panels.visibleFrame) {}
    ~FakeRequestWindow() override {
        record_->visible = false;
        record_->focused = false;
        record_->destroyed = true;
    }

    Size fittingSize() const override { return fittingSize_; }
    Size contentSize() const override { return {record_->frame.width, record_->frame.height}; }
    void setContentSize(Size size) override {
        record_->frame.width = size.width;
        record_->frame.height = size.height;
        ++record_->resizes;
    }
    Rect frame() const override { return record_->frame; }
    void moveTo(Point topLeft) override {
        record_->frame.x = topLeft.x;
        record_->frame.y = topLeft.y;
    }
    std::optional<Rect> visibleFrame() const override { return visibleFrame_; }
    void orderFrontAndFocus() override {
        record_->visible = true;
        record_->focused = true;
    }
    void close() override {
        record_->visible = false;
        record_->focused = false;
        record_->closed = true;
    }

private:
    std::shared_ptr<FakeRequestPanels::Record> record_;
    Size fittingSize_;
    std::optional<Rect> visibleFrame_;
};

}  // namespace

std::unique_ptr<RequestWindow> FakeRequestPanels::makeRequestPanel(const RequestViewContent& content,
                                                                   std::function<void(LookAnswer)> onAnswer,
                                                                   std::function<void()> onUserClose) {
    auto record = std::make_shared<Record>();
    record->content = content;
    record->onAnswer = std::move(onAnswer);
    record->onUserClose = std::move(onUserClose);
    records_.push_back(record);
    return std::make_unique<FakeRequestWindow>(record, *this);
}

std::vector<std::shared_ptr<FakeRequestPanels::Record>> FakeRequestPanels::shown() const {
    std::vector<std::shared_ptr<Record>> result;
    for (const auto& record : records_) {
        if (record->visible) result.push_back(record);
    }
    return result;
}

void FakeRequestPanels::answer(const Record& panel, LookAnswer answer) {
    if (panel.destroyed || panel.closed) return;
    auto onAnswer = panel.onAnswer;
    if (onAnswer) onAnswer(answer);
}

void FakeRequestPanels::pressClose(Record& panel) {
    if (panel.destroyed || panel.closed) return;
    panel.visible = false;
    panel.focused = false;
    auto onUserClose = panel.onUserClose;
    if (onUserClose) onUserClose();
}

}  // namespace platform
