#pragma once

#include "app/tray/welcome_model.hpp"

#include "platform/subscription.hpp"

#include <QWidget>

class QLabel;
class QPushButton;

namespace app::ui {

class Spinner;

// WelcomeView: the first-run guide, 520 pixels wide and as tall as its content: three steps
// (copy the setup prompt, show a window, it points and you click), the connection shown as it
// happens, Try It, and a note that the program lives in the tray (or, without a tray, what the
// running notice says then). A window of its own, with a title and a close button only; every
// close, by "Done", Escape or the close button, records that the guide has been seen. Closing
// only hides it: shown again, it keeps its state. "Done" is the default button (useDialogKeys).
//
// Main thread only. Keeps a reference to the model, which must outlive it.
class WelcomeView final : public QWidget {
public:
    static constexpr int kWidth = 520;

    explicit WelcomeView(WelcomeModel& model, QWidget* parent = nullptr);

    // present: shows the window (centred on the screen the first time), in front of the others
    // and focused. Showing it while it is open only brings it forward.
    void present();

    // The parts, for the window's tests.
    QPushButton& copyButton() const { return *copyButton_; }
    QPushButton& tryItButton() const { return *tryItButton_; }
    QPushButton& doneButton() const { return *doneButton_; }
    QLabel& statusLabel() const { return *statusText_; }
    QWidget& connectedMark() const { return *connectedMark_; }
    // The tray note, shown while the tray shows the icon; in its place without a tray, the
    // sentence and the tip.
    QLabel& trayNoteLabel() const { return *trayText_; }
    QLabel& noTraySentence() const { return *noTraySentence_; }
    QLabel& noTrayTip() const { return *noTrayTip_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void render();

    WelcomeModel& model_;
    QPushButton* copyButton_ = nullptr;
    QWidget* connectedMark_ = nullptr;
    QWidget* statusLine_ = nullptr;
    Spinner* spinner_ = nullptr;
    QLabel* statusText_ = nullptr;
    QPushButton* tryItButton_ = nullptr;
    QWidget* trayNote_ = nullptr;
    QLabel* trayText_ = nullptr;
    QWidget* noTray_ = nullptr;
    QLabel* noTraySentence_ = nullptr;
    QLabel* noTrayTip_ = nullptr;
    QPushButton* doneButton_ = nullptr;
    bool placed_ = false;
    platform::Subscription changes_;
};

}  // namespace app::ui
