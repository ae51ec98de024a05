// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/StateLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace tevra::cli {

struct StateLock::Handle {
    int fd = -1;
    ~Handle()
    {
        if (fd >= 0)
            close(fd);  // releases the lock
    }
};

StateLock::StateLock(std::unique_ptr<Handle> handle)
    : handle_(std::move(handle))
{
}

StateLock::~StateLock() = default;

namespace {

// The process id the holder wrote, or "another process" when it cannot be read.
std::string holderOf(int fd)
{
    char text[32] {};
    const ssize_t length = pread(fd, text, sizeof text - 1, 0);
    int pid = 0;
    if (length > 0 && std::from_chars(text, text + length, pid).ec == std::errc() && pid > 0)
        return "process " + std::to_string(pid);
    return "another process";
}

}  // namespace

std::unique_ptr<StateLock> StateLock::acquire(const std::string& statePath, std::string& error)
{
    const std::string path = statePath + ".lock";
    auto handle = std::make_unique<Handle>();
    handle->fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW, 0600);
    struct stat status { };
    if (handle->fd < 0 || fstat(handle->fd, &status) != 0) {
        error = "cannot create a file beside " + statePath + ": " + std::strerror(errno);
        return nullptr;
    }
    if (!S_ISREG(status.st_mode)) {
        error = "cannot lock " + statePath + ": " + path + " is not a regular file";
        return nullptr;
    }
    if (flock(handle->fd, LOCK_EX | LOCK_NB) != 0) {
        error = errno == EWOULDBLOCK ? statePath + " is in use by " + holderOf(handle->fd)
                                     : "cannot lock " + statePath + ": " + std::strerror(errno);
        return nullptr;
    }
    const std::string pid = std::to_string(getpid()) + "\n";
    if (ftruncate(handle->fd, 0) != 0
        || pwrite(handle->fd, pid.data(), pid.size(), 0) != ssize_t(pid.size())) {
        error = "cannot lock " + statePath + ": " + std::strerror(errno);
        return nullptr;
    }
    return std::make_unique<StateLock>(std::move(handle));
}

}  // namespace tevra::cli
