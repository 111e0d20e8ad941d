#include "platform/detail/private_folder.hpp"

#include "platform/error.hpp"

#include <cerrno>
#include <sys/stat.h>

namespace platform::detail {

void makePrivateFolder(const std::filesystem::path& folder) {
    if (folder.empty()) return;
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) return;
    if (errno != ENOENT) throw errnoError("Can't use " + folder.string(), errno);
    makePrivateFolder(folder.parent_path());
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        throw errnoError("Can't create " + folder.string(), errno);
    }
}

}  // namespace platform::detail
