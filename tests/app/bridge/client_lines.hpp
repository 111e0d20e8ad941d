#pragma once

#include <string_view>

// What an AI client writes to the --stdio bridge on its main road, one line each.
namespace test_support {

inline constexpr std::string_view kInitializeLine =
    R"({"jsonrpc":"2.0","id":1,"method":"initialize","params":{"protocolVersion":"2025-06-18","capabilities":{},"clientInfo":{"name":"Claude Code","version":"1.0"}}})";
inline constexpr std::string_view kInitializedLine = R"({"jsonrpc":"2.0","method":"notifications/initialized"})";
inline constexpr std::string_view kToolsListLine = R"({"jsonrpc":"2.0","id":2,"method":"tools/list"})";
inline constexpr std::string_view kListChangedLine =
    R"({"jsonrpc":"2.0","method":"notifications/tools/list_changed"})";

}  // namespace test_support
