#pragma once

#include "platform/process_info.hpp"
#include "platform/secure_random.hpp"
#include "platform/settings.hpp"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace app {

// ClientSetup: the client apps for which the panel offers a ready-made setup text, in the
// order the panel lists them (allCases). A case's raw value is its own name and serves as its
// identity; two values are equal when they are the same case.
class ClientSetup {
public:
    enum Case {
        claudeCode,
        claudeDesktop,
        codex,
        geminiCLI,
        cursor,
        vsCode,
        windsurf,
        otherHTTP,
        otherCommand,
    };

    constexpr ClientSetup(Case value) noexcept : case_(value) {}

    static constexpr std::array<ClientSetup, 9> allCases() {
        return {claudeCode, claudeDesktop, codex, geminiCLI, cursor, vsCode, windsurf, otherHTTP, otherCommand};
    }

    // fromRawValue: the case whose raw value is exactly raw (case-sensitive), or none.
    static std::optional<ClientSetup> fromRawValue(std::string_view raw);

    constexpr Case value() const noexcept { return case_; }
    std::string_view rawValue() const;

    // title: the app's name. The product names are never translated; the two "Other app"
    // titles are English text that is also the key for the view's translation.
    std::string_view title() const;

    // hint: where the setup text goes, in English; the text is also its translation key.
    std::string_view hint() const;

    // settings: the text to copy, built anew on every call from the running executable's
    // path, the endpoint URL and, for otherHTTP only, the access token (which a first call
    // makes and stores). The JSON texts are pretty-printed with sorted keys; they are "{}"
    // when they can't be written (a path that isn't UTF-8). Throws what accessToken throws.
    std::string settings(const platform::ProcessInfo& process, platform::Settings& store,
                         platform::SecureRandom& random) const;

    friend constexpr bool operator==(ClientSetup, ClientSetup) noexcept = default;

private:
    Case case_;
};

// shellQuoted: text as one word for a POSIX shell: in single quotes, each single quote in it
// written as '\'' (close, escaped quote, reopen). Nothing else needs escaping.
std::string shellQuoted(std::string_view text);

}  // namespace app

// The hash of a case is the hash of its raw value.
template <>
struct std::hash<app::ClientSetup> {
    std::size_t operator()(app::ClientSetup setup) const noexcept {
        return std::hash<std::string_view>{}(setup.rawValue());
    }
};
