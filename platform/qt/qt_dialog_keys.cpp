#include "platform/qt/qt_dialog_keys.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QWidget>

namespace platform {

namespace {

bool pressable(const QAbstractButton* button) {
    return button != nullptr && button->isVisible() && button->isEnabled();
}

// DialogKeys: watches the keys that reach scope's window, which are those the focused widget
// left alone (a button leaves Return to its window, a list keeps its arrows).
class DialogKeys final : public QObject {
public:
    DialogKeys(QWidget& scope, QAbstractButton* defaultButton, QAbstractButton* cancelButton)
        : QObject(&scope), scope_(&scope), default_(defaultButton), cancel_(cancelButton) {
        scope.window()->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || !scope_ || !scope_->isVisible()) {
            return QObject::eventFilter(watched, event);
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) return false;
        switch (key->key()) {
            case Qt::Key_Return:
            case Qt::Key_Enter:
                return press(pressable(focusedButton()) ? focusedButton() : default_.data(), key->isAutoRepeat());
            case Qt::Key_Escape:
                if (pressable(cancel_)) return press(cancel_, key->isAutoRepeat());
                if (!key->isAutoRepeat()) scope_->window()->close();
                return true;
            default:
                return false;
        }
    }

private:
    // focusedButton: the button of this window that has the keyboard focus, if a button has it.
    QAbstractButton* focusedButton() const {
        auto* button = qobject_cast<QAbstractButton*>(QApplication::focusWidget());
        return button != nullptr && button->window() == scope_->window() ? button : nullptr;
    }

    // press: clicks button; a held key clicks once.
    static bool press(QAbstractButton* button, bool repeated) {
        if (!pressable(button)) return false;
        if (!repeated) button->click();
        return true;
    }

    QPointer<QWidget> scope_;
    QPointer<QAbstractButton> default_;
    QPointer<QAbstractButton> cancel_;
};

}  // namespace

void useDialogKeys(QWidget& scope, QAbstractButton* defaultButton, QAbstractButton* cancelButton) {
    new DialogKeys(scope, defaultButton, cancelButton);
}

}  // namespace platform
