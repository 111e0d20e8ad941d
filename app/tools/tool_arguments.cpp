#include "app/tools/tool_arguments.hpp"

#include "app/common/tidy.hpp"
#include "app/common/tool_error.hpp"

#include <limits>

namespace app {

namespace {

// optionalText: the value of key when it is a text, else none.
const std::string* optionalText(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* value = arguments.find(key);
    return value ? value->stringValue() : nullptr;
}

// shownText: the value of key tidied to limit for the user's eyes when it is a text, else none.
std::optional<std::string> shownText(std::string_view key, const mcp::ValueObject& arguments, std::size_t limit) {
    const auto* text = optionalText(key, arguments);
    if (!text) return std::nullopt;
    return tidyShown(*text, limit);
}

// checkSpotText: refuses a spot whose text Copy couldn't hand over whole.
void checkSpotText(const PointSpot& spot, std::optional<std::size_t> position) {
    if (spot.text && tidy(*spot.text, kSpotTextLimit).size() < spot.text->size()) {
        throw ToolError(spotTextTooLongText(position));
    }
}

}  // namespace

std::string requiredText(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* text = optionalText(key, arguments);
    if (!text || text->empty()) throw ToolError("Missing " + std::string(key));
    return *text;
}

std::string lookReason(const mcp::ValueObject& arguments) {
    auto reason = tidyShown(requiredText("reason", arguments), kReasonLimit);
    if (reason.empty()) throw ToolError("Missing reason");
    return reason;
}

std::optional<double> number(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* value = arguments.find(key);
    if (!value) return std::nullopt;
    if (const auto real = value->doubleValue()) return *real;
    if (const auto whole = value->intValue()) return static_cast<double>(*whole);
    return std::nullopt;
}

std::optional<PointSpot> spot(const mcp::ValueObject& object) {
    const auto x = number("x", object);
    const auto y = number("y", object);
    if (!x || !y) return std::nullopt;
    std::optional<std::string> text;
    if (const auto* given = optionalText("text", object)) text = tidy(*given, std::numeric_limits<std::size_t>::max());
    return PointSpot{*x, *y, shownText("label", object, kLabelLimit), std::move(text)};
}

std::string spotTextTooLongText(std::optional<std::size_t> position) {
    const auto which = position ? "The text of spot " + std::to_string(*position) : std::string("The spot's text");
    return which + " is longer than " + std::to_string(kSpotTextLimit) +
           " characters, the most a spot's Copy hands over. Shorten it, or split the step into several point calls.";
}

std::vector<PointSpot> pointSpots(const mcp::ValueObject& arguments) {
    std::vector<PointSpot> spots;
    const auto* given = arguments.find("spots");
    if (const auto* list = given ? given->arrayValue() : nullptr) {
        for (std::size_t index = 0; index < list->size(); ++index) {
            const auto* object = (*list)[index].objectValue();
            if (!object) continue;
            if (auto usable = spot(*object)) {
                checkSpotText(*usable, index + 1);
                spots.push_back(std::move(*usable));
            }
        }
    }
    if (spots.empty()) {
        auto single = spot(arguments);
        if (!single) throw ToolError("Missing x and y, or spots");
        checkSpotText(*single, std::nullopt);
        spots.push_back(std::move(*single));
    }
    if (spots.size() > kMaxSpots) throw ToolError("At most 8 spots at once");
    return spots;
}

std::optional<std::string> optionalMessage(const mcp::ValueObject& arguments) {
    return shownText("message", arguments, kMessageLimit);
}

bool flag(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* value = arguments.find(key);
    const auto truth = value ? value->boolValue() : std::nullopt;
    return truth.value_or(false);
}

}  // namespace app
