#pragma once

#include "app/common/host_status.hpp"

#include "platform/settings.hpp"

#include <array>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

// The support e-mail that the About dialog links: a mailto link to the support address whose
// subject names the program and its version, and whose body leaves room for the user's words
// above five diagnostic lines.
namespace app {

// The product's support address and web site, linked from the About dialog's credits.
inline constexpr std::string_view kSupportAddress = "support@vantormcp.app";
inline constexpr std::string_view kWebsiteName = "vantormcp.app";
inline constexpr std::string_view kWebsite = "https://vantormcp.app/";

// The files the system describes itself in.
inline const std::filesystem::path kOSReleaseFile = "/etc/os-release";
inline const std::filesystem::path kProductNameFile = "/sys/class/dmi/id/product_name";

// SupportFacts: what the diagnostic lines say about the program and the computer, gathered
// when the About dialog opens. An absent or empty value is shown as "?", but for the machine
// model, which is left out.
struct SupportFacts {
    std::optional<std::string> version;
    std::optional<std::string> build;
    // The system's name and version, as systemNameAndVersion gives it.
    std::string system;
    // The computer's model, as machineModel gives it; empty when it can't be read.
    std::string machineModel;
    // The user's first preferred language, a BCP 47 tag such as "en-GB".
    std::optional<std::string> language;
};

// versionAndBuild: "<version> (<build>)", "?" for either when absent or empty: "1.2 (34)".
std::string versionAndBuild(const SupportFacts& facts);

// systemNameAndVersion: the system's name and version from an os-release text ("NAME" and
// "VERSION", else "PRETTY_NAME", else "NAME" alone), e.g. "Debian GNU/Linux 12 (bookworm)";
// "Linux" when the text names none. Quoted values are unquoted as the format says.
std::string systemNameAndVersion(std::string_view osRelease);

// machineModel: the model named in a DMI product_name text (kProductNameFile): the bytes
// before the first zero byte, without the trailing line break and blanks, invalid UTF-8
// replaced by U+FFFD; empty when nothing is left.
std::string machineModel(std::string_view productName);

// readSystemFile: the contents of a small file of the system, none when it can't be read.
std::optional<std::string> readSystemFile(const std::filesystem::path& file);

// supportBody: the five diagnostic lines: the program and its version, the system and the
// machine ("<system>, <model>", or the system alone when the model is unknown), the host's state (the configured port while it listens, else "not running" with
// its problem), the last AI app since launch, and the language. Main thread (reads host).
std::array<std::string, 5> supportBody(const SupportFacts& facts, const HostStatus& host,
                                       platform::Settings& settings);

// composeSupportMail: "mailto:<kSupportAddress>?subject=…&body=…", the subject being
// "Vantor MCP <versionAndBuild>" and the body three empty lines, an em dash line and the
// diagnostic lines. Every byte outside the unreserved set of URIs is percent-encoded, so that
// "+", "&", "=", "#", line breaks and any other character reach the mail program unchanged.
// Main thread.
std::string composeSupportMail(const SupportFacts& facts, const HostStatus& host, platform::Settings& settings);

}  // namespace app
