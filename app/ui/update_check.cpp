#include "app/ui/update_check.hpp"

#include "app/tray/footer.hpp"
#include "app/ui/menu_style.hpp"

#include <QMessageBox>

namespace app::ui {

UpdateCheck::~UpdateCheck() {
    delete box_;
}

void UpdateCheck::checkForUpdates() {
    if (!box_) {
        box_ = new QMessageBox(QMessageBox::Information, qText(footer::kUpdateTitle),
                               qText(footer::updateMessage(version_)), QMessageBox::Ok);
        box_->setIconPixmap(appIconPixmap(48, box_->devicePixelRatioF()));
    }
    box_->show();
    box_->raise();
    box_->activateWindow();
}

}  // namespace app::ui
