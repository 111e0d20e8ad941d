#pragma once

#include <QDialog>
#include <QImage>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace platform::detail {

// WindowPickerDialog: "Choose a window to share": a list of windows, each with a small picture
// and "App: Title", a filter field that keeps the rows whose text contains what is typed (any
// letter case), and the Share (default, Return or a double click) and Cancel (Escape, or the
// window's close button) buttons. The first row is chosen at the start; Up and Down in the
// filter field move the choice. An empty list says why: no window on screen to offer (the
// minimized ones and those on other desktops are never offered), or none matching the filter.
class WindowPickerDialog final : public QDialog {
public:
    static constexpr const char* kTitle = "Choose a window to share";
    static constexpr const char* kNoWindows =
        "No other window is on screen. Minimized windows and windows on other desktops aren't listed.";
    // kNoMatch: with the filter's text in place of %1.
    static constexpr const char* kNoMatch = "No window matches \u201C%1\u201D.";

    struct Row {
        QString text;
        // picture: the window's content; a null image shows no picture.
        QImage picture;
    };

    // onFinished: runs once the user ends the dialog, with the index of the chosen row, or none
    // when the user cancelled. It may destroy the dialog later, not from within the call.
    explicit WindowPickerDialog(std::function<void(std::optional<std::size_t>)> onFinished);

    // setRows: the windows to offer, in order; the first is chosen.
    void setRows(const std::vector<Row>& rows);

    // shownRows: the texts of the rows the filter keeps, in order.
    std::vector<QString> shownRows() const;
    // emptyText: what the dialog says in place of rows; empty while it shows some.
    QString emptyText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyFilter(const QString& text);
    void updateShareButton();

    QLineEdit* filter_ = nullptr;
    QListWidget* list_ = nullptr;
    QLabel* empty_ = nullptr;
    QPushButton* share_ = nullptr;
};

}  // namespace platform::detail
