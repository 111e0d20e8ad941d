#pragma once

#include "platform/request_panels.hpp"

#include <memory>
#include <vector>

namespace platform {

// FakeRequestPanels: request panels that only record what is done to them, and let the test
// press their buttons and their close button. Each panel made leaves a record that outlives it.
// A panel's frame is its content area (no window-manager frame); its content asks for
// fittingSize, and its screen's visible frame is visibleFrame. Main thread only.
class FakeRequestPanels final : public RequestPanels {
public:
    struct Record {
        RequestViewContent content;
        Rect frame;
        bool visible = false;
        bool focused = false;
        bool closed = false;
        bool destroyed = false;
        int resizes = 0;
        std::function<void(LookAnswer)> onAnswer;
        std::function<void()> onUserClose;
    };

    std::unique_ptr<RequestWindow> makeRequestPanel(const RequestViewContent& content,
                                                    std::function<void(LookAnswer)> onAnswer,
                                                    std::function<void()> onUserClose) override;

    // records: every panel made, in order.
    const std::vector<std::shared_ptr<Record>>& records() const { return records_; }
    // shown: the panels on screen now.
    std::vector<std::shared_ptr<Record>> shown() const;

    // answer: presses the button that gives this answer; nothing happens on a panel that is
    // gone. A copy of the callback runs, since it may destroy its panel.
    static void answer(const Record& panel, LookAnswer answer);
    // pressClose: the user closes the panel with its close button.
    static void pressClose(Record& panel);

    Size fittingSize{380, 260};
    std::optional<Rect> visibleFrame{Rect{0, 0, 1600, 976}};

private:
    std::vector<std::shared_ptr<Record>> records_;
};

}  // namespace platform
