#pragma once

#include <spawn.h>

#include <string>
#include <vector>

// What every posix_spawn of the platform layer needs around it.
namespace platform::detail {

// SpawnSetup: the attributes and file actions of one posix_spawn, destroyed with it.
class SpawnSetup {
public:
    SpawnSetup() {
        ::posix_spawnattr_init(&attributes_);
        ::posix_spawn_file_actions_init(&actions_);
    }
    SpawnSetup(const SpawnSetup&) = delete;
    SpawnSetup& operator=(const SpawnSetup&) = delete;
    ~SpawnSetup() {
        ::posix_spawn_file_actions_destroy(&actions_);
        ::posix_spawnattr_destroy(&attributes_);
    }

    posix_spawnattr_t* attributes() { return &attributes_; }
    posix_spawn_file_actions_t* actions() { return &actions_; }

private:
    posix_spawnattr_t attributes_{};
    posix_spawn_file_actions_t actions_{};
};

// cStrings: the texts of strings as posix_spawn takes an argv or an environment: one pointer
// each, then a null pointer. They point into strings, which must outlive them unchanged; the
// started program only reads them.
inline std::vector<char*> cStrings(const std::vector<std::string>& strings) {
    std::vector<char*> pointers;
    pointers.reserve(strings.size() + 1);
    for (const auto& text : strings) pointers.push_back(const_cast<char*>(text.c_str()));
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace platform::detail
