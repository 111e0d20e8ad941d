#include "app/tray/tray_icon.hpp"

#include <QIcon>

namespace app {

TrayIcon::TrayIcon() {
    item_.setIcon(QIcon(kMenuBarIcon));
    item_.show();
}

void TrayIcon::setSharing(bool sharing) {
    if (sharing == sharing_) return;
    sharing_ = sharing;
    item_.setIcon(QIcon(sharing ? kMenuBarIconSharing : kMenuBarIcon));
}

}  // namespace app
