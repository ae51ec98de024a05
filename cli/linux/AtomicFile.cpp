// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace tevra::cli {
namespace {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool writeAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        const ssize_t written = write(fd, text.data(), text.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        text.remove_prefix(std::size_t(written));
    }
    return true;
}

std::string failed(const char* step, const std::string& path)
{
    return std::string("cannot ") + step + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string replaceFile(const std::string& path, std::string_view text)
{
    std::string temporary = path + ".XXXXXX";
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return failed("create a file beside", path);
    // Always private and ours (mkostemp makes it 0600): never the bits or the
    // owner of whatever the path held, which another user may have planted.
    std::string error;
    if (!writeAll(fd, text) || fsync(fd) != 0)
        error = failed("write", temporary);
    if (close(fd) != 0 && error.empty())
        error = failed("write", temporary);
    if (error.empty() && rename(temporary.c_str(), path.c_str()) != 0)
        error = failed("replace", path);
    if (!error.empty()) {
        unlink(temporary.c_str());
        return error;
    }
    // The rename itself reaches the disk only with its folder.
    if (const int folder = open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); folder >= 0) {
        fsync(folder);
        close(folder);
    }
    return {};
}

// Why a file opened as `status` is not to be read, or nothing.
std::string refusal(const std::string& path, const struct stat& status, std::size_t maxBytes)
{
    if (S_ISDIR(status.st_mode))
        return "cannot read " + path + ": Is a directory";
    if (!S_ISREG(status.st_mode))
        return path + " is not a regular file; refusing to read it";
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes)
        return path + " is larger than " + std::to_string(maxBytes >> 20) + " MB; refusing to read it";
    // As ssh's StrictModes: root must not take in what another user could have written.
    if (geteuid() == 0 && status.st_uid != 0)
        return path + " is owned by another user (uid " + std::to_string(status.st_uid)
            + "); refusing it as root";
    if (geteuid() == 0 && (status.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return path + " is writable by group or others; refusing it as root";
    return {};
}

FileContents readWholeFile(const std::string& path, std::size_t maxBytes)
{
    FileContents contents;
    // Not blocking, so a FIFO planted in the file's place cannot hold us in open().
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0) {
        contents.missing = errno == ENOENT;
        if (errno == ELOOP)
            contents.error = path + " is a symbolic link; refusing to follow it";
        else if (!contents.missing)
            contents.error = failed("read", path);
        return contents;
    }
    struct stat status { };
    if (fstat(fd, &status) != 0)
        contents.error = failed("read", path);
    else
        contents.error = refusal(path, status, maxBytes);
    char buffer[65536];
    while (contents.error.empty()) {
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            contents.error = failed("read", path);
        if (length <= 0)
            break;
        // The file may grow while it is read.
        if (contents.text.size() + std::size_t(length) > maxBytes)
            contents.error
                = path + " is larger than " + std::to_string(maxBytes >> 20) + " MB; refusing to read it";
        contents.text.append(buffer, std::size_t(length));
    }
    close(fd);
    if (!contents.error.empty())
        contents.text.clear();
    return contents;
}

}  // namespace tevra::cli
