#pragma once

#include "mcp/json/value.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// What the --stdio bridge reads from the lines it forwards and the replies it relays, and the
// lines it writes of its own. Pure functions of text; any thread.
namespace app {

// The line that tells the client to fetch the tool list again, written after a reply of a
// program that was started anew.
inline constexpr std::string_view kToolsListChangedLine =
    R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})";

// What every error line for a request that couldn't be delivered starts with.
inline constexpr std::string_view kUnreachablePrefix = "Vantor MCP isn't reachable: ";

// Why the program couldn't be started, after kUnreachablePrefix: there is no desktop session
// to show it in, neither in the bridge's environment nor in the user's service manager.
inline constexpr std::string_view kNoDesktopSessionText =
    "no desktop session was found to start it in (no DISPLAY in the environment the AI app gave "
    "it, nor in the user's service manager); start Vantor MCP from your desktop once.";

// The error line for an object whose id is no string, whole number or null: the client gets
// it at once, under id null, as JSON-RPC asks for a request whose id can't be read.
inline constexpr std::string_view kBadIDLine =
    R"({"jsonrpc":"2.0","id":null,"error":{"code":-32600,"message":"Invalid Request: The id must be a string or a whole number."}})";

// LineRole: what the client awaits in answer to a line.
enum class LineRole {
    // An object with "method" and an "id" (null too): exactly one reply.
    request,
    // A notification or a response (an object with no "id", or with no "method"): nothing.
    noReply,
    // An object whose "id" is no string, whole number or null: kBadIDLine, without posting.
    badID,
    // A line that is no JSON object (a batch, or no JSON): the host's JSON answer, if any.
    other,
};

// isUsableID: whether id is a string, a whole number or null. A whole number is read as the
// host reads request ids: 7 and 7.0 alike.
bool isUsableID(const mcp::Value& id);

// lineRole: the role of a line (see LineRole).
LineRole lineRole(std::string_view line);

// isJSONObject: whether text is one JSON object, blanks around it aside.
bool isJSONObject(std::string_view text);

// isBlankLine: whether line holds nothing but horizontal white space (tabs and the Unicode
// space separators); such a line is skipped. Bytes that are not UTF-8 count as text.
bool isBlankLine(std::string_view line);

// requestID: the "id" member of the line's JSON object, whatever its type (a null id is
// present); none when the line is no JSON, a batch, or an object without "id".
std::optional<mcp::Value> requestID(std::string_view line);

// initializeClientName: for an initialize request, params.clientInfo.title when it is a
// string, else params.clientInfo.name when that is; none for every other line.
std::optional<std::string> initializeClientName(std::string_view line);

// protocolVersion: result.protocolVersion of a reply, when it is a string.
std::optional<std::string> protocolVersion(std::string_view reply);

// encodeClientName: the client's name for the client header: every byte that is not an ASCII
// letter or digit as a "%XX" escape ("Claude Code" gives "Claude%20Code"), so that the header
// holds ASCII only.
std::string encodeClientName(std::string_view name);

// RelayedReply: an answer's body as the bridge relays it, read through once for all that the
// bridge takes from it, without building the document (an answer can be a picture of
// megabytes). Keeps a reference to the body.
class RelayedReply {
public:
    explicit RelayedReply(std::string_view body);

    // isJSONObject: as the free function of that name, of the body.
    bool isJSONObject() const { return isObject_; }
    // protocolVersion: as the free function of that name, of the body.
    std::optional<std::string> protocolVersion() const;
    // line: replyLine of the body.
    std::string line(const std::optional<mcp::Value>& lineID) const;

private:
    std::string_view body_;
    bool isObject_ = false;
    // An error whose id is null: the line's id goes in.
    bool nullIDError_ = false;
    std::optional<std::string> version_;
};

// replyLine: the reply body as the one line written to the client, without its line feed.
// An error reply with a null id gets the line's id (when the line had one that isn't null):
// the host answers refusals with id null and the client couldn't match them otherwise. A body
// that spans lines is made compact as it stands (minifyJSON); one that is no JSON is kept.
std::string replyLine(std::string_view body, const std::optional<mcp::Value>& lineID);

// errorLine: {"jsonrpc":"2.0","id":<id>,"error":{"code":<code>,"message":<message>}}; none
// when the id can't be written as JSON.
std::optional<std::string> errorLine(const mcp::Value& id, int code, std::string_view message);

// unreachableLine: the error line for a request that couldn't be delivered: code -32000 and
// the message kUnreachablePrefix + reason.
std::optional<std::string> unreachableLine(const mcp::Value& id, std::string_view reason);

// tooLargeLine: the error line for a request longer than the host takes: code -32600 and a
// message that gives both sizes in bytes.
std::optional<std::string> tooLargeLine(const mcp::Value& id, std::size_t size, std::size_t limit);

}  // namespace app
