#include "platform/ini_settings.hpp"

#include "platform/detail/ini.hpp"
#include "platform/detail/private_folder.hpp"
#include "platform/error.hpp"
#include "platform/session/user_folders.hpp"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

namespace platform {

namespace {

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

// FileDescriptor: closes what it holds.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    int get() const { return fd_; }
    // close: closes now and reports a failure, which a write must not ignore.
    int close() { return ::close(std::exchange(fd_, -1)); }

private:
    int fd_;
};

// SettingsLock: holds the exclusive flock on the store's lock file while it lives. Locks
// belong to open file descriptions, so two threads of one process exclude each other too.
class SettingsLock {
public:
    explicit SettingsLock(const std::filesystem::path& lockFile)
        : fd_(::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kFileMode)) {
        if (fd_.get() < 0) throw errnoError("Can't open " + lockFile.string(), errno);
        while (::flock(fd_.get(), LOCK_EX) != 0) {
            if (errno != EINTR) throw errnoError("Can't lock " + lockFile.string(), errno);
        }
    }

private:
    FileDescriptor fd_;
};

// Prepares the folder for a write: made when missing, and closed to other users when it is
// ours and open to them (an earlier umask may have made it so). A sticky folder is a shared
// one, such as /tmp, and is left as it is.
void prepareFolder(const std::filesystem::path& folder) {
    detail::makePrivateFolder(folder);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) throw errnoError("Can't use " + folder.string(), errno);
    if (info.st_uid == ::geteuid() && (info.st_mode & S_ISVTX) == 0 && (info.st_mode & 0077) != 0) {
        ::chmod(folder.c_str(), kFolderMode);
    }
}

std::filesystem::path lockFileOf(const std::filesystem::path& file) {
    auto lock = file;
    lock += ".lock";
    return lock;
}

std::string readWhole(const std::filesystem::path& file) {
    FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        if (errno == ENOENT) return {};
        throw errnoError("Can't read " + file.string(), errno);
    }
    std::string text;
    char buffer[4096];
    for (;;) {
        const auto count = ::read(fd.get(), buffer, sizeof buffer);
        if (count == 0) return text;
        if (count < 0) {
            if (errno == EINTR) continue;
            throw errnoError("Can't read " + file.string(), errno);
        }
        text.append(buffer, static_cast<std::size_t>(count));
    }
}

void writeAll(int fd, std::string_view text, const std::string& name) {
    while (!text.empty()) {
        const auto count = ::write(fd, text.data(), text.size());
        if (count < 0) {
            if (errno == EINTR) continue;
            throw errnoError("Can't write " + name, errno);
        }
        text.remove_prefix(static_cast<std::size_t>(count));
    }
}

// Replaces file with text: readers see either the old file or the whole new one.
void replaceAtomically(const std::filesystem::path& file, const std::string& text) {
    const auto folder = file.parent_path();
    std::string temporary = file.string() + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0) throw errnoError("Can't create a file in " + folder.string(), errno);
    try {
        // mkostemp makes the file 0600 already; fchmod states it whatever the libc does.
        if (::fchmod(fd.get(), kFileMode) != 0) throw errnoError("Can't protect " + temporary, errno);
        writeAll(fd.get(), text, temporary);
        if (::fsync(fd.get()) != 0) throw errnoError("Can't write " + temporary, errno);
        if (fd.close() != 0) throw errnoError("Can't write " + temporary, errno);
        if (::rename(temporary.c_str(), file.c_str()) != 0) {
            throw errnoError("Can't replace " + file.string(), errno);
        }
    } catch (...) {
        ::unlink(temporary.c_str());
        throw;
    }
    // The rename is durable once the folder is synced; failing that loses nothing yet.
    FileDescriptor folderFD(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFD.get() >= 0) ::fsync(folderFD.get());
}

}  // namespace

IniSettings::IniSettings(std::filesystem::path file) : file_(std::move(file)) {}

std::optional<std::string> IniSettings::getString(std::string_view key) {
    validateSettingsKey(key);
    return detail::parseIni(readWhole(file_)).get(key);
}

void IniSettings::setString(std::string_view key, std::string_view value) {
    validateSettingsKey(key);
    prepareFolder(file_.parent_path());
    SettingsLock lock(lockFileOf(file_));
    auto entries = detail::parseIni(readWhole(file_));
    entries.set(key, value);
    replaceAtomically(file_, detail::writeIni(entries));
}

std::string IniSettings::getOrCreateString(std::string_view key, const std::function<std::string()>& make,
                                           const Usable& usable) {
    validateSettingsKey(key);
    const auto serves = [&](const std::optional<std::string>& stored) { return stored && (!usable || usable(*stored)); };
    if (auto stored = getString(key); serves(stored)) return *stored;
    prepareFolder(file_.parent_path());
    SettingsLock lock(lockFileOf(file_));
    // Another process may have stored one while this one waited for the lock.
    auto entries = detail::parseIni(readWhole(file_));
    if (auto stored = entries.get(key); serves(stored)) return *stored;
    auto made = make();
    entries.set(key, made);
    replaceAtomically(file_, detail::writeIni(entries));
    return made;
}

std::filesystem::path defaultSettingsFile() {
    return userConfigFolder() / "vantor-mcp" / "settings.ini";
}

}  // namespace platform
