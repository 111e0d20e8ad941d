#pragma once

// Request validation for the Streamable HTTP server transports: before a transport hands a
// message to the server it runs an ordered list of checks on the HTTP request that carried
// it. Each check passes or refuses with a finished response, which the transport returns to
// the client unchanged; the first refusal wins.
//
//     StandardValidationPipeline pipeline({
//         std::make_shared<OriginValidator>(OriginValidator::localhost(47293)),
//         std::make_shared<AcceptHeaderValidator>(AcceptHeaderValidator::Mode::jsonOnly),
//     });
//     if (auto refusal = pipeline.validate(request, context)) return *refusal;

#include "mcp/http/http_request.hpp"
#include "mcp/http/http_response.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace mcp {

// What a server transport tells its validators about the message in hand.
struct HTTPValidationContext {
    // The method the transport is handling, as the transport names it ("POST", "GET", ...).
    std::string httpMethod;
    // The session the transport holds; absent when there is none.
    std::optional<std::string> sessionID;
    // True when the message is a request with the method "initialize".
    bool isInitializationRequest = false;
    // The protocol revisions the server accepts.
    std::set<std::string, std::less<>> supportedProtocolVersions;
};

// One check on an incoming request. Implementations are immutable: `validate` is a pure
// function of its arguments, may run on any thread at the same time as other calls, and
// neither throws nor logs.
class HTTPRequestValidator {
public:
    virtual ~HTTPRequestValidator() = default;

    // Absent to let the request pass; otherwise the finished response that refuses it.
    virtual std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                                 const HTTPValidationContext& context) const = 0;

protected:
    // The refusal validators answer with: `statusCode` and `MCPError::invalidRequest(text)`,
    // carrying the context's session id so that it is echoed to the client.
    static HTTPResponse refusal(int statusCode, std::string text, const HTTPValidationContext& context,
                                HTTPHeaders extraHeaders = {});
};

// What a transport holds: the whole set of checks it runs on a request, with the same
// contract as a single validator.
class HTTPRequestValidationPipeline {
public:
    virtual ~HTTPRequestValidationPipeline() = default;

    virtual std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                                 const HTTPValidationContext& context) const = 0;
};

// Runs its validators in order with the same request and context and returns the first
// refusal, calling no later validator; passes when every validator passes (and when there
// are none). It keeps shared references to its validators.
class StandardValidationPipeline final : public HTTPRequestValidationPipeline {
public:
    using Validators = std::vector<std::shared_ptr<const HTTPRequestValidator>>;

    // Throws std::invalid_argument for a null validator.
    explicit StandardValidationPipeline(Validators validators);

    const Validators& validators() const noexcept { return validators_; }

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

private:
    Validators validators_;
};

}  // namespace mcp
