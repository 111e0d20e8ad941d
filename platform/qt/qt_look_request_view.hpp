#pragma once

#include "platform/request_panels.hpp"

#include <QWidget>

#include <functional>

namespace platform {

// LookRequestView: the content of the request panel, 380 wide: the program's glyph, the title
// (at most three lines), the reason (at most six), and the buttons of the content's layout. A
// named client's request offers "Share Once" (the default), "Share for 5 Minutes" and "Not Now"
// (the cancel) stacked, between two explanatory lines; the user's own test offers "Not Now"
// (the cancel) and "Choose Window…" (the default) side by side. The keys are a dialog's
// (useDialogKeys): the default button has the focus at first, Return presses the focused
// button, Escape "Not Now". Every press calls onAnswer with its answer; the view never closes
// anything itself.
//
// Made inside the window that shows it (parent), whose keys it watches.
class LookRequestView final : public QWidget {
public:
    static constexpr int kWidth = 380;
    static constexpr int kTitleLines = 3;
    static constexpr int kReasonLines = 6;

    LookRequestView(const RequestViewContent& content, std::function<void(LookAnswer)> onAnswer,
                    QWidget* parent = nullptr);

    // fittingHeight: the height its content asks for at its width.
    int fittingHeight() const;

private:
    std::function<void(LookAnswer)> onAnswer_;
};

}  // namespace platform
