#pragma once

#include "platform/qt/qt_overlay_window.hpp"

#include <QWidget>

#include <functional>
#include <memory>

namespace platform {

namespace detail {
class PillButton;
}

// MarkLabelWidget: the dark rounded label beside a ring: a red number badge, the caption and
// the text to enter (each on at most two lines, at most 260 wide), a Copy button with the text,
// and a Done button. After Copy the button reads "Copied" for 1.5 s.
class MarkLabelWidget final : public QWidget {
public:
    MarkLabelWidget(const MarkLabelContent& content, OverlayLook look, std::function<void()> onCopy,
                    std::function<void()> onDone);

    // copied: whether the Copy button reads "Copied" now.
    bool copied() const { return copied_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void copyText();
    void showCopied(bool copied);

    OverlayLook look_;
    std::function<void()> onCopy_;
    detail::PillButton* copy_ = nullptr;
    bool copied_ = false;
};

// makeQtLabel: a label window titled "Vantor MCP Label", hidden, sized to its content.
std::unique_ptr<LabelPanel> makeQtLabel(const MarkLabelContent& content, OverlayLook look,
                                        std::function<void()> onCopy, std::function<void()> onDone);

}  // namespace platform
