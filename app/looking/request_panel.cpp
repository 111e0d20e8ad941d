#include "app/looking/request_panel.hpp"

#include "platform/one_shot.hpp"

#include <algorithm>
#include <utility>

namespace app {

using platform::LookAnswer;

platform::Point requestPanelOrigin(platform::Size frame, platform::Rect visible) {
    const double centredX = visible.x + (visible.width - frame.width) / 2;
    const double centredY = visible.y + (visible.height - frame.height) / 2;
    return {std::min(std::max(centredX, visible.x), std::max(visible.right() - frame.width, visible.x)),
            std::max(std::min(centredY, visible.bottom() - frame.height), visible.y)};
}

void fitAndPlace(platform::RequestWindow& panel) {
    const auto fitting = panel.fittingSize();
    if (fitting.width > 0 && fitting.height > 0 && fitting != panel.contentSize()) panel.setContentSize(fitting);
    const auto visible = panel.visibleFrame();
    if (!visible) return;
    const auto frame = panel.frame();
    panel.moveTo(requestPanelOrigin({frame.width, frame.height}, *visible));
}

// OpenRequest: one presented panel and the answer its caller waits for. The caller's task owns
// it; the panel's callbacks, its time-out and its re-fit hold it weakly, so a request whose
// caller has gone takes its panel with it.
class RequestPanel::OpenRequest {
public:
    explicit OpenRequest(platform::Scheduler& main) : answer(main) {}
    ~OpenRequest() {
        if (timeout) timeout->cancel();
    }

    // close: ends the request with the answer; only the first call counts.
    void close(LookAnswer given) {
        if (answer.resolved()) return;
        if (timeout) timeout->cancel();
        // Taken out first: closing the window must not come back here as the user's close.
        if (auto closing = std::move(window)) closing->close();
        answer.resolve(given);
    }

    std::unique_ptr<platform::RequestWindow> window;
    std::shared_ptr<platform::TimerHandle> timeout;
    platform::OneShot<LookAnswer> answer;
};

RequestPanel::RequestPanel(platform::RequestPanels& panels, platform::Scheduler& main)
    : panels_(panels), main_(main) {}

platform::Task<LookAnswer> RequestPanel::present(LookAnswer fallback, platform::RequestViewContent content) {
    auto request = std::make_shared<OpenRequest>(main_);
    const std::weak_ptr<OpenRequest> weak = request;
    request->window = panels_.makeRequestPanel(
        content,
        [weak](LookAnswer given) {
            if (auto open = weak.lock()) open->close(given);
        },
        [weak, fallback] {
            if (auto open = weak.lock()) open->close(fallback);
        });
    fitAndPlace(*request->window);
    request->timeout = main_.after(kTimeout, [weak, fallback, timedOut = timedOut_] {
        auto open = weak.lock();
        if (!open || open->answer.resolved()) return;
        *timedOut = true;
        open->close(fallback);
    });
    request->window->orderFrontAndFocus();
    // The content lays itself out once shown; fit the panel to it then.
    main_.post([weak] {
        auto open = weak.lock();
        if (open && open->window) fitAndPlace(*open->window);
    });
    co_return co_await request->answer;
}

}  // namespace app
