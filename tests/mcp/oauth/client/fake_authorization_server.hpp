#pragma once

// FakeAuthorizationServer: a protected MCP resource and its authorization server in one scripted
// server on 127.0.0.1, for the tests of the OAuth authorizer.

#include "mcp/json/json.hpp"
#include "tests/mcp/oauth/client/oauth_network_fixture.hpp"

#include <boost/url/parse.hpp>
#include <boost/url/url.hpp>

#include <algorithm>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace mcp::testing {

using Form = std::map<std::string, std::string>;

inline Form readForm(std::string_view body) {
    // Named, so that it outlives the loop: params() is a view into the URL.
    boost::urls::url query("http://x/?" + std::string(body));
    Form form;
    for (const auto& parameter : query.params()) {
        form[parameter.key] = parameter.value;
    }
    return form;
}

// A protected resource and its authorization server in one scripted server: the metadata
// documents, registration, an authorization endpoint that redirects at once, and a token
// endpoint that hands out "at-1", "at-2", ... Records what the grants asked for.
class FakeAuthorizationServer {
public:
    // How the protected resource at "/mcp" answers: a request with a token this server issued
    // gets an empty JSON-RPC result, anything else 401; or every request gets 403
    // "insufficient_scope".
    enum class Resource { requiresToken, forbidsEverything };

    FakeAuthorizationServer()
        : server_([this](const RecordedRequest& request) { return answer(request); }), base_(server_.url("")) {}

    std::string base() const { return base_; }
    boost::urls::url endpoint() const { return boost::urls::url(base_ + "/mcp"); }
    std::vector<std::string> targets() const {
        std::vector<std::string> seen;
        for (const auto& request : server_.requests()) seen.push_back(request.target.substr(0, request.target.find('?')));
        return seen;
    }
    std::vector<Form> tokenRequests() const {
        std::lock_guard lock(mutex_);
        return tokenRequests_;
    }
    std::string codeChallenge() const {
        std::lock_guard lock(mutex_);
        return codeChallenge_;
    }
    void setResource(Resource resource) {
        std::lock_guard lock(mutex_);
        resource_ = resource;
    }
    // The Authorization headers the protected resource received, "" for none.
    std::vector<std::string> resourceAuthorizations() const {
        std::vector<std::string> seen;
        for (const auto& request : server_.requests()) {
            if (request.target == "/mcp") seen.push_back(request.header("Authorization").value_or(""));
        }
        return seen;
    }
    // The Authorization headers of the token requests, "" for none.
    std::vector<std::string> tokenAuthorizations() const {
        std::vector<std::string> seen;
        for (const auto& request : server_.requests()) {
            if (request.target.ends_with("/token")) seen.push_back(request.header("Authorization").value_or(""));
        }
        return seen;
    }
    // The JSON body of the 201 reply to registration.
    void setRegistrationReply(std::string body) {
        std::lock_guard lock(mutex_);
        registrationReply_ = std::move(body);
    }
    // The "expires_in" of the tokens issued from now on, as JSON text.
    void setTokenLifetime(std::string expiresIn) {
        std::lock_guard lock(mutex_);
        tokenLifetime_ = std::move(expiresIn);
    }
    void refuseRefresh(int status) {
        std::lock_guard lock(mutex_);
        refreshStatus_ = status;
    }
    // Serves `json` at `path`, in place of the document the server would serve there. Any path
    // ending in "/token" is a token endpoint.
    void setDocument(std::string path, std::string json) {
        std::lock_guard lock(mutex_);
        documents_.insert_or_assign(std::move(path), std::move(json));
    }

private:
    Reply answer(const RecordedRequest& request) {
        const auto target = boost::urls::parse_origin_form(request.target).value();
        const std::string path(target.path());
        {
            std::lock_guard lock(mutex_);
            if (const auto document = documents_.find(path); document != documents_.end()) return json(document->second);
        }
        if (path == "/.well-known/oauth-protected-resource/mcp") {
            return json(R"({"resource":")" + base_ + R"(/mcp","authorization_servers":[")" + base_ +
                        R"("],"scopes_supported":["read"]})");
        }
        if (path == "/.well-known/oauth-authorization-server") {
            return json(R"({"issuer":")" + base_ + R"(","authorization_endpoint":")" + base_ +
                        R"(/authorize","token_endpoint":")" + base_ + R"(/token","registration_endpoint":")" + base_ +
                        R"(/register","code_challenge_methods_supported":["S256"]})");
        }
        if (path == "/mcp") return protectedResource(request);
        if (path == "/register") {
            std::lock_guard lock(mutex_);
            return json(registrationReply_, 201);
        }
        if (path == "/authorize") {
            std::string redirect, state;
            for (const auto& parameter : target.params()) {
                if (parameter.key == "redirect_uri") redirect = parameter.value;
                if (parameter.key == "state") state = parameter.value;
                if (parameter.key == "code_challenge") {
                    std::lock_guard lock(mutex_);
                    codeChallenge_ = parameter.value;
                }
            }
            return Reply{.status = 302, .headers = {{"Location", redirect + "?code=code-1&state=" + state}}};
        }
        if (path.ends_with("/token")) {
            const auto form = readForm(request.body);
            std::lock_guard lock(mutex_);
            tokenRequests_.push_back(form);
            if (form.at("grant_type") == "refresh_token" && refreshStatus_) {
                return json(R"({"error":"invalid_grant"})", *refreshStatus_);
            }
            const auto number = std::to_string(tokenRequests_.size());
            // Refresh answers bring no new refresh token, as servers may.
            const std::string refresh = form.at("grant_type") == "refresh_token" ? "" : R"(,"refresh_token":"rt-)" + number + "\"";
            issued_.push_back("Bearer at-" + number);
            return json(R"({"access_token":"at-)" + number + R"(","token_type":"Bearer","expires_in":)" + tokenLifetime_ + refresh + "}");
        }
        return Reply{.status = 404};
    }

    Reply protectedResource(const RecordedRequest& request) {
        const auto challenge = "Bearer resource_metadata=\"" + base_ + "/.well-known/oauth-protected-resource/mcp\"";
        std::lock_guard lock(mutex_);
        if (resource_ == Resource::forbidsEverything) {
            return Reply{.status = 403,
                         .headers = {{"WWW-Authenticate", R"(Bearer error="insufficient_scope", scope="admin")"}}};
        }
        const auto authorization = request.header("Authorization");
        if (!authorization || std::find(issued_.begin(), issued_.end(), *authorization) == issued_.end()) {
            return Reply{.status = 401, .headers = {{"WWW-Authenticate", challenge}}};
        }
        const auto message = parseJSON(request.body);
        return json(R"({"jsonrpc":"2.0","id":)" + writeJSON(*message.objectValue()->find("id")) + R"(,"result":{}})");
    }

    mutable std::mutex mutex_;
    std::vector<Form> tokenRequests_;
    std::string codeChallenge_;
    std::optional<int> refreshStatus_;
    std::string tokenLifetime_ = "3600";
    std::string registrationReply_ = R"({"client_id":"registered-1"})";
    std::map<std::string, std::string> documents_;
    Resource resource_ = Resource::requiresToken;
    std::vector<std::string> issued_;
    ScriptedHTTPServer server_;
    std::string base_;
};

}  // namespace mcp::testing
