#include "app/ui/about_dialog.hpp"

#include "app/tray/footer.hpp"
#include "app/tray/support_mail.hpp"
#include "app/ui/menu_style.hpp"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace app::ui {

namespace {

constexpr int kWidth = 300;

// One centred paragraph of the credits, linked when href isn't empty. A link takes the theme's
// link colour, so that it reads as one.
QString paragraph(const QString& text, const QString& href, const QPalette& palette, bool last) {
    const QString style =
        QStringLiteral("color:%1; text-decoration:none;").arg(secondaryColour(palette).name(QColor::HexArgb));
    const QString linkStyle =
        QStringLiteral("color:%1; text-decoration:none;").arg(palette.color(QPalette::Link).name(QColor::HexArgb));
    const QString body = href.isEmpty() ? text.toHtmlEscaped()
                                        : QStringLiteral("<a href=\"%1\" style=\"%2\">%3</a>")
                                              .arg(href.toHtmlEscaped(), linkStyle, text.toHtmlEscaped());
    return QStringLiteral("<p align=\"center\" style=\"margin:0 0 %1px 0; %2\">%3</p>")
        .arg(last ? 0 : 6)
        .arg(style, body);
}

}  // namespace

AboutDialog::AboutDialog(Dependencies dependencies, QWidget* parent)
    : QDialog(parent), dependencies_(std::move(dependencies)) {
    setWindowTitle(qText(footer::kAbout));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setFixedWidth(kWidth);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(6);

    auto* icon = new QLabel(this);
    icon->setPixmap(appIconPixmap(64, devicePixelRatioF()));
    layout->addWidget(icon, 0, Qt::AlignHCenter);
    auto* name = textLabel(QStringLiteral("Vantor MCP"), uiFont(14, QFont::Bold), primaryColour(palette()), false, this);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    if (!dependencies_.version.empty()) {
        auto* version = textLabel(QStringLiteral("Version %1").arg(qText(dependencies_.version)), uiFont(11),
                                  secondaryColour(palette()), false, this);
        layout->addWidget(version, 0, Qt::AlignHCenter);
    }
    layout->addSpacing(8);

    credits_ = new QLabel(this);
    credits_->setTextFormat(Qt::RichText);
    credits_->setWordWrap(true);
    credits_->setFont(uiFont(11));
    credits_->setAlignment(Qt::AlignHCenter);
    credits_->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    connect(credits_, &QLabel::linkActivated, this, [this](const QString& link) {
        if (dependencies_.openURL) dependencies_.openURL(QUrl(link, QUrl::StrictMode));
    });
    layout->addWidget(credits_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    layout->addSpacing(8);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void AboutDialog::present() {
    const QPalette colours = palette();
    credits_->setText(paragraph(qText(kSupportAddress), qText(dependencies_.supportMail()), colours, false) +
                      paragraph(qText(kWebsiteName), qText(kWebsite), colours, false) +
                      paragraph(qText(footer::kPrivacyNote), QString(), colours, true));
    adjustSize();
    if (!placed_) {
        placed_ = true;
        centreOnScreen(*this);
    }
    show();
    raise();
    activateWindow();
}

}  // namespace app::ui
