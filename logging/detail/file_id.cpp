#include "logging/detail/file_id.hpp"

namespace logging::detail {

namespace {
constexpr std::string_view kNoModule = "n/a";
}

std::string_view fileID(std::string_view path) noexcept {
    const std::size_t lastSlash = path.rfind('/');
    if (lastSlash == std::string_view::npos || lastSlash == 0) return path;
    const std::size_t previousSlash = path.rfind('/', lastSlash - 1);
    return previousSlash == std::string_view::npos ? path : path.substr(previousSlash + 1);
}

std::string_view moduleOfFileID(std::string_view fileID) noexcept {
    const std::size_t slash = fileID.find('/');
    return slash == std::string_view::npos ? kNoModule : fileID.substr(0, slash);
}

std::string_view moduleOfFilePath(std::string_view filePath) noexcept {
    const std::size_t lastSlash = filePath.rfind('/');
    if (lastSlash == std::string_view::npos || lastSlash == 0) return kNoModule;
    const std::size_t previousSlash = filePath.rfind('/', lastSlash - 1);
    if (previousSlash == std::string_view::npos) return kNoModule;
    return filePath.substr(previousSlash + 1, lastSlash - previousSlash - 1);
}

}  // namespace logging::detail
