#pragma once

#include <QDialog>
#include <QUrl>

#include <functional>
#include <string>

class QLabel;

namespace app::ui {

// AboutDialog: "About Vantor MCP": the program's icon, name and version, and centred credits:
// the support address, linked to a support e-mail with the diagnostics of the moment; the web
// site; and what the AI can and can't do. Made once and kept; each present() takes a fresh
// snapshot of the diagnostics.
//
// Main thread only.
class AboutDialog final : public QDialog {
public:
    struct Dependencies {
        std::string version;
        // The support e-mail link as it would be sent now.
        std::function<std::string()> supportMail;
        // Opens a link in the user's mail program or browser.
        std::function<void(const QUrl&)> openURL;
    };

    explicit AboutDialog(Dependencies dependencies, QWidget* parent = nullptr);

    // present: builds the credits anew, then shows the dialog in front, focused.
    void present();

    QLabel& credits() const { return *credits_; }

private:
    Dependencies dependencies_;
    QLabel* credits_ = nullptr;
    bool placed_ = false;
};

}  // namespace app::ui
