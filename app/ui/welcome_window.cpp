#include "app/ui/welcome_window.hpp"

#include <utility>

namespace app::ui {

WelcomeWindow::WelcomeWindow(WelcomeModel::Dependencies dependencies) : dependencies_(std::move(dependencies)) {}

void WelcomeWindow::show() {
    if (!view_) {
        model_ = std::make_unique<WelcomeModel>(dependencies_);
        view_ = std::make_unique<WelcomeView>(*model_);
    }
    view_->present();
}

}  // namespace app::ui
