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
    EXPECT_EQ(entries.size(), 3u);
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

TEST(Ini, WritingBackKeepsEveryLineItDoesNotChange) {
    // A file a person edited: their comments, section, stray lines and spacing stay.
    constexpr std::string_view kFile =
        "; my settings\r\n"
        "[General]\n"
        "  port = 50000  \n"
        "a line without an equals sign\n"
        "\n"
        "token=old\n"
        "# the end";
    auto entries = parseIni(kFile);
    entries.set("token", "new");
    entries.set("hasSeenWelcome", "true");
    EXPECT_EQ(writeIni(entries),
              "; my settings\r\n"
              "[General]\n"
              "  port = 50000  \n"
              "a line without an equals sign\n"
              "\n"
              "token=new\n"
              "# the end\n"
              "hasSeenWelcome=true\n");
}

TEST(Ini, SettingAKeyGivenTwiceChangesTheLineThatCounts) {
    auto entries = parseIni("port=1\nport=2\n");
    entries.set("port", "3");
    const auto text = writeIni(entries);
    EXPECT_EQ(text, "port=1\nport=3\n");
    EXPECT_EQ(parseIni(text).get("port"), "3");
}

TEST(Ini, AFileOfManyKeysReadsAndWritesBackWhole) {
    constexpr int kKeys = 40'000;
    std::string text = "[General]\n";
    for (int i = 0; i < kKeys; ++i) text += "key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
    auto entries = parseIni(text);
    ASSERT_EQ(entries.size(), std::size_t(kKeys));
    for (int i = 0; i < kKeys; i += 997) EXPECT_EQ(entries.get("key" + std::to_string(i)), std::to_string(i));
    entries.set("key7", "seven");
    const auto written = writeIni(entries);
    EXPECT_EQ(written.size(), text.size() + 4);
    EXPECT_EQ(parseIni(written).get("key7"), "seven");
}

}  // namespace
}  // namespace platform::detail
