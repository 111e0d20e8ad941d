#include "app/tray/menu_model.hpp"

#include "app/host/connection_settings.hpp"
#include "app/host/setting_keys.hpp"
#include "app/tray/setup_prompt.hpp"

#include "platform/error.hpp"

#include <chrono>
#include <utility>

namespace app {

namespace {

constexpr std::string_view kSectionOpen = "open";
constexpr std::string_view kSectionClosed = "closed";

// A store that can't be read shows the panel as on a fresh installation; one that can't be
// written loses the choice for the next run only. Neither is worth more than that to a panel.
template <class Read>
auto readOr(Read read, decltype(read()) fallback) -> decltype(read()) {
    try {
        return read();
    } catch (const platform::Error&) {
        return fallback;
    }
}

template <class Write>
void tryWrite(Write write) {
    try {
        write();
    } catch (const platform::Error&) {
    }
}

}  // namespace

MenuModel::MenuModel(Dependencies dependencies)
    : dependencies_(std::move(dependencies)), self_(std::make_shared<MenuModel*>(this)) {
    auto& settings = dependencies_.settings;
    const auto stored = readOr([&] { return settings.getString(setting::kConnectClient); }, std::nullopt);
    client_ = ClientSetup::fromRawValue(stored.value_or("")).value_or(ClientSetup::claudeCode);
    readStoredSection();

    auto& host = dependencies_.host;
    hostRunning_ = host.running().subscribe([this](bool) { changed(); });
    hostProblem_ = host.problem().subscribe([this](const auto&) { changed(); });
    hostClient_ = host.lastClient().subscribe([this](const auto&) {
        changed();
        // The host stores "hasConnectedClient" just after it records the client, in the same
        // turn: read it on the next one.
        dependencies_.main.post([weak = std::weak_ptr<MenuModel*>(self_)] {
            if (auto self = weak.lock()) (*self)->refresh();
        });
    });
    sharing_ = dependencies_.sharing.subscribe([this](const auto&) { changed(); });
}

platform::Subscription MenuModel::subscribe(std::function<void()> onChange) {
    return revision_.subscribe([onChange = std::move(onChange)](std::uint64_t) { onChange(); });
}

void MenuModel::changed() {
    revision_.setAlways(revision_.get() + 1);
}

void MenuModel::readStoredSection() {
    auto& settings = dependencies_.settings;
    hasConnectedClient_ = readOr([&] { return settings.getBool(setting::kHasConnectedClient); }, std::nullopt)
                              .value_or(false);
    connectSection_ = readOr([&] { return settings.getString(setting::kConnectSection); }, std::nullopt)
                          .value_or("");
}

void MenuModel::refresh() {
    const bool wasExpanded = connectSectionExpanded();
    readStoredSection();
    if (connectSectionExpanded() != wasExpanded) changed();
}

std::string MenuModel::statusText() const {
    const auto& host = dependencies_.host;
    if (!host.running().get()) return "Not running";
    if (const auto& client = host.lastClient().get()) return "Connected: " + *client;
    return "Ready for your AI";
}

MenuModel::StatusColor MenuModel::statusColor() const {
    return dependencies_.host.running().get() ? StatusColor::green : StatusColor::orange;
}

std::string MenuModel::headerTooltip() const {
    if (const auto& problem = dependencies_.host.problem().get()) return *problem;
    auto& settings = dependencies_.settings;
    const auto port = readOr([&] { return configuredPort(settings); }, kDefaultPort);
    return "Listening on 127.0.0.1:" + std::to_string(port);
}

bool MenuModel::sharing() const {
    return dependencies_.sharing.get().has_value();
}

std::optional<std::string> MenuModel::shareLine() const {
    const auto& share = dependencies_.sharing.get();
    if (!share) return std::nullopt;
    const auto& main = dependencies_.main;
    // The share ends on the monotonic clock; the user reads the wall clock.
    const auto ends = main.wallNow() + std::chrono::duration_cast<platform::Scheduler::WallClock::duration>(
                                           share->until - main.now());
    return share->client + " until " + dependencies_.formatTime(std::chrono::ceil<std::chrono::minutes>(ends));
}

void MenuModel::stopSharing() {
    if (dependencies_.stopSharing) dependencies_.stopSharing();
}

void MenuModel::runTryIt() {
    startTryIt(dependencies_.tryIt, [weak = std::weak_ptr<MenuModel*>(self_)](bool worked) {
        auto self = weak.lock();
        if (!self) return;
        auto& model = **self;
        model.tryResult_ = worked ? std::optional<std::string>(kTryItWorked) : std::nullopt;
        model.changed();
    });
}

bool MenuModel::connectSectionExpanded() const {
    if (connectSection_.empty()) return !hasConnectedClient_;
    return connectSection_ == kSectionOpen;
}

void MenuModel::setConnectSectionExpanded(bool expanded) {
    connectSection_ = expanded ? kSectionOpen : kSectionClosed;
    tryWrite([&] { dependencies_.settings.setString(setting::kConnectSection, connectSection_); });
    changed();
}

void MenuModel::toggleConnectSection() {
    setConnectSectionExpanded(!connectSectionExpanded());
}

void MenuModel::toggleManualSetup() {
    showManualSetup_ = !showManualSetup_;
    changed();
}

void MenuModel::setClient(ClientSetup client) {
    if (client == client_) return;
    client_ = client;
    copied_.reset();
    tryWrite([&] { dependencies_.settings.setString(setting::kConnectClient, client.rawValue()); });
    changed();
}

std::string MenuModel::setupPrompt() const {
    return app::setupPrompt(dependencies_.process, dependencies_.settings);
}

std::string MenuModel::clientSettings() const {
    return client_.settings(dependencies_.process, dependencies_.settings, dependencies_.random);
}

void MenuModel::copyText(const std::string& text, std::string key) {
    dependencies_.clipboard.setText(text);
    copied_ = std::move(key);
    changed();
}

void MenuModel::copySetupPrompt() {
    copyText(setupPrompt(), std::string(kPromptKey));
}

void MenuModel::copyClientSettings() {
    copyText(clientSettings(), std::string(client_.rawValue()));
}

namespace {

CopyRow copyRow(bool copied, std::string_view title) {
    if (copied) return {"checkmark", "Copied"};
    return {"doc.on.doc", title};
}

}  // namespace

CopyRow MenuModel::promptRow() const {
    return copyRow(copied_ == kPromptKey, "Copy Setup Prompt");
}

CopyRow MenuModel::settingsRow() const {
    return copyRow(copied_ == client_.rawValue(), "Copy Settings");
}

void MenuModel::noteTokenReset() {
    copied_.reset();
    tokenWasReset_ = true;
    changed();
}

}  // namespace app
