#include "platform/detail/ini.hpp"

#include <gtest/gtest.h>

#include <string>

namespace platform::detail {
namespace {

TEST(Ini, ReadsWhatPeopleAndOtherToolsWrite) {
    const auto entries = parseIni(
        "; written by hand\r\n"
        "[General]\r\n"
        "  port = 50000  \r\n"
        "# comment=not a key\n"
        "no equals sign\n"
        "=no key\n"
        "token=abc=def\n"
        "hasSeenWelcome=true\n"
        "port=50001");
    EXPECT_EQ(entries.get("port"), "50001");
    EXPECT_EQ(entries.get("token"), "abc=def");
    EXPECT_EQ(entries.get("hasSeenWelcome"), "true");
    EXPECT_EQ(entries.get("# comment"), std::nullopt);
    EXPECT_EQ(entries.get("no equals sign"), std::nullopt);
    EXPECT_EQ(entries.entries().size(), 3u);
}

TEST(Ini, EveryValueReadsBackExactly) {
    constexpr std::string_view kValues[] = {
        "",          "plain",        " leading",   "trailing ",      "  ",         "in side",
        "a=b",       "back\\slash",  "\\s",        "line\nbreak",    "cr\rlf\r\n", "\ttab\t",
        "; not a comment", "[not a section]", "#hash", "trailing backslash\\", "caf\xc3\xa9",
    };
    IniEntries entries;
    for (std::size_t i = 0; i < std::size(kValues); ++i) entries.set("key" + std::to_string(i), kValues[i]);
    const auto text = writeIni(entries);
    const auto read = parseIni(text);
    for (std::size_t i = 0; i < std::size(kValues); ++i) {
        EXPECT_EQ(read.get("key" + std::to_string(i)), std::string(kValues[i])) << "value " << i << " in\n" << text;
    }
}

TEST(Ini, SetKeepsOrderAndReplacesInPlace) {
    IniEntries entries;
    entries.set("port", "1");
    entries.set("token", "t");
    entries.set("port", "2");
    EXPECT_EQ(writeIni(entries), "port=2\ntoken=t\n");
}

}  // namespace
}  // namespace platform::detail
