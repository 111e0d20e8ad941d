#include "mcp/protocol/mcp_error.hpp"

#include <boost/container_hash/hash.hpp>
#include <boost/core/demangle.hpp>
#include <boost/system/system_error.hpp>

#include <cerrno>
#include <typeinfo>

namespace mcp {
namespace {

// The fixed texts of one kind; a null `recovery` means the kind suggests nothing.
struct KindTexts {
    const char* description;
    const char* failureReason;
    const char* recovery;
};

const KindTexts& textsOf(MCPError::Kind kind) {
    static constexpr KindTexts kTexts[] = {
        {"Parse error: Invalid JSON", "The server received invalid JSON that could not be parsed",
         "Verify that the JSON being sent is valid and well-formed"},
        {"Invalid Request", "The JSON sent is not a valid Request object",
         "Ensure the request follows the JSON-RPC 2.0 specification format"},
        {"Method not found", "The method does not exist or is not available",
         "Check the method name and ensure it is supported by the server"},
        {"Invalid params", "Invalid method parameter(s)", "Verify the parameters match the method's expected parameters"},
        {"Internal error", "Internal JSON-RPC error", nullptr},
        {"Server error: ", "Server-defined error occurred", nullptr},
        {"URL elicitation required: ", "The server requires user authentication or input via external URL", nullptr},
        {"Transport error: ", nullptr, nullptr},
        {"Connection closed", "The connection to the server was closed", "Try reconnecting to the server"},
    };
    return kTexts[static_cast<int>(kind)];
}

bool hasDetail(MCPError::Kind kind) noexcept { return kind <= MCPError::Kind::internalError; }

// The text of a member of "data" that is a JSON string (a data URL counts: it is a string
// on the wire).
std::optional<std::string> memberText(const std::optional<ValueObject>& data, std::string_view key) {
    const Value* member = data ? data->find(key) : nullptr;
    if (member == nullptr || (member->stringValue() == nullptr && member->dataValue() == nullptr)) return std::nullopt;
    return decode<std::string>(*member);
}

}  // namespace

Value Codec<URLElicitationInfo>::encode(const URLElicitationInfo& info) {
    return ObjectBuilder()
        .add("mode", info.mode)
        .add("elicitationId", info.elicitationID)
        .add("url", info.url)
        .add("message", info.message)
        .build();
}

URLElicitationInfo Codec<URLElicitationInfo>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    return {
        .mode = reader.required<std::string>("mode"),
        .elicitationID = reader.required<std::string>("elicitationId"),
        .url = reader.required<std::string>("url"),
        .message = reader.required<std::string>("message"),
    };
}

UnderlyingError UnderlyingError::from(const std::exception& error) {
    if (const auto* mcpError = dynamic_cast<const MCPError*>(&error)) {
        return {mcpError->errorDescription(), mcpError->failureReason(), mcpError->debugDescription()};
    }
    return {error.what(), std::nullopt, boost::core::demangle(typeid(error).name()) + ": " + error.what()};
}

UnderlyingError UnderlyingError::from(const boost::system::error_code& error) {
    return {error.message(), std::nullopt, error.to_string() + ": " + error.message()};
}

MCPError::MCPError(Kind kind, int code) : kind_(kind), code_(code) {}

void MCPError::describe() {
    description_ = textsOf(kind_).description;
    if (hasDetail(kind_)) {
        if (detail_) description_ += ": " + *detail_;
    } else if (kind_ == Kind::serverError || kind_ == Kind::urlElicitationRequired) {
        description_ += message_;
    } else if (kind_ == Kind::transportError) {
        description_ += underlying_->description;
    }
}

MCPError MCPError::withDetail(Kind kind, int code, std::optional<std::string> detail) {
    MCPError error(kind, code);
    error.detail_ = std::move(detail);
    error.describe();
    return error;
}

MCPError MCPError::parseError(std::optional<std::string> detail) {
    return withDetail(Kind::parseError, ErrorCode::parseError, std::move(detail));
}

MCPError MCPError::invalidRequest(std::optional<std::string> detail) {
    return withDetail(Kind::invalidRequest, ErrorCode::invalidRequest, std::move(detail));
}

MCPError MCPError::methodNotFound(std::optional<std::string> detail) {
    return withDetail(Kind::methodNotFound, ErrorCode::methodNotFound, std::move(detail));
}

MCPError MCPError::invalidParams(std::optional<std::string> detail) {
    return withDetail(Kind::invalidParams, ErrorCode::invalidParams, std::move(detail));
}

MCPError MCPError::internalError(std::optional<std::string> detail) {
    return withDetail(Kind::internalError, ErrorCode::internalError, std::move(detail));
}

MCPError MCPError::serverError(int code, std::string message) {
    MCPError error(Kind::serverError, code);
    error.message_ = std::move(message);
    error.describe();
    return error;
}

MCPError MCPError::urlElicitationRequired(std::string message, std::vector<URLElicitationInfo> elicitations) {
    MCPError error(Kind::urlElicitationRequired, ErrorCode::urlElicitationRequired);
    error.message_ = std::move(message);
    error.elicitations_ = std::move(elicitations);
    error.describe();
    return error;
}

MCPError MCPError::transportError(UnderlyingError underlying) {
    MCPError error(Kind::transportError, ErrorCode::transportError);
    error.underlying_ = std::move(underlying);
    error.describe();
    return error;
}

MCPError MCPError::connectionClosed() {
    MCPError error(Kind::connectionClosed, ErrorCode::connectionClosed);
    error.describe();
    return error;
}

std::string MCPError::failureReason() const {
    if (kind_ == Kind::transportError) return underlying_->failureReason.value_or(underlying_->description);
    return textsOf(kind_).failureReason;
}

std::optional<std::string> MCPError::recoverySuggestion() const {
    if (kind_ == Kind::urlElicitationRequired) {
        if (elicitations_.empty()) return "Complete the required URL-based elicitation";
        return "Visit " + elicitations_.front().url + " to complete the required authentication or input";
    }
    const char* recovery = textsOf(kind_).recovery;
    if (recovery == nullptr) return std::nullopt;
    return recovery;
}

std::string MCPError::debugDescription() const {
    std::string text = "[";
    text += std::to_string(code_);
    text += "] ";
    text += description_;
    if (kind_ == Kind::transportError) {
        text += " (Underlying error: ";
        text += underlying_->debugDescription;
        text += ')';
    }
    return text;
}

bool MCPError::isResourceTemporarilyUnavailable(const std::exception& error) noexcept {
    if (const auto* systemError = dynamic_cast<const boost::system::system_error*>(&error)) {
        return isResourceTemporarilyUnavailable(systemError->code());
    }
    if (const auto* systemError = dynamic_cast<const std::system_error*>(&error)) {
        return isResourceTemporarilyUnavailable(systemError->code());
    }
    return false;
}

bool MCPError::isResourceTemporarilyUnavailable(const std::error_code& error) noexcept {
    return error == std::errc::resource_unavailable_try_again || error == std::errc::operation_would_block;
}

bool MCPError::isResourceTemporarilyUnavailable(const boost::system::error_code& error) noexcept {
    return error == boost::system::errc::resource_unavailable_try_again ||
           error == boost::system::errc::operation_would_block;
}

bool operator==(const MCPError& lhs, const MCPError& rhs) noexcept {
    if (lhs.kind_ != rhs.kind_ || lhs.code_ != rhs.code_) return false;
    switch (lhs.kind_) {
        case MCPError::Kind::serverError: return lhs.message_ == rhs.message_;
        case MCPError::Kind::urlElicitationRequired:
            return lhs.message_ == rhs.message_ && lhs.elicitations_ == rhs.elicitations_;
        case MCPError::Kind::transportError: return lhs.underlying_->description == rhs.underlying_->description;
        case MCPError::Kind::connectionClosed: return true;
        default: return lhs.detail_ == rhs.detail_;
    }
}

std::size_t MCPError::hash() const noexcept {
    std::size_t seed = 0;
    boost::hash_combine(seed, code_);
    if (hasDetail(kind_)) {
        boost::hash_combine(seed, detail_.has_value());
        if (detail_) boost::hash_combine(seed, *detail_);
    } else if (kind_ == Kind::serverError || kind_ == Kind::urlElicitationRequired) {
        boost::hash_combine(seed, message_);
        for (const auto& info : elicitations_) boost::hash_combine(seed, info.url);
    } else if (kind_ == Kind::transportError) {
        boost::hash_combine(seed, underlying_->description);
    }
    return seed;
}

Value Codec<MCPError>::encode(const MCPError& error) {
    ObjectBuilder builder;
    builder.add("code", error.code());
    const bool bareMessage = error.kind() == MCPError::Kind::urlElicitationRequired;
    builder.add("message", bareMessage ? error.message() : error.errorDescription());
    if (error.detail()) {
        builder.add("data", ObjectBuilder().add("detail", *error.detail()).build());
    } else if (error.kind() == MCPError::Kind::urlElicitationRequired) {
        builder.add("data", ObjectBuilder().add("elicitations", error.elicitations()).build());
    } else if (const auto* underlying = error.underlyingError()) {
        builder.add("data", ObjectBuilder().add("error", underlying->description).build());
    }
    return builder.build();
}

MCPError Codec<MCPError>::decode(const Value& value, const CodingPath& path) {
    const ObjectReader reader(value, path);
    const int code = reader.required<int>("code");
    auto message = reader.required<std::string>("message");
    const auto data = reader.optional<ValueObject>("data");

    switch (code) {
        case ErrorCode::parseError: return MCPError::parseError(memberText(data, "detail").value_or(message));
        case ErrorCode::invalidRequest:
            return MCPError::invalidRequest(memberText(data, "detail").value_or(message));
        case ErrorCode::methodNotFound:
            return MCPError::methodNotFound(memberText(data, "detail").value_or(message));
        case ErrorCode::invalidParams: return MCPError::invalidParams(memberText(data, "detail").value_or(message));
        case ErrorCode::internalError: return MCPError::internalError(memberText(data, "detail"));
        case ErrorCode::urlElicitationRequired: {
            std::vector<URLElicitationInfo> elicitations;
            const Value* list = data ? data->find("elicitations") : nullptr;
            if (list != nullptr && list->arrayValue() != nullptr) {
                for (const auto& element : *list->arrayValue()) {
                    // Elements that are not complete elicitations are skipped, not fatal.
                    try {
                        elicitations.push_back(mcp::decode<URLElicitationInfo>(element));
                    } catch (const DecodingError&) {
                    }
                }
            }
            return MCPError::urlElicitationRequired(std::move(message), std::move(elicitations));
        }
        case ErrorCode::transportError: {
            auto description = memberText(data, "error").value_or(message);
            return MCPError::transportError(
                UnderlyingError{description, std::nullopt, "JSON-RPC error " + std::to_string(code) + ": " + description});
        }
        case ErrorCode::connectionClosed: return MCPError::connectionClosed();
        default: return MCPError::serverError(code, std::move(message));
    }
}

}  // namespace mcp
