#pragma once

#include <QMessageBox>
#include <QPointer>

#include <string>

namespace app::ui {

// UpdateCheck: what "Check for Updates…" opens. The program doesn't update itself on Linux: the
// package it was installed from brings new versions. So the check checks nothing; it says which
// version runs and where updates come from, and never claims that a check ran.
//
// Main thread only; one message at a time.
class UpdateCheck {
public:
    explicit UpdateCheck(std::string version) : version_(std::move(version)) {}
    ~UpdateCheck();

    // checkForUpdates: shows the message in front, focused (the same one when it is open).
    void checkForUpdates();

    QMessageBox* message() const { return box_; }

private:
    std::string version_;
    QPointer<QMessageBox> box_;
};

}  // namespace app::ui
