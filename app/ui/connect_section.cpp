#include "app/ui/connect_section.hpp"

#include "app/ui/menu_row.hpp"
#include "app/ui/menu_style.hpp"

#include "platform/error.hpp"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolTip>
#include <QVBoxLayout>

namespace app::ui {

namespace {

RowIcon copyIcon(const CopyRow& row) {
    return {qText(row.symbol), false, true};
}

// The note after a token reset: a symbol, then the text wrapping over as many lines as it needs.
QWidget* resetNote(QWidget* parent) {
    auto* note = new QWidget(parent);
    auto* row = new QHBoxLayout(note);
    row->setContentsMargins(8, 0, 8, 0);
    row->setSpacing(6);
    auto* symbol = new QLabel(note);
    symbol->setPixmap(symbolPixmap(QStringLiteral("checkmark.circle"), QSizeF(12, 12),
                                   secondaryColour(note->palette()), note->devicePixelRatioF()));
    row->addWidget(symbol, 0, Qt::AlignTop);
    row->addWidget(textLabel(QStringLiteral("New access token created. Paste the setup prompt into your AI apps again."),
                             uiFont(11), secondaryColour(note->palette()), true, note),
                   1);
    return note;
}

}  // namespace

ConnectSection::ConnectSection(MenuModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    auto* section = new QVBoxLayout(this);
    section->setContentsMargins(0, 0, 0, 0);
    section->setSpacing(4);
    header_ = new CollapsibleSectionHeader(QStringLiteral("Connect Your AI"), [this] { model_.toggleConnectSection(); },
                                           this);
    section->addWidget(header_);

    body_ = new QWidget(this);
    auto* body = new QVBoxLayout(body_);
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(4);
    section->addWidget(body_);

    promptRow_ = new MenuRow(copyIcon(model_.promptRow()), qText(model_.promptRow().title),
                             [this] { copy([this] { model_.copySetupPrompt(); }, *promptRow_); }, nullptr, body_);
    promptRow_->setToolTip(QStringLiteral("Paste it into your AI agent, and it connects itself."));
    body->addWidget(promptRow_);

    resetNote_ = resetNote(body_);
    body->addWidget(resetNote_);

    manualChevron_ = new Chevron;
    manualRow_ = new MenuRow(std::nullopt, QStringLiteral("Manual Setup"), [this] { model_.toggleManualSetup(); },
                             manualChevron_, body_);
    body->addWidget(manualRow_);

    manualBlock_ = new QWidget(body_);
    auto* manual = new QVBoxLayout(manualBlock_);
    manual->setContentsMargins(0, 6, 0, 2);
    manual->setSpacing(8);
    picker_ = new QComboBox(manualBlock_);
    picker_->setAccessibleName(QStringLiteral("App"));
    for (const auto client : ClientSetup::allCases()) {
        picker_->addItem(qText(client.title()), qText(client.rawValue()));
    }
    picker_->installEventFilter(this);
    connect(picker_, &QComboBox::activated, this, [this](int index) {
        const auto clients = ClientSetup::allCases();
        if (index >= 0 && std::size_t(index) < clients.size()) model_.setClient(clients[std::size_t(index)]);
    });
    auto* pickerRow = new QHBoxLayout;
    pickerRow->setContentsMargins(8, 0, 8, 0);
    pickerRow->addWidget(picker_);
    manual->addLayout(pickerRow);
    hint_ = textLabel(QString(), uiFont(11), secondaryColour(palette()), true, manualBlock_);
    hint_->setContentsMargins(8, 0, 8, 0);
    manual->addWidget(hint_);
    settingsRow_ = new MenuRow(copyIcon(model_.settingsRow()), qText(model_.settingsRow().title),
                               [this] { copy([this] { model_.copyClientSettings(); }, *settingsRow_); }, nullptr,
                               manualBlock_);
    manual->addWidget(settingsRow_);
    body->addWidget(manualBlock_);

    render();
}

void ConnectSection::copy(const std::function<void()>& copyAction, QWidget& row) {
    try {
        copyAction();
    } catch (const platform::Error& error) {
        QToolTip::showText(row.mapToGlobal(row.rect().bottomLeft()),
                           QStringLiteral("Couldn't copy: %1").arg(QString::fromUtf8(error.what())), &row);
    }
}

bool ConnectSection::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picker_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() == Qt::NoModifier) {
            switch (key->key()) {
                case Qt::Key_Up:
                case Qt::Key_Down:
                    QApplication::sendEvent(window(), event);
                    return true;
                case Qt::Key_Return:
                case Qt::Key_Enter:
                    picker_->showPopup();
                    return true;
                default:
                    break;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ConnectSection::render() {
    const bool expanded = model_.connectSectionExpanded();
    header_->setExpanded(expanded);
    body_->setVisible(expanded);

    promptRow_->setIcon(copyIcon(model_.promptRow()));
    promptRow_->setTitle(qText(model_.promptRow().title));
    resetNote_->setVisible(model_.tokenWasReset());

    manualChevron_->setExpanded(model_.showManualSetup());
    manualBlock_->setVisible(model_.showManualSetup());
    const auto client = model_.client();
    picker_->setCurrentIndex(int(client.value()));
    hint_->setText(qText(client.hint()));
    settingsRow_->setIcon(copyIcon(model_.settingsRow()));
    settingsRow_->setTitle(qText(model_.settingsRow().title));
}

}  // namespace app::ui
