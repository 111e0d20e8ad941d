#pragma once

#include <QString>
#include <QSystemTrayIcon>

namespace app {

// The tray icon's two images, from the program's Qt resources.
inline const QString kMenuBarIcon = QStringLiteral(":/icons/menu_bar_icon.svg");
inline const QString kMenuBarIconSharing = QStringLiteral(":/icons/menu_bar_icon_sharing.svg");

// TrayIcon: the program's one item in the system tray, shown while the program runs. Its image
// tells whether a window is shared: kMenuBarIcon while none is, kMenuBarIconSharing while one
// is. Without a tray on the desktop the icon is simply not seen; the program runs on.
//
// GUI thread only; needs the QApplication.
class TrayIcon {
public:
    TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // setSharing: switches the image when sharing starts or ends.
    void setSharing(bool sharing);

    // item: the tray item itself, for the panel it opens.
    QSystemTrayIcon& item() { return item_; }

private:
    QSystemTrayIcon item_;
    bool sharing_ = false;
};

}  // namespace app
