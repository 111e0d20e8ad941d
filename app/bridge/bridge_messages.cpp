#include "app/bridge/bridge_messages.hpp"

#include "mcp/json/codec.hpp"
#include "mcp/json/coding.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include <boost/url/encode.hpp>
#include <boost/url/grammar/alnum_chars.hpp>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <cstdint>

namespace app {

namespace {

// The line's JSON object; none when the line is no JSON or no object.
std::optional<mcp::ValueObject> objectOf(std::string_view text) {
    try {
        auto value = mcp::parseJSON(text);
        if (auto* object = value.objectValue()) return std::move(*object);
    } catch (const mcp::DecodingError&) {
    }
    return std::nullopt;
}

const mcp::ValueObject* memberObject(const mcp::ValueObject& object, std::string_view key) {
    const auto* member = object.find(key);
    return member ? member->objectValue() : nullptr;
}

const std::string* memberString(const mcp::ValueObject& object, std::string_view key) {
    const auto* member = object.find(key);
    return member ? member->stringValue() : nullptr;
}

bool isHorizontalSpace(UChar32 c) {
    return c == '\t' || u_charType(c) == U_SPACE_SEPARATOR;
}

// The reply with the line's id in place of a null id, when the reply is an error.
std::optional<std::string> withRequestID(const mcp::ValueObject& reply, const mcp::Value& lineID) {
    const auto* id = reply.find("id");
    if (!id || !id->isNull() || !reply.contains("error")) return std::nullopt;
    auto matched = reply;
    *matched.find("id") = lineID;
    try {
        return mcp::writeJSON(mcp::Value(std::move(matched)));
    } catch (const mcp::EncodingError&) {
        return std::nullopt;
    }
}

std::optional<std::string> resultProtocolVersion(const mcp::ValueObject& reply) {
    const auto* result = memberObject(reply, "result");
    const auto* version = result ? memberString(*result, "protocolVersion") : nullptr;
    if (!version) return std::nullopt;
    return *version;
}

}  // namespace

LineRole lineRole(std::string_view line) {
    const auto object = objectOf(line);
    if (!object) return LineRole::other;
    const auto* id = object->find("id");
    if (!id) return LineRole::noReply;
    if (!isUsableID(*id)) return LineRole::badID;
    return object->contains("method") ? LineRole::request : LineRole::noReply;
}

bool isUsableID(const mcp::Value& id) {
    if (id.isNull()) return true;
    try {
        mcp::decode<mcp::ID>(id);
        return true;
    } catch (const mcp::DecodingError&) {
        return false;
    }
}

bool isJSONObject(std::string_view text) {
    return objectOf(text).has_value();
}

bool isBlankLine(std::string_view line) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(line.data());
    const auto length = static_cast<std::int32_t>(line.size());
    std::int32_t offset = 0;
    while (offset < length) {
        UChar32 c = 0;
        U8_NEXT(bytes, offset, length, c);
        if (c < 0 || !isHorizontalSpace(c)) return false;
    }
    return true;
}

std::optional<mcp::Value> requestID(std::string_view line) {
    const auto object = objectOf(line);
    if (!object) return std::nullopt;
    const auto* id = object->find("id");
    if (!id) return std::nullopt;
    return *id;
}

std::optional<std::string> initializeClientName(std::string_view line) {
    const auto request = objectOf(line);
    if (!request) return std::nullopt;
    const auto* method = memberString(*request, "method");
    if (!method || *method != "initialize") return std::nullopt;
    const auto* params = memberObject(*request, "params");
    const auto* clientInfo = params ? memberObject(*params, "clientInfo") : nullptr;
    if (!clientInfo) return std::nullopt;
    if (const auto* title = memberString(*clientInfo, "title")) return *title;
    if (const auto* name = memberString(*clientInfo, "name")) return *name;
    return std::nullopt;
}

std::optional<std::string> protocolVersion(std::string_view reply) {
    return RelayedReply(reply).protocolVersion();
}

std::string encodeClientName(std::string_view name) {
    return boost::urls::encode(name, boost::urls::grammar::alnum_chars);
}

RelayedReply::RelayedReply(std::string_view body) : body_(body), object_(objectOf(body)) {}

std::optional<std::string> RelayedReply::protocolVersion() const {
    return object_ ? resultProtocolVersion(*object_) : std::nullopt;
}

std::string RelayedReply::line(const std::optional<mcp::Value>& lineID) const {
    if (object_ && lineID && !lineID->isNull()) {
        if (auto matched = withRequestID(*object_, *lineID)) return std::move(*matched);
    }
    if (body_.find('\n') == std::string_view::npos) return std::string(body_);
    if (auto compact = mcp::minifyJSON(body_)) return std::move(*compact);
    return std::string(body_);
}

std::string replyLine(std::string_view body, const std::optional<mcp::Value>& lineID) {
    return RelayedReply(body).line(lineID);
}

std::optional<std::string> errorLine(const mcp::Value& id, int code, std::string_view message) {
    const mcp::Value line = mcp::Value::Object{
        {"jsonrpc", "2.0"},
        {"id", id},
        {"error",
         mcp::Value::Object{
             {"code", code},
             {"message", std::string(message)},
         }},
    };
    try {
        return mcp::writeJSON(line);
    } catch (const mcp::EncodingError&) {
        return std::nullopt;
    }
}

std::optional<std::string> unreachableLine(const mcp::Value& id, std::string_view reason) {
    return errorLine(id, mcp::ErrorCode::connectionClosed, std::string(kUnreachablePrefix) + std::string(reason));
}

std::optional<std::string> tooLargeLine(const mcp::Value& id, std::size_t size, std::size_t limit) {
    return errorLine(id, mcp::ErrorCode::invalidRequest,
                     "Invalid Request: The message is too large: " + std::to_string(size) +
                         " bytes, and Vantor MCP takes at most " + std::to_string(limit) + ".");
}

}  // namespace app
