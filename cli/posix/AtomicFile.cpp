#include "cli/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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
    struct stat old { };
    const bool keepMode = stat(path.c_str(), &old) == 0;
    std::string error;
    if (keepMode && fchmod(fd, old.st_mode & 07777) != 0)
        error = failed("set the permissions of", temporary);
    else if (!writeAll(fd, text) || fsync(fd) != 0)
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

FileContents readWholeFile(const std::string& path)
{
    FileContents contents;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        contents.missing = errno == ENOENT;
        if (!contents.missing)
            contents.error = failed("read", path);
        return contents;
    }
    char buffer[65536];
    while (true) {
        const ssize_t length = read(fd, buffer, sizeof buffer);
        if (length < 0 && errno == EINTR)
            continue;
        if (length < 0)
            contents.error = failed("read", path);
        if (length <= 0)
            break;
        contents.text.append(buffer, std::size_t(length));
    }
    close(fd);
    return contents;
}

}  // namespace tevra::cli
