#pragma once

// AuthorizationServerPeer: the real authorization server of tests/peers/oidc (a node program,
// installed from its lockfile by the project's install step), started on 127.0.0.1 and a free
// port for one test and stopped with it, and the requests it logged.

#include "tests/support/child_process.hpp"

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace mcp::testing {

// One request a test server saw: when it arrived (on the monotonic clock, which every process
// of the machine shares) and what it was, as "POST /token".
struct LoggedRequest {
    std::chrono::steady_clock::time_point arrived;
    std::string what;
};

// Makes a P-256 key pair with the openssl command line: the private key at `path` and its
// public half at `path` + ".pub", both PEM. False when openssl failed.
inline bool makeP256KeyPair(const std::string& path) {
    return std::system(("openssl ecparam -name prime256v1 -genkey -noout -out " + path + " && openssl pkey -in " +
                        path + " -pubout -out " + path + ".pub </dev/null")
                           .c_str()) == 0;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class AuthorizationServerPeer {
public:
    // Whether the server's npm packages are installed.
    static bool installed() {
        return std::filesystem::exists(std::filesystem::path(VANTOR_OIDC_PEER).parent_path() / "node_modules");
    }

    // Starts the server with `environment` ("NAME=value"; see server.mjs for what it reads) and
    // waits until it listens. Throws std::runtime_error when it does not start within 20 s.
    explicit AuthorizationServerPeer(const std::vector<std::string>& environment)
        : process_({"node", VANTOR_OIDC_PEER}, environment) {
        while (const auto line = process_.readLine(std::chrono::seconds(20))) {
            if (line->starts_with("listening ")) {
                issuer_ = "http://127.0.0.1:" + line->substr(10);
                return;
            }
        }
        throw std::runtime_error("the authorization server did not start");
    }

    // "http://127.0.0.1:<port>", its issuer identifier.
    const std::string& issuer() const { return issuer_; }

    // The requests it logged since the last call, in arrival order. It logs a request before it
    // answers, so every request answered by now is there.
    std::vector<LoggedRequest> requests() {
        std::vector<LoggedRequest> logged;
        while (const auto line = process_.readLine(std::chrono::milliseconds(200))) {
            const auto space = line->find(' ');
            std::int64_t nanoseconds = 0;
            if (space == std::string::npos ||
                std::from_chars(line->data(), line->data() + space, nanoseconds).ptr != line->data() + space) {
                continue;
            }
            const std::chrono::nanoseconds sinceBoot(nanoseconds);
            logged.push_back({std::chrono::steady_clock::time_point(sinceBoot), line->substr(space + 1)});
        }
        return logged;
    }

    // What `requests` saw, without the times.
    std::vector<std::string> requestLines() {
        std::vector<std::string> lines;
        for (auto& request : requests()) lines.push_back(std::move(request.what));
        return lines;
    }

private:
    test_support::ChildProcess process_;
    std::string issuer_;
};

}  // namespace mcp::testing
