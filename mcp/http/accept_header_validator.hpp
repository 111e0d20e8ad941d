#pragma once

#include "mcp/http/http_validation.hpp"

namespace mcp {

// AcceptHeaderValidator: refuses with 406 a request whose "Accept" header does not name the
// media types its answer may come in. A piece of the comma-separated list counts when it
// begins with "application/json" or "text/event-stream" (case-sensitive); parameters such as
// q=0 are ignored, and wildcards (*/*, application/*) never count. A missing header accepts
// nothing.
//
// A POST must accept JSON (`jsonOnly`) or JSON and the event stream (`sseRequired`); a GET
// must accept the event stream in either mode; other methods pass.
class AcceptHeaderValidator final : public HTTPRequestValidator {
public:
    enum class Mode { sseRequired, jsonOnly };

    explicit AcceptHeaderValidator(Mode mode) noexcept : mode_(mode) {}

    Mode mode() const noexcept { return mode_; }

    std::optional<HTTPResponse> validate(const HTTPRequest& request,
                                         const HTTPValidationContext& context) const override;

private:
    Mode mode_;
};

}  // namespace mcp
