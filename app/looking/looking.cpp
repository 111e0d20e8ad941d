#include "app/looking/looking.hpp"

#include "app/common/tool_error.hpp"

#include <utility>

namespace app {

namespace {

// OpenFlag: holds a flag set for as long as it lives, which for a coroutine's local is every
// way out of it: its end, an exception, or the task being dropped.
class OpenFlag {
public:
    explicit OpenFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~OpenFlag() { flag_ = false; }
    OpenFlag(const OpenFlag&) = delete;
    OpenFlag& operator=(const OpenFlag&) = delete;

private:
    bool& flag_;
};

}  // namespace

Looking::Looking(WindowShare& share, RequestPanel& panel) : share_(share), panel_(panel) {}

std::string Looking::requestTitle(const std::string& client) {
    return client + " wants to see a window";
}

platform::Task<WindowShare::Picture> Looking::look(std::string client, std::string reason) {
    if (share_.hasStandingShare(client)) {
        co_await share_.waitForStillPicture();
        if (share_.hasStandingShare(client)) {
            std::optional<WindowShare::Picture> picture;
            try {
                picture = co_await share_.picture();
            } catch (...) {
                // Not the agent's concern: the user is asked instead.
            }
            if (picture) co_return std::move(*picture);
        }
    }
    co_return co_await request(requestTitle(client), std::move(reason), client);
}

platform::Task<WindowShare::Picture> Looking::request(std::string title, std::string reason,
                                                      std::optional<std::string> client) {
    if (requestOpen_) throw ToolError(std::string(kAlreadyOpenText));
    const OpenFlag open(requestOpen_);

    panel_.clearRequestTimedOut();
    // A named value, not a temporary in the co_await: g++ 12 destroys such temporaries twice.
    platform::RequestViewContent content{std::move(title), std::move(reason), client.has_value()};
    const auto answer = co_await panel_.present(Answer::declined(), std::move(content));
    if (answer.kind == Answer::Kind::declined) {
        throw ToolError(std::string(panel_.requestTimedOut() ? kTimedOutText : kDeclinedText));
    }

    // The share makes the picker inactive as soon as the pick ends.
    const auto pick = co_await share_.pick();
    switch (pick.outcome) {
    case WindowShare::Pick::Outcome::cancelled:
        throw ToolError(std::string(kDeclinedText));
    case WindowShare::Pick::Outcome::timedOut:
        throw ToolError(std::string(kTimedOutText));
    case WindowShare::Pick::Outcome::failed:
        throw ToolError(std::string(kPickerFailedText));
    case WindowShare::Pick::Outcome::window:
        break;
    }
    co_return co_await shareAndPicture(*pick.picked, answer.grant, client.value_or(""));
}

platform::Task<WindowShare::Picture> Looking::shareAndPicture(platform::PickedContent picked,
                                                              platform::ShareGrant grant, std::string client) {
    std::optional<WindowShare::Picture> picture;
    try {
        co_await share_.share(std::move(picked), grant, std::move(client));
        picture = co_await share_.picture();
    } catch (...) {
        // Whatever was started of the capture goes, also for a five-minute share.
        share_.endStream();
        share_.deactivatePicker();
        throw;
    }
    if (grant == platform::ShareGrant::once) {
        // Nothing of the window is captured after this one picture.
        share_.endStream();
        share_.deactivatePicker();
    }
    co_return std::move(*picture);
}

}  // namespace app
