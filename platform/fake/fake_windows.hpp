#pragma once

#include "platform/windows.hpp"

#include <memory>
#include <vector>

namespace platform {

// FakeWindows: floating windows that only record what is done to them, and let the test press
// their buttons. Each window made leaves a record that outlives it, so a test can also see
// that a window was destroyed. Labels measure a fixed size (labelSize); the status box's
// fitting height grows with its message. Main thread only.
class FakeWindows final : public Windows {
public:
    enum class Kind { ring, label, status };

    struct Record {
        Kind kind = Kind::ring;
        Rect frame;
        double diameter = 0;
        bool visible = false;
        bool fading = false;
        bool destroyed = false;
        int ordersFront = 0;
        MarkLabelContent label;
        StatusViewContent status;
        std::function<void()> onCopy;
        std::function<void()> onDone;
        std::function<void()> onStopSharing;
    };

    // The status box's fitting height: one line of status, plus one per line of message.
    static constexpr double kStatusHeight = 52;
    static constexpr double kMessageLineHeight = 18;
    static constexpr std::size_t kMessageLineLength = 50;

    std::unique_ptr<OverlayWindow> makeRing(Rect frame, double diameter) override;
    std::unique_ptr<LabelPanel> makeLabel(const MarkLabelContent& content, std::function<void()> onCopy,
                                          std::function<void()> onDone) override;
    std::unique_ptr<StatusPanelWindow> makeStatusPanel(std::function<void()> onDone,
                                                       std::function<void()> onStopSharing) override;

    // records: every window made, in order.
    const std::vector<std::shared_ptr<Record>>& records() const { return records_; }
    // live: the windows of one kind not yet destroyed, in the order they were made.
    std::vector<std::shared_ptr<Record>> live(Kind kind) const;
    // visible: the windows of one kind on screen now.
    std::vector<std::shared_ptr<Record>> visible(Kind kind) const;

    // The buttons; pressing one of a destroyed window does nothing.
    static void pressCopy(const Record& label);
    static void pressDone(const Record& window);
    static void pressStopSharing(const Record& status);

    Size labelSize{180, 34};

private:
    std::vector<std::shared_ptr<Record>> records_;
};

}  // namespace platform
