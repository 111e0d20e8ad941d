#include "app/tools/tool_arguments.hpp"

#include "app/common/tidy.hpp"
#include "app/common/tool_error.hpp"

namespace app {

namespace {

// optionalText: the value of key tidied to limit when it is a text, else none.
std::optional<std::string> optionalText(std::string_view key, const mcp::ValueObject& arguments,
                                        std::size_t limit) {
    const auto* value = arguments.find(key);
    const auto* text = value ? value->stringValue() : nullptr;
    if (!text) return std::nullopt;
    return tidy(*text, limit);
}

}  // namespace

std::string requiredText(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* value = arguments.find(key);
    const auto* text = value ? value->stringValue() : nullptr;
    if (!text || text->empty()) throw ToolError("Missing " + std::string(key));
    return *text;
}

std::string lookReason(const mcp::ValueObject& arguments) {
    auto reason = tidy(requiredText("reason", arguments), kReasonLimit);
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
    return PointSpot{*x, *y, optionalText("label", object, kLabelLimit), optionalText("text", object, kSpotTextLimit)};
}

std::vector<PointSpot> pointSpots(const mcp::ValueObject& arguments) {
    std::vector<PointSpot> spots;
    const auto* given = arguments.find("spots");
    if (const auto* list = given ? given->arrayValue() : nullptr) {
        for (const auto& element : *list) {
            const auto* object = element.objectValue();
            if (!object) continue;
            if (auto usable = spot(*object)) spots.push_back(std::move(*usable));
        }
    }
    if (spots.empty()) {
        auto single = spot(arguments);
        if (!single) throw ToolError("Missing x and y, or spots");
        spots.push_back(std::move(*single));
    }
    if (spots.size() > kMaxSpots) throw ToolError("At most 8 spots at once");
    return spots;
}

std::optional<std::string> optionalMessage(const mcp::ValueObject& arguments) {
    return optionalText("message", arguments, kMessageLimit);
}

bool flag(std::string_view key, const mcp::ValueObject& arguments) {
    const auto* value = arguments.find(key);
    const auto truth = value ? value->boolValue() : std::nullopt;
    return truth.value_or(false);
}

}  // namespace app
