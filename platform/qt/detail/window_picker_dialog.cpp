#include "platform/qt/detail/window_picker_dialog.hpp"

#include <QApplication>
#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace platform::detail {

namespace {

constexpr QSize kPictureSize(96, 60);
constexpr QSize kDialogSize(480, 420);

QPixmap smallPicture(const QImage& picture) {
    QPixmap canvas(kPictureSize);
    canvas.fill(Qt::transparent);
    if (picture.isNull()) return canvas;
    const auto scaled = QPixmap::fromImage(picture.scaled(kPictureSize, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    QPainter painter(&canvas);
    painter.drawPixmap((kPictureSize.width() - scaled.width()) / 2, (kPictureSize.height() - scaled.height()) / 2,
                       scaled);
    return canvas;
}

}  // namespace

WindowPickerDialog::WindowPickerDialog(std::function<void(std::optional<std::size_t>)> onFinished) {
    setWindowTitle(QString::fromUtf8(kTitle));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(kDialogSize);

    filter_ = new QLineEdit(this);
    filter_->setPlaceholderText(tr("Filter by app or title"));
    filter_->setClearButtonEnabled(true);
    filter_->installEventFilter(this);

    list_ = new QListWidget(this);
    list_->setIconSize(kPictureSize);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);

    empty_ = new QLabel(this);
    empty_->setAlignment(Qt::AlignCenter);
    empty_->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(this);
    share_ = buttons->addButton(tr("Share"), QDialogButtonBox::AcceptRole);
    share_->setDefault(true);
    buttons->addButton(QDialogButtonBox::Cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(filter_);
    layout->addWidget(list_, 1);
    layout->addWidget(empty_);
    layout->addWidget(buttons);

    connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) { applyFilter(text); });
    connect(list_, &QListWidget::currentItemChanged, this, [this] { updateShareButton(); });
    connect(list_, &QListWidget::itemActivated, this, [this] { accept(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // finished comes once for every way out: Share, Return, Cancel, Escape and the close button.
    connect(this, &QDialog::finished, this, [this, onFinished = std::move(onFinished)](int result) {
        std::optional<std::size_t> chosen;
        const auto* item = list_->currentItem();
        if (result == QDialog::Accepted && item != nullptr && !item->isHidden()) {
            chosen = static_cast<std::size_t>(item->data(Qt::UserRole).toULongLong());
        }
        onFinished(chosen);
    });

    setRows({});
    filter_->setFocus();
}

void WindowPickerDialog::setRows(const std::vector<Row>& rows) {
    list_->clear();
    for (std::size_t index = 0; index < rows.size(); ++index) {
        auto* item = new QListWidgetItem(QIcon(smallPicture(rows[index].picture)), rows[index].text, list_);
        item->setData(Qt::UserRole, QVariant::fromValue(static_cast<qulonglong>(index)));
    }
    applyFilter(filter_->text());
}

QString WindowPickerDialog::emptyText() const {
    return empty_->isVisibleTo(this) ? empty_->text() : QString();
}

std::vector<QString> WindowPickerDialog::shownRows() const {
    std::vector<QString> shown;
    for (int row = 0; row < list_->count(); ++row) {
        if (!list_->item(row)->isHidden()) shown.push_back(list_->item(row)->text());
    }
    return shown;
}

bool WindowPickerDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == filter_ && event->type() == QEvent::KeyPress) {
        const auto key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
            QApplication::sendEvent(list_, event);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void WindowPickerDialog::applyFilter(const QString& text) {
    const auto wanted = text.trimmed();
    QListWidgetItem* firstShown = nullptr;
    for (int row = 0; row < list_->count(); ++row) {
        auto* item = list_->item(row);
        item->setHidden(!item->text().contains(wanted, Qt::CaseInsensitive));
        if (!item->isHidden() && firstShown == nullptr) firstShown = item;
    }
    const auto* current = list_->currentItem();
    if (current == nullptr || current->isHidden()) list_->setCurrentItem(firstShown);
    empty_->setText(list_->count() == 0 ? tr(kNoWindows) : tr(kNoMatch).arg(wanted));
    empty_->setVisible(firstShown == nullptr);
    updateShareButton();
}

void WindowPickerDialog::updateShareButton() {
    const auto* current = list_->currentItem();
    share_->setEnabled(current != nullptr && !current->isHidden());
}

}  // namespace platform::detail
