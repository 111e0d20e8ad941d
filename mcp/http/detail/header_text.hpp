#pragma once

// Reading list-valued HTTP header values ("application/json, text/event-stream",
// "application/json; charset=utf-8") the way the request validators do: plain byte splitting,
// with no quoting rules and no case folding.

#include <string_view>
#include <vector>

namespace mcp::detail {

// The pieces of `text` between occurrences of `separator`, empty pieces dropped. The views
// point into `text`.
std::vector<std::string_view> splitDroppingEmpty(std::string_view text, char separator);

// `text` without leading and trailing spaces and tabs (line breaks are kept).
std::string_view trimSpacesAndTabs(std::string_view text) noexcept;

}  // namespace mcp::detail
