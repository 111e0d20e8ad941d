#pragma once

#include "mcp/json/value.hpp"

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

// replyLine: the reply body as the one line written to the client, without its line feed.
// An error reply with a null id gets the line's id (when the line had one that isn't null):
// the host answers refusals with id null and the client couldn't match them otherwise. A body
// that spans lines is made compact as it stands (minifyJSON); one that is no JSON is kept.
std::string replyLine(std::string_view body, const std::optional<mcp::Value>& lineID);

// unreachableLine: the error line for a request that couldn't be delivered:
// {"jsonrpc":"2.0","id":<id>,"error":{"code":-32000,"message":kUnreachablePrefix + reason}}.
// None when the id can't be written as JSON.
std::optional<std::string> unreachableLine(const mcp::Value& id, std::string_view reason);

}  // namespace app
