#include "app/program/tray_program.hpp"

#include "app/host/bearer_token_validator.hpp"
#include "app/program/desktop_guidance.hpp"
#include "app/common/host_status.hpp"
#include "app/host/mcp_host.hpp"
#include "app/tray/menu_model.hpp"
#include "app/host/serve_request.hpp"
#include "app/tools/tool_dispatcher.hpp"
#include "app/tray/tray_icon.hpp"
#include "app/looking/try_it.hpp"

#include "platform/error.hpp"
#include "platform/ini_settings.hpp"
#include "platform/instance_lock.hpp"
#include "platform/linux_process_info.hpp"
#include "platform/observed.hpp"
#include "platform/openssl_random.hpp"
#include "platform/qt/qt_desktop.hpp"
#include "platform/qt/qt_scheduler.hpp"
#include "platform/reopen_socket.hpp"
#include "platform/x11/x11_connection.hpp"

#include "app/ui/panel_additions.hpp"
#include "app/ui/reopen_watcher.hpp"
#include "app/ui/running_notice.hpp"
#include "app/ui/short_time.hpp"
#include "app/ui/tray_panel.hpp"
#include "app/ui/welcome_window.hpp"

#include <QApplication>

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/thread_pool.hpp>

#include <cstdlib>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

namespace app {

namespace {

namespace asio = boost::asio;

constexpr int kHostThreads = 2;

// The reason the program can't show itself on this desktop, or none when it can.
std::optional<std::string> displayProblem() {
    const char* display = std::getenv("DISPLAY");
    if (!display || *display == '\0') {
        return "there is no display to show the tray icon on (DISPLAY is not set). "
               "Start Vantor MCP from your desktop session.";
    }
    try {
        platform::X11Connection connection("");
        return std::nullopt;
    } catch (const platform::Error&) {
        return "can't open the display " + std::string(display) + ". Start Vantor MCP from your desktop session.";
    }
}

void reportHostFailure(std::exception_ptr error) {
    if (!error) return;
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& failure) {
        std::cerr << "vantor-mcp: the host stopped: " << failure.what() << '\n';
    }
}

}  // namespace

int runTrayProgram(int argc, char** argv, ProgramSeams seams) {
    std::optional<platform::InstanceLock> lock;
    std::optional<platform::IniSettings> settings;
    try {
        lock = platform::InstanceLock::tryAcquire(platform::defaultInstanceLockFile());
        if (!lock) {
            seams.reopening.reopen();
            return 0;
        }
        settings.emplace(platform::defaultSettingsFile());
    } catch (const platform::Error& error) {
        std::cerr << "vantor-mcp: " << error.what() << '\n';
        return 1;
    }
    // Later starts of the program reach this instance here. Without it the program runs all the
    // same; a later start then just ends.
    std::optional<platform::ReopenListener> reopens;
    try {
        reopens.emplace(platform::ReopenListener::bind(platform::reopenSocketFile(platform::defaultInstanceLockFile())));
    } catch (const platform::Error& error) {
        std::cerr << "vantor-mcp: " << error.what() << '\n';
    }
    if (const auto problem = displayProblem()) {
        std::cerr << "vantor-mcp: " << *problem << '\n';
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vantor-mcp"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vantor MCP"));
    // The program lives in the tray: closing its last window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::QtScheduler main;
    platform::OpenSSLRandom random;
    const platform::LinuxProcessInfo process;
    HostStatus status;
    DesktopGuidance guidance(main, status, process.ownPID());
    const ServingContext serving{main, status, *settings, guidance.tools(), process.appVersion()};

    asio::thread_pool hostThreads(kHostThreads);
    auto serve = [&serving](mcp::HTTPRequest request, std::string token) {
        return serveRequest(std::move(request), std::move(token), serving);
    };
    const auto checkHead = [](const mcp::HTTPRequest& head, const std::string& token) {
        return accessRefusal(head, token);
    };
    const auto host = MCPHost::make(hostThreads.get_executor(), {main, status, *settings, random, serve, checkHead});

    TrayIcon tray;
    const auto followSharing = guidance.share().sharing().subscribe(
        [&tray](const std::optional<WindowShare::Sharing>& shared) { tray.setSharing(shared.has_value()); });

    // The tray panel, and the welcome window of the first run and of the panel's setup guide.
    platform::QtClipboard clipboard;
    const TryIt tryIt = [&guidance] { return guidance.looking().tryIt(); };
    MenuModel menu({main, status, guidance.share().sharing(), [&guidance] { guidance.share().stop(); }, *settings,
                    clipboard, process, random, tryIt, ui::shortLocalTime});
    ui::TrayPanel panel(menu);
    panel.attach(tray.item());
    const auto iconPlace = [&tray] { return ui::placeOfIcon(tray.item()); };
    ui::WelcomeWindow welcome({status, *settings, clipboard, process, tryIt, iconPlace});
    const auto startHost = [&] { asio::co_spawn(hostThreads, host->start(), reportHostFailure); };

    // The panel's token reset and footer, and the notice a second start of the program shows.
    ui::PanelAdditions additions({menu, panel.view(), status, *settings, random, process, welcome, startHost,
                                  [] { QApplication::quit(); }, tray.item()});
    std::optional<ui::ReopenWatcher> reopenWatcher;
    // Whoever started the program again may have freed the port that the host waits for.
    auto onReopen = [&additions, &host](platform::Reopens started) {
        host->retryListeningNow();
        if (started.byUser > 0) additions.showRunningNotice();
    };
    if (reopens) reopenWatcher.emplace(std::move(*reopens), std::move(onReopen));

    startApplication(main, *settings, startHost, welcome);

    QObject::connect(&application, &QCoreApplication::aboutToQuit, [&hostThreads] {
        hostThreads.stop();
        hostThreads.join();
    });
    return QApplication::exec();
}

}  // namespace app
