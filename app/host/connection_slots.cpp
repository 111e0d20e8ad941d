#include "app/host/connection_slots.hpp"

#include <algorithm>
#include <utility>

namespace app {

ConnectionSlots::ConnectionSlots(std::size_t capacity, Clock::duration patience)
    : capacity_(capacity), patience_(patience) {}

ConnectionSlots::Admission ConnectionSlots::admit(Clock::time_point now) {
    const std::lock_guard lock(mutex_);
    Admission admission;
    if (open_ >= capacity_) {
        admission.askAgainAt = Clock::time_point::max();
        for (const auto& reader : reading_) {
            if (!reader->awaitingPeer_) continue;
            const auto patienceEnds = reader->admitted_ + patience_;
            if (patienceEnds <= now) {
                admission.displaced = reader;
                break;
            }
            admission.askAgainAt = std::min(admission.askAgainAt, patienceEnds);
        }
        if (!admission.displaced) {
            awaitingRoom_ = true;
            return admission;
        }
        // The place passes to the new connection: the count stays.
        admission.displaced->counted_ = false;
        stopReading(*admission.displaced);
    } else {
        ++open_;
    }
    admission.place = std::make_shared<Place>();
    admission.place->admitted_ = now;
    admission.place->readingAt_ = reading_.insert(reading_.end(), admission.place);
    return admission;
}

bool ConnectionSlots::awaitingPeer(Place& place, bool waiting) {
    const std::lock_guard lock(mutex_);
    place.awaitingPeer_ = waiting;
    return waiting && place.readingAt_ && std::exchange(awaitingRoom_, false);
}

void ConnectionSlots::readingEnded(Place& place) {
    const std::lock_guard lock(mutex_);
    stopReading(place);
}

bool ConnectionSlots::closed(Place& place) {
    const std::lock_guard lock(mutex_);
    stopReading(place);
    if (!std::exchange(place.counted_, false)) return false;
    --open_;
    return std::exchange(awaitingRoom_, false);
}

std::size_t ConnectionSlots::open() const {
    const std::lock_guard lock(mutex_);
    return open_;
}

std::size_t ConnectionSlots::reading() const {
    const std::lock_guard lock(mutex_);
    return reading_.size();
}

void ConnectionSlots::stopReading(Place& place) {
    if (const auto at = std::exchange(place.readingAt_, std::nullopt)) reading_.erase(*at);
}

}  // namespace app
