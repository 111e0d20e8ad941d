#pragma once

#include <QAbstractButton>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QLabel;

// The building blocks of the tray panel: rows that look like a menu's, only larger, a divider
// and a section header with a disclosure chevron. They hold no state of the program; a row's
// only state of its own is whether the pointer is over it.
namespace app::ui {

// RowIcon: the icon at a row's start: a bundled symbol, or the program's mark (drawn as a
// template); prominent ones are white on an accent disc, the others in the text colour on a
// faint disc.
struct RowIcon {
    QString name;
    bool isMark = false;
    bool prominent = false;
};

// Chevron: the "chevron.right" symbol, turned to point down while expanded.
class Chevron final : public QWidget {
public:
    explicit Chevron(QWidget* parent = nullptr);
    void setExpanded(bool expanded);
    bool expanded() const { return expanded_; }
    QSize sizeHint() const override { return {14, 14}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool expanded_ = false;
};

// MenuRow: one clickable row: an optional icon in a 26-pixel disc, a title with an optional
// wrapping subtitle under it, and an optional accessory at the end. The whole row is the click
// and hover area; the pointer over it, or the keyboard's focus, shows a faint rounded
// background. Clicking, or Space or Return while it has the focus, runs the action given at
// construction (through QAbstractButton::clicked). Rows take the focus from the keyboard only.
class MenuRow final : public QAbstractButton {
public:
    MenuRow(std::optional<RowIcon> icon, const QString& title, std::function<void()> action,
            QWidget* accessory = nullptr, QWidget* parent = nullptr);

    void setIcon(const RowIcon& icon);
    void setTitle(const QString& title);
    QString title() const;
    // setSubtitle: shows the line under the title; none hides it.
    void setSubtitle(const std::optional<QString>& subtitle);
    std::optional<QString> subtitle() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    class IconDisc;

    IconDisc* icon_ = nullptr;
    QLabel* title_ = nullptr;
    QLabel* subtitle_ = nullptr;
};

// CollapsibleSectionHeader: a section's title and a chevron that points down while the section
// is expanded. Clicking runs the action and leaves expanded as it is: the caller owns it.
class CollapsibleSectionHeader final : public QAbstractButton {
public:
    CollapsibleSectionHeader(const QString& title, std::function<void()> action, QWidget* parent = nullptr);
    void setExpanded(bool expanded);
    bool expanded() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Chevron* chevron_ = nullptr;
};

// MenuDivider: a thin line across the panel between sections.
class MenuDivider final : public QWidget {
public:
    explicit MenuDivider(QWidget* parent = nullptr);
    QSize sizeHint() const override { return {0, 9}; }

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace app::ui
