#pragma once

#include "platform/qt/qt_overlay_window.hpp"

#include <QPoint>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QHBoxLayout;

namespace platform {

namespace detail {
class ClampedLabel;
class PillButton;
}

// StatusWidget: the status box: the program's glyph, the message (at most two lines), the
// status line or the closing words with a green check mark, and the Done and Stop Sharing
// buttons, on a dark rounded box 420 wide and at least 52 high. The user drags it by its
// background.
class StatusWidget final : public QWidget {
public:
    static constexpr int kWidth = 420;

    StatusWidget(OverlayLook look, std::function<void()> onDone, std::function<void()> onStopSharing);

    void showContent(const StatusViewContent& content);
    // fittingHeight: the height the content asks for at the box's width.
    int fittingHeight() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    OverlayLook look_;
    detail::ClampedLabel* message_ = nullptr;
    QWidget* finishedRow_ = nullptr;
    detail::ClampedLabel* finished_ = nullptr;
    QWidget* statusRow_ = nullptr;
    QWidget* spinner_ = nullptr;
    detail::ClampedLabel* statusLine_ = nullptr;
    detail::PillButton* done_ = nullptr;
    detail::PillButton* stopSharing_ = nullptr;
    // dragOffset: where in the box the pointer took hold of it, while dragging.
    std::optional<QPoint> dragOffset_;
};

// makeQtStatusPanel: the status box window titled "Vantor MCP Status", hidden.
std::unique_ptr<StatusPanelWindow> makeQtStatusPanel(OverlayLook look, std::function<void()> onDone,
                                                     std::function<void()> onStopSharing);

}  // namespace platform
