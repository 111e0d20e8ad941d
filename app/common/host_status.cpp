#include "app/common/host_status.hpp"

namespace app {

void HostStatus::apply(const ListenerReport& report) {
    if (report.generation < newestGeneration_) return;
    newestGeneration_ = report.generation;
    switch (report.state) {
    case ListenerReport::State::ready:
        running_.set(true);
        problem_.set(std::nullopt);
        break;
    case ListenerReport::State::failed:
        running_.set(false);
        problem_.set(report.problem);
        break;
    case ListenerReport::State::cancelled:
        running_.set(false);
        break;
    case ListenerReport::State::notCreated:
        problem_.set(report.problem);
        break;
    }
}

std::string HostStatus::clientDisplayName(const std::optional<std::string>& name) const {
    if (name && !name->empty()) return *name;
    const auto& last = lastClient_.get();
    if (last && !last->empty()) return *last;
    return std::string(kUnnamedClient);
}

}  // namespace app
