#include "platform/session/user_manager.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace platform {
namespace {

TEST(ParseManagerEnvironment, ReadsPlainAndQuotedValues) {
    using namespace std::string_literals;
    const struct {
        const char* name;
        std::string_view output;
        Environment want;
    } kCases[] = {
        {"a desktop's variables",
         "DISPLAY=:0\nXAUTHORITY=/run/user/1000/.mutter-Xwaylandauth.7WZ1F2\nXDG_RUNTIME_DIR=/run/user/1000\n",
         {{"DISPLAY", ":0"},
          {"XAUTHORITY", "/run/user/1000/.mutter-Xwaylandauth.7WZ1F2"},
          {"XDG_RUNTIME_DIR", "/run/user/1000"}}},
        {"no line feed at the end", "DISPLAY=:1", {{"DISPLAY", ":1"}}},
        {"an empty value", "DISPLAY=\n", {{"DISPLAY", ""}}},
        {"an equals sign in the value", "DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/1000/bus\n",
         {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/run/user/1000/bus"}}},
        {"quoted: blanks and a quote", R"(NAME=$'Ada\'s desk top')", {{"NAME", "Ada's desk top"}}},
        {"quoted: escapes", R"(TEXT=$'a\tb\nc\\d\"e')", {{"TEXT", "a\tb\nc\\d\"e"}}},
        {"quoted: octal bytes", R"(BYTES=$'\001x\377')", {{"BYTES", "\001x\377"s}}},
        {"quoted: UTF-8 kept", "NAME=$'Zoë\\'s'", {{"NAME", "Zoë's"}}},
        {"bad quoting is left out",
         "A=$'unended\nB=$'bad \\q escape'\nC=$'bad \\8 octal'\nD=$'stray ' quote'\nE=$'\\\nF=ok\n",
         {{"F", "ok"}}},
        {"lines that are no entry", "\nnot an entry\n=value\n1ST=x\nBAD NAME=x\nGOOD_2=y\n", {{"GOOD_2", "y"}}},
        {"the last of a name counts", "DISPLAY=:0\nDISPLAY=:1\n", {{"DISPLAY", ":1"}}},
        {"nothing", "", {}},
    };
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(parseManagerEnvironment(c.output), c.want);
    }
}

}  // namespace
}  // namespace platform
