#include "app/bridge/bridge_messages.hpp"

#include "mcp/json/codec.hpp"
#include "mcp/json/coding.hpp"
#include "mcp/json/json.hpp"
#include "mcp/protocol/id.hpp"
#include "mcp/protocol/mcp_error.hpp"

#include <boost/json/basic_parser_impl.hpp>
#include <boost/url/encode.hpp>
#include <boost/url/grammar/alnum_chars.hpp>

#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <charconv>
#include <cmath>
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

// ReplyScan: follows the parser's events through an answer to note what the bridge takes
// from it, without building the document: an answer can be a picture of megabytes. The
// parser and its options are parseJSON's, and a number beyond a double fails here as there,
// so that what this accepts is exactly what parseJSON reads. Of repeated members the last
// counts, as in a parsed object.
class ReplyScan {
public:
    static constexpr std::size_t max_array_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_object_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_string_size = static_cast<std::size_t>(-1);
    static constexpr std::size_t max_key_size = static_cast<std::size_t>(-1);

    bool isObject = false;
    bool hasError = false;
    bool nullID = false;
    std::optional<std::string> version;

    bool on_document_begin(boost::system::error_code&) { return true; }
    bool on_document_end(boost::system::error_code&) { return true; }
    bool on_object_begin(boost::system::error_code&) { return open(Kind::object); }
    bool on_array_begin(boost::system::error_code&) { return open(Kind::array); }
    bool on_object_end(std::size_t, boost::system::error_code&) { return close(); }
    bool on_array_end(std::size_t, boost::system::error_code&) { return close(); }

    bool on_key_part(std::string_view part, std::size_t, boost::system::error_code&) {
        if (depth_ <= 2 && key_.size() <= kLongestKey) key_.append(part);
        return true;
    }
    bool on_key(std::string_view last, std::size_t, boost::system::error_code&) {
        on_key_part(last, 0, ignored_);
        if (depth_ == 1) {
            member_ = key_ == "id" ? Member::id : key_ == "error" ? Member::error : key_ == "result" ? Member::result : Member::other;
        } else if (depth_ == 2) {
            versionKey_ = key_ == "protocolVersion";
        }
        key_.clear();
        return true;
    }

    bool on_string_part(std::string_view part, std::size_t, boost::system::error_code&) {
        if (inVersion()) text_.append(part);
        return true;
    }
    bool on_string(std::string_view last, std::size_t, boost::system::error_code&) {
        if (inVersion()) {
            text_.append(last);
            version = std::move(text_);
            text_.clear();
            return true;
        }
        return value(Kind::string);
    }

    bool on_number_part(std::string_view part, boost::system::error_code&) {
        number_.append(part);
        return true;
    }
    bool on_int64(std::int64_t, std::string_view, boost::system::error_code&) { return number(); }
    bool on_uint64(std::uint64_t, std::string_view, boost::system::error_code&) { return number(); }
    bool on_double(double parsed, std::string_view last, boost::system::error_code& error) {
        number_.append(last);
        double exact = parsed;
        std::from_chars(number_.data(), number_.data() + number_.size(), exact);
        if (!std::isfinite(exact)) {
            error = boost::json::error::exponent_overflow;
            return false;
        }
        return number();
    }
    bool on_bool(bool, boost::system::error_code&) { return value(Kind::other); }
    bool on_null(boost::system::error_code&) { return value(Kind::null); }
    bool on_comment_part(std::string_view, boost::system::error_code&) { return true; }
    bool on_comment(std::string_view, boost::system::error_code&) { return true; }

private:
    enum class Kind { object, array, string, null, other };
    enum class Member { other, id, error, result };
    static constexpr std::size_t kLongestKey = 16;

    bool inVersion() const { return depth_ == 2 && inResult_ && versionKey_; }

    // value: a value begins at the current depth.
    bool value(Kind kind) {
        if (depth_ == 0) isObject = kind == Kind::object;
        if (depth_ == 1) {
            if (member_ == Member::id) nullID = kind == Kind::null;
            if (member_ == Member::error) hasError = true;
            if (member_ == Member::result) version.reset();
            inResult_ = member_ == Member::result && kind == Kind::object;
        } else if (inVersion()) {
            version.reset();
        }
        return true;
    }
    bool number() {
        number_.clear();
        return value(Kind::other);
    }
    bool open(Kind kind) {
        value(kind);
        ++depth_;
        return true;
    }
    bool close() {
        --depth_;
        if (depth_ == 1) inResult_ = false;
        return true;
    }

    std::size_t depth_ = 0;
    Member member_ = Member::other;
    bool inResult_ = false;
    bool versionKey_ = false;
    std::string key_;
    std::string text_;
    std::string number_;
    boost::system::error_code ignored_;
};

// scanReply: what a scan of the whole text noted; isObject stays false for text that is no
// JSON.
ReplyScan scanReply(std::string_view text) {
    boost::json::parse_options options;
    options.max_depth = mcp::kMaxJSONDepth;
    boost::json::basic_parser<ReplyScan> parser(options);
    boost::system::error_code error;
    const auto consumed = parser.write_some(false, text.data(), text.size(), error);
    if (error || consumed < text.size()) return {};
    return std::move(parser.handler());
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
    return RelayedReply(text).isJSONObject();
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

RelayedReply::RelayedReply(std::string_view body) : body_(body) {
    auto scan = scanReply(body);
    isObject_ = scan.isObject;
    nullIDError_ = scan.isObject && scan.hasError && scan.nullID;
    version_ = std::move(scan.version);
}

std::optional<std::string> RelayedReply::protocolVersion() const {
    return isObject_ ? version_ : std::nullopt;
}

std::string RelayedReply::line(const std::optional<mcp::Value>& lineID) const {
    if (nullIDError_ && lineID && !lineID->isNull()) {
        if (auto object = objectOf(body_)) {
            if (auto matched = withRequestID(*object, *lineID)) return std::move(*matched);
        }
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
