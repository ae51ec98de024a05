// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/UserFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace {

// A descriptor closed on every path.
class Descriptor {
public:
    explicit Descriptor(int fd)
        : fd_(fd)
    {
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    int get() const { return fd_; }
    // Closes now, so that a failure of the close itself is seen.
    bool close() { return ::close(std::exchange(fd_, -1)) == 0; }

private:
    int fd_;
};

bool writeAll(int fd, std::string_view bytes)
{
    const char* next = bytes.data();
    std::size_t left = std::size_t(bytes.size());
    while (left > 0) {
        const ssize_t written = ::write(fd, next, left);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        next += written;
        left -= std::size_t(written);
    }
    return true;
}

// The mode an ordinary new file gets: 0666 less the umask.
mode_t newFileMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Into the file itself: every name of it sees the new text, and its owner and
// mode stay. Opened without truncating (and without waiting, should it have
// become a FIFO), so what was opened is checked to be the file looked at
// before anything is cut.
bool writeInPlace(const std::string& path, const struct stat& expected, std::string_view bytes)
{
    Descriptor file(::open(path.c_str(), O_WRONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    struct stat opened { };
    if (file.get() < 0 || ::fstat(file.get(), &opened) != 0 || !S_ISREG(opened.st_mode)
        || opened.st_dev != expected.st_dev || opened.st_ino != expected.st_ino)
        return false;
    return ::ftruncate(file.get(), 0) == 0 && writeAll(file.get(), bytes) && file.close();
}

enum class Replace { Done, Failed, NotPossible };

// A complete new file beside `path`, with the old one's owner, group and mode
// (a new file's usual mode when there is none), renamed over it.
Replace replaceWhole(
    const std::string& path, std::string_view bytes, const std::optional<struct stat>& existing)
{
    std::string temporary = folderOf(path) + "/.tevra-save-XXXXXX";
    Descriptor file(::mkostemp(temporary.data(), O_CLOEXEC));
    if (file.get() < 0)
        return Replace::NotPossible;
    const auto discard = [&temporary](Replace result) {
        ::unlink(temporary.c_str());
        return result;
    };
    if (existing && (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid())
        && ::fchown(file.get(), existing->st_uid, existing->st_gid) != 0)
        return discard(Replace::NotPossible);
    // After the owner: a change of owner clears the set-ID bits.
    const mode_t mode = existing ? existing->st_mode & 07777 : newFileMode();
    if (::fchmod(file.get(), mode) != 0 || !writeAll(file.get(), bytes) || ::fsync(file.get()) != 0
        || !file.close() || ::rename(temporary.c_str(), path.c_str()) != 0)
        return discard(Replace::Failed);
    return Replace::Done;
}

}  // namespace

namespace tevra {

bool writeUserFile(const std::string& path, std::string_view bytes)
{
    const std::string& name = path;
    struct stat found { };
    if (::stat(name.c_str(), &found) != 0) {
        struct stat link { };
        // A link that leads nowhere is not a file of the user's to replace.
        if (errno != ENOENT || ::lstat(name.c_str(), &link) == 0)
            return false;
        return replaceWhole(name, bytes, std::nullopt) == Replace::Done;
    }
    if (!S_ISREG(found.st_mode))
        return false;
    // A link is followed to the file it names; the link itself stays.
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(name.c_str(), nullptr), &std::free);
    if (!real)
        return false;
    if (found.st_nlink > 1)
        return writeInPlace(real.get(), found, bytes);
    switch (replaceWhole(real.get(), bytes, found)) {
    case Replace::Done:
        return true;
    case Replace::NotPossible:
        return writeInPlace(real.get(), found, bytes);
    case Replace::Failed:
        break;
    }
    return false;
}

}  // namespace tevra
