#include "mcp/oauth/client/private_address.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace mcp {
namespace {

TEST(PrivateAddress, JudgesIPLiteralsWhateverTheirForm) {
    const struct {
        std::string_view host;
        bool isPrivate;
    } cases[] = {
        {"10.1.2.3", true},
        {"100.64.0.1", true},
        {"100.127.255.255", true},
        {"169.254.169.254", true},
        {"172.16.0.1", true},
        {"172.31.255.255", true},
        {"192.168.0.1", true},
        {"fd12::1", true},
        {"FE80::1", true},
        {"feb0::1", true},
        {"100.128.0.1", false},
        {"100.63.255.255", false},
        {"172.32.0.1", false},
        {"172.15.0.1", false},
        {"127.0.0.1", false},
        {"8.8.8.8", false},
        {"fec0::1", false},
        {"::1", false},
        {"2001:db8::1", false},
        // 0.0.0.0 reaches the services of this computer on Linux.
        {"0.0.0.0", true},
        {"0.1.2.3", true},
        {"::", true},
        // IPv6 forms that carry an IPv4 address are judged by that address.
        {"::ffff:169.254.169.254", true},
        {"[::ffff:169.254.169.254]", true},
        {"::ffff:a9fe:a9fe", true},
        {"::a9fe:a9fe", true},
        {"64:ff9b::10.0.0.1", true},
        {"::ffff:8.8.8.8", false},
        {"::ffff:127.0.0.1", false},
        // The numeric forms the system resolver reads as addresses.
        {"2852039166", true},
        {"0xA9FEA9FE", true},
        {"0251.0376.0251.0376", true},
        {"169.254.43518", true},
        {"0x0a.0.0.1", true},
        {"167772161", true},
        {"134744072", false},
        // Host names are judged by what they resolve to, not by their text.
        {"feature.example.com", false},
        {"fd.example.com", false},
        {"fe80.example.com", false},
        {"10.x.0.0.1", false},
        {"10.0.0.1.5", false},
        {"256.0.0.1", false},
        {"", false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.host);
        EXPECT_EQ(isPrivateIPHost(row.host), row.isPrivate);
    }
}

TEST(PrivateAddress, ReadsNumericHostsAsTheResolverDoes) {
    const struct {
        std::string_view host;
        std::string_view address;  // empty: not an IP literal
    } cases[] = {
        {"2852039166", "169.254.169.254"},
        {"169.254.43518", "169.254.169.254"},
        {"10.65535", "10.0.255.255"},
        {"010.0.0.1", "8.0.0.1"},
        {"0x7f.1", "127.0.0.1"},
        {"[::1]", "::1"},
        {"4294967296", ""},
        {"1.2.3.4.5", ""},
        {"1.256.3", ""},
        {"1..2", ""},
        {"1.2.3.", ""},
        {"+10.0.0.1", ""},
        {"example.com", ""},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.host);
        const auto address = parseIPLiteral(row.host);
        if (row.address.empty()) {
            EXPECT_FALSE(address) << address->to_string();
        } else {
            ASSERT_TRUE(address);
            EXPECT_EQ(address->to_string(), row.address);
        }
    }
}

}  // namespace
}  // namespace mcp
