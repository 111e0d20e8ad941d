#include "app/ui/panel_additions.hpp"

#include "app/tray/support_mail.hpp"
#include "app/ui/connect_section.hpp"
#include "app/ui/footer_view.hpp"
#include "app/ui/menu_view.hpp"
#include "app/ui/token_reset_block.hpp"

#include <QDesktopServices>
#include <QLocale>

#include <utility>

namespace app::ui {

SupportFacts currentSupportFacts(const platform::ProcessInfo& process) {
    SupportFacts facts;
    facts.version = process.appVersion();
    facts.system = systemNameAndVersion(readSystemFile(kOSReleaseFile).value_or(""));
    facts.machineModel = machineModel(readSystemFile(kProductNameFile).value_or(""));
    const auto languages = QLocale::system().uiLanguages();
    if (!languages.isEmpty()) facts.language = languages.front().toStdString();
    return facts;
}

PanelAdditions::PanelAdditions(Dependencies dependencies)
    : dependencies_(std::move(dependencies)),
      reset_({dependencies_.model, dependencies_.settings, dependencies_.random, dependencies_.restartHost}),
      updates_(dependencies_.process.appVersion()) {
    about_ = std::make_unique<AboutDialog>(AboutDialog::Dependencies{
        dependencies_.process.appVersion(),
        [this] {
            return composeSupportMail(currentSupportFacts(dependencies_.process), dependencies_.host,
                                      dependencies_.settings);
        },
        [](const QUrl& url) { QDesktopServices::openUrl(url); }});
    resetBlock_ = new TokenResetBlock(dependencies_.model, reset_);
    attachTokenReset(dependencies_.view.connectSection(), resetBlock_);
    footer_ = new FooterView(dependencies_.process.appVersion(),
                             {[this] { dependencies_.welcome.show(); }, [this] { updates_.checkForUpdates(); },
                              [this] { about_->present(); }, dependencies_.quit});
    attachFooter(dependencies_.view, footer_);
}

PanelAdditions::~PanelAdditions() = default;

void PanelAdditions::showRunningNotice() {
    notice_.show(placeOfIcon(dependencies_.icon));
}

}  // namespace app::ui
