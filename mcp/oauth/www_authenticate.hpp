#pragma once

// The "WWW-Authenticate" value with which a protected resource refuses a request: a Bearer
// challenge naming where its metadata is served and, when there is one, what went wrong.

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace mcp {

// formatBearerChallenge: "Bearer " and the parameters, in this order and joined with ", ":
// resource_metadata (always), scope (when `scopes` is present and not empty: the scopes sorted
// and joined with single blanks), error (when present) and error_description (when present and
// not empty). Each value is written in double quotes after escaping backslashes and then double
// quotes with a backslash. Control characters, which a quoted value cannot carry and which would
// end the header early, become blanks.
std::string formatBearerChallenge(std::string_view resourceMetadataURL,
                                  const std::optional<std::set<std::string>>& scopes,
                                  std::optional<std::string_view> error,
                                  std::optional<std::string_view> errorDescription);

}  // namespace mcp
