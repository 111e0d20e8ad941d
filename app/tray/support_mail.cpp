#include "app/tray/support_mail.hpp"

#include "app/host/connection_settings.hpp"

#include "platform/error.hpp"

#include <boost/url/encode.hpp>
#include <boost/url/rfc/unreserved_chars.hpp>
#include <unicode/unistr.h>

#include <fstream>
#include <iterator>
#include <map>

namespace app {

namespace {

constexpr std::string_view kUnknown = "?";
constexpr std::string_view kBlanks = " \t\r\n";
// A system file larger than this isn't what we look for.
constexpr std::streamsize kMaxSystemFile = 64 * 1024;

std::string orUnknown(const std::optional<std::string>& value) {
    return value && !value->empty() ? *value : std::string(kUnknown);
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// An os-release value: unquoted, with its backslash escapes undone.
std::string osReleaseValue(std::string_view raw) {
    raw = trimmed(raw);
    if (raw.size() < 2 || (raw.front() != '"' && raw.front() != '\'') || raw.back() != raw.front()) {
        return std::string(raw);
    }
    const char quote = raw.front();
    raw = raw.substr(1, raw.size() - 2);
    std::string value;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (quote == '"' && raw[i] == '\\' && i + 1 < raw.size()) ++i;
        value += raw[i];
    }
    return value;
}

std::map<std::string, std::string, std::less<>> osReleaseFields(std::string_view text) {
    std::map<std::string, std::string, std::less<>> fields;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = trimmed(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 1);
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) continue;
        auto value = osReleaseValue(line.substr(equals + 1));
        if (!value.empty()) fields.insert_or_assign(std::string(line.substr(0, equals)), std::move(value));
    }
    return fields;
}

std::string percentEncoded(std::string_view text) {
    return boost::urls::encode(text, boost::urls::unreserved_chars);
}

}  // namespace

std::string versionAndBuild(const SupportFacts& facts) {
    return orUnknown(facts.version) + " (" + orUnknown(facts.build) + ")";
}

std::string systemNameAndVersion(std::string_view osRelease) {
    const auto fields = osReleaseFields(osRelease);
    const auto field = [&](std::string_view key) -> const std::string* {
        const auto found = fields.find(key);
        return found == fields.end() ? nullptr : &found->second;
    };
    const auto* name = field("NAME");
    const auto* version = field("VERSION");
    if (name && version) return *name + " " + *version;
    if (const auto* pretty = field("PRETTY_NAME")) return *pretty;
    if (name) return *name;
    return "Linux";
}

std::string machineModel(std::string_view productName) {
    productName = trimmed(productName.substr(0, productName.find('\0')));
    if (productName.empty()) return {};
    // Invalid sequences become U+FFFD on the way in.
    const auto text = icu::UnicodeString::fromUTF8(icu::StringPiece(productName.data(), int32_t(productName.size())));
    std::string model;
    text.toUTF8String(model);
    return model;
}

std::optional<std::string> readSystemFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string contents(static_cast<std::size_t>(kMaxSystemFile), '\0');
    in.read(contents.data(), kMaxSystemFile);
    if (in.bad()) return std::nullopt;
    contents.resize(static_cast<std::size_t>(in.gcount()));
    return contents;
}

std::array<std::string, 5> supportBody(const SupportFacts& facts, const HostStatus& host,
                                       platform::Settings& settings) {
    std::string server = "Server: ";
    if (host.running().get()) {
        std::int64_t port = kDefaultPort;
        try {
            port = configuredPort(settings);
        } catch (const platform::Error&) {
            // An unreadable store: the host listens on the default port then.
        }
        server += "running on port " + std::to_string(port);
    } else {
        server += "not running";
        if (const auto& problem = host.problem().get()) server += " (" + *problem + ")";
    }
    return {
        "Vantor MCP " + versionAndBuild(facts),
        facts.machineModel.empty() ? facts.system : facts.system + ", " + facts.machineModel,
        std::move(server),
        "Last AI app: " + host.lastClient().get().value_or("none since launch"),
        "Language: " + orUnknown(facts.language),
    };
}

std::string composeSupportMail(const SupportFacts& facts, const HostStatus& host, platform::Settings& settings) {
    const auto subject = "Vantor MCP " + versionAndBuild(facts);
    std::string body = "\n\n\n\u2014";
    for (const auto& line : supportBody(facts, host, settings)) body += "\n" + line;
    return "mailto:" + std::string(kSupportAddress) + "?subject=" + percentEncoded(subject) +
           "&body=" + percentEncoded(body);
}

}  // namespace app
