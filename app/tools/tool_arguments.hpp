#pragma once

#include "app/looking/looking_point.hpp"

#include "mcp/json/value.hpp"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The checks of the tools' arguments: pure functions of the arguments a tools/call request
// carried, throwing ToolError with the text the agent reads. Any thread.
namespace app {

// Length limits, in user-perceived characters. The texts the user reads are cut to theirs, a cut
// one ending in "…"; a spot's text, which Copy hands over whole, is never cut: a longer one is
// refused.
inline constexpr std::size_t kReasonLimit = 300;
inline constexpr std::size_t kLabelLimit = 60;
inline constexpr std::size_t kSpotTextLimit = 200;
inline constexpr std::size_t kMessageLimit = 140;
// The most spots one point call may show.
inline constexpr std::size_t kMaxSpots = 8;

// requiredText: the value of key when it is a text of at least one character; throws ToolError
// "Missing <key>" otherwise.
std::string requiredText(std::string_view key, const mcp::ValueObject& arguments);

// lookReason: the look's "reason", tidied to kReasonLimit (tidyShown); throws ToolError "Missing reason"
// when it is absent, no text, or empty after tidying.
std::string lookReason(const mcp::ValueObject& arguments);

// number: the value of key as a double when it is a number (an integer converts); none for any
// other case, a text such as "12" included, and for a missing key.
std::optional<double> number(std::string_view key, const mcp::ValueObject& arguments);

// spot: the spot an object describes: its numbers "x" and "y" (none unless both are there), its
// "label" tidied to kLabelLimit (tidyShown) and its "text" tidied whole, when they are texts. A
// label or text that tidies to nothing stays, as the empty text.
std::optional<PointSpot> spot(const mcp::ValueObject& object);

// spotTextTooLongText: what the agent reads when a spot's text is longer than kSpotTextLimit;
// position is the spot's place in "spots" counting from 1, none for the top-level spot.
std::string spotTextTooLongText(std::optional<std::size_t> position);

// pointSpots: the spots of a point call: the usable objects of "spots" in order (others are
// dropped); when that gives none, the spot of the top-level x and y. Throws ToolError
// "Missing x and y, or spots" when there is none at all, spotTextTooLongText for a usable spot
// whose text is longer than kSpotTextLimit, and "At most 8 spots at once" for more than
// kMaxSpots.
std::vector<PointSpot> pointSpots(const mcp::ValueObject& arguments);

// optionalMessage: "message" tidied to kMessageLimit (tidyShown) when it is a text, else none.
std::optional<std::string> optionalMessage(const mcp::ValueObject& arguments);

// flag: the value of key when it is a Boolean; false otherwise ("true" as text included).
bool flag(std::string_view key, const mcp::ValueObject& arguments);

}  // namespace app
