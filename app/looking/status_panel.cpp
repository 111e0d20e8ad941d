#include "app/looking/status_panel.hpp"

#include <cmath>
#include <string>
#include <utility>

namespace app {

namespace {

// A fitting height this close to the current one leaves the frame alone.
constexpr double kRefitTolerance = 0.5;

void fitHeight(platform::StatusPanelWindow& panel) {
    const auto height = panel.fittingHeight();
    const auto frame = panel.frame();
    if (std::abs(height - frame.height) <= kRefitTolerance) return;
    panel.setFrame({frame.x, frame.bottom() - height, frame.width, height});
}

}  // namespace

platform::StatusViewContent statusViewContent(const GuideStatus& status) {
    platform::StatusViewContent content;
    const auto& message = status.message().get();
    if (message && !message->empty()) content.message = *message;
    if (const auto& finished = status.finished().get()) {
        content.finished = finished->empty() ? std::string("Done") : *finished;
        return content;
    }
    if (const auto& steps = status.steps().get()) {
        content.statusLine = std::to_string(steps->done) + " of " + std::to_string(steps->total) + " done";
        content.showsDone = true;
    } else if (status.answeredElsewhere().get()) {
        content.statusLine = status.client().get() + " may have answered in its own window.";
    } else if (status.thinking().get()) {
        content.spinner = true;
        content.statusLine = status.client().get() + " is looking…";
    }
    content.showsStopSharing = true;
    return content;
}

platform::Rect statusPanelFrame(const std::vector<platform::Screen>& screens, platform::Point mouse,
                                double height) {
    platform::Rect visible;
    if (const auto* screen = platform::screenContaining(screens, mouse)) {
        visible = screen->visibleFrame;
    } else if (!screens.empty()) {
        visible = screens.front().visibleFrame;
    }
    const double centre = visible.x + visible.width / 2;
    return {centre - StatusPanel::kWidth / 2, visible.bottom() - StatusPanel::kBottomMargin - height,
            StatusPanel::kWidth, height};
}

StatusPanel::StatusPanel(GuideStatus& status, platform::Windows& windows, platform::Screens& screens,
                         platform::Scheduler& main, std::function<void()> onDone,
                         std::function<void()> onStopSharing)
    : status_(status),
      windows_(windows),
      screens_(screens),
      main_(main),
      onDone_(std::move(onDone)),
      onStopSharing_(std::move(onStopSharing)) {
    const auto redraw = [this](const auto&) { showContent(); };
    observing_.push_back(status_.client().subscribe(redraw));
    observing_.push_back(status_.message().subscribe(redraw));
    observing_.push_back(status_.steps().subscribe(redraw));
    observing_.push_back(status_.thinking().subscribe(redraw));
    observing_.push_back(status_.answeredElsewhere().subscribe(redraw));
    observing_.push_back(status_.finished().subscribe(redraw));
    attached_ = status_.attachPanel([this] { update(); });
}

StatusPanel::~StatusPanel() = default;

void StatusPanel::update() {
    if (!status_.visible()) {
        if (panel_) {
            panel_->orderOut();
            panel_.reset();
        }
        return;
    }
    if (panel_) {
        // Raised again, since a full-screen window may have come over it meanwhile.
        panel_->orderFront();
        refitSoon();
        return;
    }
    panel_ = windows_.makeStatusPanel([this] { if (onDone_) onDone_(); },
                                      [this] { if (onStopSharing_) onStopSharing_(); });
    panel_->show(statusViewContent(status_));
    const auto height = panel_->fittingHeight();
    panel_->setFrame(statusPanelFrame(screens_.screens(), screens_.mouseLocation(), height));
    panel_->orderFront();
}

void StatusPanel::showContent() {
    if (!panel_) return;
    panel_->show(statusViewContent(status_));
    // What changes without an update (the hint that comes after a while, a new message) needs
    // its height as much as what comes with one.
    refitSoon();
}

void StatusPanel::refitSoon() {
    main_.post([weak = std::weak_ptr(panel_)] {
        if (auto panel = weak.lock()) fitHeight(*panel);
    });
}

}  // namespace app
