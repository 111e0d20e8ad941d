#pragma once

#include <string_view>

namespace logging::detail {

// The file identifier of a source path: its last two components, "mcp/server.cpp" for
// "/work/project/mcp/server.cpp". The first component names the file's library (its module),
// which is what log lines show as the source. A path with one component is returned whole.
std::string_view fileID(std::string_view path) noexcept;

// The module of a file identifier: the text before its first "/", "n/a" without one.
std::string_view moduleOfFileID(std::string_view fileID) noexcept;

// The module of a file path: the name of the directory holding the file (the component between
// the last two "/"), "n/a" when the path has fewer than two "/".
std::string_view moduleOfFilePath(std::string_view filePath) noexcept;

}  // namespace logging::detail
