#pragma once

class QAbstractButton;
class QWidget;

namespace platform {

// useDialogKeys: gives the buttons of scope the keys of a Linux desktop's dialogs (Qt's and
// GTK's alike), for windows that aren't a QDialog and panels inside a window:
// - Return (or Enter) presses the button that has the focus, and defaultButton only when no
//   button has it;
// - Space presses the focused button (the button's own key, left to it);
// - Escape presses cancelButton or, without one, closes the window.
// The keys count while scope is shown; a key that a focused widget takes for itself (a list,
// a field) stays its own. defaultButton and cancelButton may be null, and must lie in scope.
// Scopes may nest in one window: the one set up last answers first.
//
// Main thread only. Set up once scope is in its window for good: the keys are watched there.
void useDialogKeys(QWidget& scope, QAbstractButton* defaultButton, QAbstractButton* cancelButton);

}  // namespace platform
