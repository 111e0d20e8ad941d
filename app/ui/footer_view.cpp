#include "app/ui/footer_view.hpp"

#include "app/tray/footer.hpp"
#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"
#include "app/ui/menu_view.hpp"

#include <QKeySequence>
#include <QLabel>
#include <QShortcut>
#include <QVBoxLayout>

#include <utility>

namespace app::ui {

namespace {

QLabel* accessoryText(const QString& text) {
    auto* label = textLabel(text, uiFont(13), QColor(), false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

}  // namespace

FooterView::FooterView(const std::string& version, Actions actions, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* versionText = version.empty() ? nullptr : accessoryText(qText(version));
    auto* quitKey = accessoryText(qText(footer::kQuitKey));
    setupGuide_ = row(footer::kSetupGuide.data(), actions_.openSetupGuide, nullptr);
    updates_ = row(footer::kCheckForUpdates.data(), actions_.openUpdateCheck, versionText);
    about_ = row(footer::kAbout.data(), actions_.showAbout, nullptr);
    quit_ = row(footer::kQuit.data(), actions_.quit, quitKey);
    for (auto* label : {versionText, quitKey}) {
        if (label) setTextColour(*label, tertiaryColour(palette()));
    }
    for (auto* each : {setupGuide_, updates_, about_, quit_}) layout->addWidget(each);

    // The whole panel answers Ctrl+Q, not only the row under the pointer.
    auto* shortcut = new QShortcut(QKeySequence::Quit, this);
    shortcut->setContext(Qt::WindowShortcut);
    connect(shortcut, &QShortcut::activated, quit_, &MenuRow::click);
}

MenuRow* FooterView::row(const char* title, std::function<void()> action, QWidget* accessory) {
    return new MenuRow(std::nullopt, QString::fromUtf8(title),
                       [this, action = std::move(action)] {
                           window()->hide();
                           if (action) action();
                       },
                       accessory, this);
}

void attachFooter(MenuView& view, FooterView* footer) {
    auto* content = qobject_cast<QVBoxLayout*>(view.layout());
    if (content == nullptr) return;
    // The panel's content ends with a stretch: the footer goes before it.
    const int end = content->count() - 1;
    content->insertWidget(end, footer);
    content->insertWidget(end, new MenuDivider(&view));
    footer->setParent(&view);
    view.render();
}

}  // namespace app::ui
