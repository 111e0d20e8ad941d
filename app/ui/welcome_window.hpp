#pragma once

#include "app/common/onboarding.hpp"
#include "app/ui/welcome_view.hpp"
#include "app/tray/welcome_model.hpp"

#include <memory>

namespace app::ui {

// WelcomeWindow: the program's one welcome window, made on the first show() and then kept,
// with its model, for the program's life: later calls show the same window in the same state.
//
// Main thread only. Keeps references to everything in the model's dependencies, which must
// outlive it; the QApplication must exist when show() is first called.
class WelcomeWindow final : public WelcomeShowing {
public:
    explicit WelcomeWindow(WelcomeModel::Dependencies dependencies);

    // show: makes the window the first time, then brings it to the front, focused.
    void show() override;

    // view: the window once made, none before.
    WelcomeView* view() const { return view_.get(); }

private:
    WelcomeModel::Dependencies dependencies_;
    std::unique_ptr<WelcomeModel> model_;
    // Declared after the model: the view goes first.
    std::unique_ptr<WelcomeView> view_;
};

}  // namespace app::ui
