#include "app/host/connection_slots.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <random>
#include <vector>

namespace app {
namespace {

using namespace std::chrono_literals;
using Clock = ConnectionSlots::Clock;
using Place = std::shared_ptr<ConnectionSlots::Place>;

constexpr auto kPatience = 1s;
const Clock::time_point kStart{};

// Fills every place of slots at kStart; each place's reading waits for its peer when asked.
std::vector<Place> fill(ConnectionSlots& slots, std::size_t count, bool awaitingPeer) {
    std::vector<Place> places;
    for (std::size_t i = 0; i < count; ++i) {
        places.push_back(slots.admit(kStart).place);
        EXPECT_TRUE(places.back());
        if (awaitingPeer) slots.awaitingPeer(*places.back(), true);
    }
    return places;
}

TEST(ConnectionSlots, AtCapacityWithEveryConnectionServedNoneIsAdmittedUntilOneCloses) {
    ConnectionSlots slots(2, kPatience);
    auto places = fill(slots, 2, false);
    for (auto& place : places) slots.readingEnded(*place);

    const auto refused = slots.admit(kStart + 1h);
    EXPECT_FALSE(refused.place);
    EXPECT_FALSE(refused.displaced);
    EXPECT_EQ(refused.askAgainAt, Clock::time_point::max());
    EXPECT_EQ(slots.open(), 2u);

    EXPECT_TRUE(slots.closed(*places[0])) << "the one waiting for room is to be woken";
    EXPECT_FALSE(slots.closed(*places[1])) << "nobody waits any more";
    EXPECT_TRUE(slots.admit(kStart + 1h).place);
    EXPECT_EQ(slots.open(), 1u);
}

TEST(ConnectionSlots, TheOldestReaderWaitingForItsPeerGivesWayOnceItsPatienceIsOver) {
    ConnectionSlots slots(3, kPatience);
    auto places = fill(slots, 3, false);
    // The oldest has its request but it isn't read yet: it doesn't give way.
    slots.awaitingPeer(*places[1], true);
    slots.awaitingPeer(*places[2], true);

    const auto early = slots.admit(kStart + 500ms);
    EXPECT_FALSE(early.place) << "no reader has waited long enough";
    EXPECT_EQ(early.askAgainAt, kStart + kPatience);

    const auto admitted = slots.admit(kStart + kPatience);
    ASSERT_TRUE(admitted.place);
    EXPECT_EQ(admitted.displaced, places[1]);
    EXPECT_EQ(slots.open(), 3u) << "the place passed to the new connection";
    EXPECT_EQ(slots.reading(), 3u);

    // The connection that gave way closes without freeing a place a second time.
    EXPECT_FALSE(slots.closed(*places[1]));
    EXPECT_EQ(slots.open(), 3u);
}

TEST(ConnectionSlots, AReaderThatStartsWaitingForItsPeerWakesTheOneWaitingForRoom) {
    ConnectionSlots slots(1, kPatience);
    auto places = fill(slots, 1, false);
    EXPECT_FALSE(slots.admit(kStart).place);
    EXPECT_FALSE(slots.awaitingPeer(*places[0], false));
    EXPECT_TRUE(slots.awaitingPeer(*places[0], true));
    EXPECT_FALSE(slots.awaitingPeer(*places[0], true)) << "woken once";
    EXPECT_EQ(slots.admit(kStart + kPatience).displaced, places[0]);
}

TEST(ConnectionSlots, AReaderWhoseReadingEndedNeverGivesWay) {
    ConnectionSlots slots(2, kPatience);
    auto places = fill(slots, 2, true);
    slots.readingEnded(*places[0]);
    EXPECT_EQ(slots.admit(kStart + 1h).displaced, places[1]);
    EXPECT_FALSE(slots.admit(kStart + 1h).place);
}

// Connections come, wait for their peers, are read, give way and close in every order: the
// counts end where they began, and never pass the capacity.
TEST(ConnectionSlots, CountsDontDriftUnderChurn) {
    constexpr std::size_t kCapacity = 8;
    ConnectionSlots slots(kCapacity, kPatience);
    std::mt19937 random(7);
    std::vector<Place> open;
    auto now = kStart;
    for (int step = 0; step < 100'000; ++step) {
        now += std::chrono::milliseconds(random() % 400);
        switch (random() % 4) {
        case 0: {
            const auto admission = slots.admit(now);
            if (admission.place) open.push_back(admission.place);
            break;
        }
        case 1:
            if (!open.empty()) slots.awaitingPeer(*open[random() % open.size()], random() % 2 == 0);
            break;
        case 2:
            if (!open.empty()) slots.readingEnded(*open[random() % open.size()]);
            break;
        default:
            if (!open.empty()) {
                const auto at = open.begin() + static_cast<std::ptrdiff_t>(random() % open.size());
                slots.closed(**at);
                open.erase(at);
            }
        }
        ASSERT_LE(slots.open(), kCapacity);
        ASSERT_LE(slots.reading(), slots.open());
    }
    for (const auto& place : open) slots.closed(*place);
    EXPECT_EQ(slots.open(), 0u);
    EXPECT_EQ(slots.reading(), 0u);
    EXPECT_EQ(fill(slots, kCapacity, false).size(), kCapacity);
}

}  // namespace
}  // namespace app
