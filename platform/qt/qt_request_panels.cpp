#include "platform/qt/qt_request_panels.hpp"

#include "platform/qt/qt_look_request_view.hpp"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <utility>

namespace platform {

namespace {

// PanelWidget: the panel's top-level window. It forwards the view's answers and the user's
// close until the program lets go of it.
//
// A request waits for the user, so the panel must not be minimized out of sight: a utility
// window (Qt::Tool) gets no minimize button from the window managers that honour its type,
// and one minimized all the same (from a task list, say) comes straight back.
class PanelWidget final : public QWidget {
public:
    PanelWidget(const RequestViewContent& content, std::function<void(LookAnswer)> onAnswer,
                std::function<void()> onUserClose)
        : QWidget(nullptr, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                               Qt::WindowStaysOnTopHint),
          onAnswer_(std::move(onAnswer)),
          onUserClose_(std::move(onUserClose)) {
        setWindowTitle(QStringLiteral("Vantor MCP"));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new LookRequestView(
            content,
            [this](LookAnswer answer) {
                // Copied: the answer may make the program let go of this window.
                auto answered = onAnswer_;
                if (answered) answered(answer);
            },
            this);
        layout->addWidget(view_);
    }

    const LookRequestView& view() const { return *view_; }

    // detach: no answer or close reaches the program any more.
    void detach() {
        onAnswer_ = nullptr;
        onUserClose_ = nullptr;
    }

protected:
    void changeEvent(QEvent* event) override {
        QWidget::changeEvent(event);
        if (event->type() != QEvent::WindowStateChange || !isMinimized() || !onAnswer_) return;
        // Restored on the next turn: the window manager is still minimizing it in this one.
        QTimer::singleShot(0, this, [this] {
            if (!isMinimized()) return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            show();
            raise();
            activateWindow();
        });
    }

    void closeEvent(QCloseEvent* event) override {
        QWidget::closeEvent(event);
        if (auto onUserClose = std::exchange(onUserClose_, nullptr)) onUserClose();
    }

private:
    LookRequestView* view_ = nullptr;
    std::function<void(LookAnswer)> onAnswer_;
    std::function<void()> onUserClose_;
};

class QtRequestWindow final : public RequestWindow {
public:
    explicit QtRequestWindow(PanelWidget* widget) : widget_(widget) {}
    // The widget goes on a later turn of the event loop: this may be running inside one of its
    // own handlers.
    ~QtRequestWindow() override { close(); }
    QtRequestWindow(const QtRequestWindow&) = delete;
    QtRequestWindow& operator=(const QtRequestWindow&) = delete;

    Size fittingSize() const override {
        return {double(LookRequestView::kWidth), double(widget_->view().fittingHeight())};
    }
    Size contentSize() const override { return {double(widget_->width()), double(widget_->height())}; }
    void setContentSize(Size size) override {
        widget_->setFixedSize(static_cast<int>(size.width), static_cast<int>(size.height));
    }
    Rect frame() const override {
        const auto g = widget_->frameGeometry();
        return {double(g.x()), double(g.y()), double(g.width()), double(g.height())};
    }
    void moveTo(Point topLeft) override { widget_->move(static_cast<int>(topLeft.x), static_cast<int>(topLeft.y)); }
    std::optional<Rect> visibleFrame() const override {
        const QScreen* screen = widget_->screen();
        if (screen == nullptr) screen = QGuiApplication::primaryScreen();
        if (screen == nullptr) return std::nullopt;
        const auto g = screen->availableGeometry();
        return Rect{double(g.x()), double(g.y()), double(g.width()), double(g.height())};
    }
    void orderFrontAndFocus() override {
        widget_->show();
        widget_->raise();
        widget_->activateWindow();
    }
    void close() override {
        if (!widget_) return;
        widget_->detach();
        widget_->hide();
        widget_->deleteLater();
        widget_ = nullptr;
    }

private:
    QPointer<PanelWidget> widget_;
};

}  // namespace

std::unique_ptr<RequestWindow> QtRequestPanels::makeRequestPanel(const RequestViewContent& content,
                                                                 std::function<void(LookAnswer)> onAnswer,
                                                                 std::function<void()> onUserClose) {
    return std::make_unique<QtRequestWindow>(new PanelWidget(content, std::move(onAnswer), std::move(onUserClose)));
}

}  // namespace platform
