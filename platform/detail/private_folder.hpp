#pragma once

#include <filesystem>

namespace platform::detail {

// makePrivateFolder: makes folder, and each missing folder above it, with mode 0700; a folder
// that exists is left as it is. Throws platform::Error when one can't be made or examined.
void makePrivateFolder(const std::filesystem::path& folder);

}  // namespace platform::detail
