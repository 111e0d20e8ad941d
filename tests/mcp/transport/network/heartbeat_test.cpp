#include "mcp/transport/network/heartbeat.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace mcp::network {
namespace {

using Bytes = std::vector<std::uint8_t>;

Heartbeat::Clock::time_point afterReference(std::chrono::nanoseconds since) {
    return Heartbeat::kReferenceDate + std::chrono::duration_cast<Heartbeat::Clock::duration>(since);
}

Bytes bytesOf(const Heartbeat& heartbeat) {
    const auto frame = heartbeat.rawValue();
    return Bytes(frame.begin(), frame.end());
}

TEST(Heartbeat, EncodesMillisecondsSinceTheReferenceDate) {
    using namespace std::chrono_literals;
    const struct {
        std::string_view name;
        std::chrono::nanoseconds since;
        Bytes want;
    } cases[] = {
        {"1.5 s", 1500ms, {0xF0, 0x9F, 0x92, 0x93, 0xDC, 0x05, 0, 0, 0, 0, 0, 0}},
        {"truncated to the millisecond", 1000400us, {0xF0, 0x9F, 0x92, 0x93, 0xE8, 0x03, 0, 0, 0, 0, 0, 0}},
        {"the reference date", 0ns, {0xF0, 0x9F, 0x92, 0x93, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"before the reference date is clamped", -1s, {0xF0, 0x9F, 0x92, 0x93, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"no rounding error", 1001ms, {0xF0, 0x9F, 0x92, 0x93, 0xE9, 0x03, 0, 0, 0, 0, 0, 0}},
        {"all eight bytes little-endian", std::chrono::milliseconds(0x0102030405LL),
         {0xF0, 0x9F, 0x92, 0x93, 0x05, 0x04, 0x03, 0x02, 0x01, 0, 0, 0}},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(bytesOf(Heartbeat(afterReference(row.since))), row.want);
    }
    const std::string data = Heartbeat(afterReference(1500ms)).data();
    EXPECT_EQ(data, std::string("\xF0\x9F\x92\x93\xDC\x05\0\0\0\0\0\0", 12));
}

TEST(Heartbeat, DecodesOnlyWholeFramesWithTheMarker) {
    const Bytes frame{0xF0, 0x9F, 0x92, 0x93, 0xDC, 0x05, 0, 0, 0, 0, 0, 0};
    const struct {
        std::string_view name;
        Bytes bytes;
        bool decodes;
    } cases[] = {
        {"a frame", frame, true},
        {"11 bytes", Bytes(frame.begin(), frame.end() - 1), false},
        {"wrong first byte", [&] { auto bytes = frame; bytes[0] = 0xF1; return bytes; }(), false},
        {"wrong fourth byte", [&] { auto bytes = frame; bytes[3] = 0x94; return bytes; }(), false},
        {"13 bytes beginning with a frame", [&] { auto bytes = frame; bytes.push_back('{'); return bytes; }(), true},
        {"nothing", {}, false},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        const auto decoded = Heartbeat::fromRawValue(row.bytes);
        ASSERT_EQ(decoded.has_value(), row.decodes);
        if (decoded) {
            EXPECT_EQ(decoded->timestamp, afterReference(std::chrono::milliseconds(1500)));
        }
    }
    // Decoding keeps the millisecond: 1.0004 s reads back as exactly 1 s.
    const auto decoded = Heartbeat::from(Heartbeat(afterReference(std::chrono::microseconds(1000400))).data());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->timestamp, afterReference(std::chrono::seconds(1)));
    EXPECT_EQ(*decoded, Heartbeat(afterReference(std::chrono::microseconds(1000900))));
    EXPECT_FALSE(*decoded == Heartbeat(afterReference(std::chrono::microseconds(1001000))));
}

TEST(Heartbeat, HashesItsFrame) {
    const std::hash<Heartbeat> hash;
    // Two instants in the same millisecond make one frame.
    EXPECT_EQ(hash(Heartbeat(afterReference(std::chrono::microseconds(1000400)))),
              hash(Heartbeat(afterReference(std::chrono::microseconds(1000900)))));
    EXPECT_NE(hash(Heartbeat(afterReference(std::chrono::microseconds(1000900)))),
              hash(Heartbeat(afterReference(std::chrono::microseconds(1001000)))));
}

TEST(Heartbeat, RecognisesTheMarkerAlone) {
    const std::string marker = "\xF0\x9F\x92\x93";
    EXPECT_TRUE(Heartbeat::isHeartbeat(marker));
    EXPECT_FALSE(Heartbeat::from(marker));
    EXPECT_FALSE(Heartbeat::isHeartbeat("\xF0\x9F\x92"));
    EXPECT_FALSE(Heartbeat::isHeartbeat("{\"a\":1}"));
}

TEST(Heartbeat, WritesItsTimeForTheLog) {
    // 2026-12-09 09:35:48 UTC is 1796808948 s after 1970.
    const Heartbeat heartbeat(Heartbeat::Clock::time_point(std::chrono::seconds(1796808948)));
    EXPECT_EQ(heartbeat.timestampText(), "2026-12-09 09:35:48 +0000");
}

}  // namespace
}  // namespace mcp::network
