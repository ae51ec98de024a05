// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/linux/DetachedProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

extern char** environ;

namespace tevra::hostnet {
namespace {

// posix_spawn's two option blocks, released on every path.
class SpawnOptions {
public:
    SpawnOptions()
    {
        posix_spawn_file_actions_init(&actions_);
        posix_spawnattr_init(&attributes_);
    }
    SpawnOptions(const SpawnOptions&) = delete;
    SpawnOptions& operator=(const SpawnOptions&) = delete;
    ~SpawnOptions()
    {
        posix_spawnattr_destroy(&attributes_);
        posix_spawn_file_actions_destroy(&actions_);
    }

    // Output discarded, default signal handling and mask, own session (so a
    // terminal's Ctrl-C meant for us does not reach it).
    bool prepare()
    {
        sigset_t none;
        sigset_t all;
        sigemptyset(&none);
        sigfillset(&all);
        return posix_spawn_file_actions_addopen(&actions_, 0, "/dev/null", O_RDONLY, 0) == 0
            && posix_spawn_file_actions_addopen(&actions_, 1, "/dev/null", O_WRONLY, 0) == 0
            && posix_spawn_file_actions_adddup2(&actions_, 1, 2) == 0
            && posix_spawnattr_setsigmask(&attributes_, &none) == 0
            && posix_spawnattr_setsigdefault(&attributes_, &all) == 0
            && posix_spawnattr_setflags(
                   &attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSID)
            == 0;
    }

    const posix_spawn_file_actions_t* actions() const { return &actions_; }
    const posix_spawnattr_t* attributes() const { return &attributes_; }

private:
    posix_spawn_file_actions_t actions_;
    posix_spawnattr_t attributes_;
};

}  // namespace

std::string findSystemProgram(const std::string& name, const std::vector<std::string>& folders)
{
    for (const std::string& folder : folders) {
        const std::string path = folder + "/" + name;
        struct stat status { };
        if (stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) && access(path.c_str(), X_OK) == 0)
            return path;
    }
    return {};
}

std::int32_t startDetachedProcess(const std::vector<std::string>& arguments, std::string& error)
{
    if (arguments.empty() || !arguments[0].starts_with('/')) {
        error = "starting a program: no absolute path";
        return -1;
    }
    // Everything the intermediate child uses is made here, before fork: in a
    // threaded caller (a Qt program) the child may not allocate.
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    const std::string what = "starting " + arguments[0] + ": ";
    SpawnOptions options;
    if (!options.prepare()) {
        error = what + "cannot prepare the process";
        return -1;
    }

    const pid_t intermediate = fork();
    if (intermediate < 0) {
        error = what + std::strerror(errno);
        return -1;
    }
    if (intermediate == 0) {
        pid_t started = 0;
        // The error number fits the exit status: it tells the parent why.
        const int status
            = posix_spawn(&started, argv[0], options.actions(), options.attributes(), argv.data(), environ);
        _exit(status & 0xFF);
    }
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0) {
        // Reaped by someone else (SIGCHLD ignored, or a handler waiting for all
        // children): its result is lost, but the start went ahead.
        if (errno == ECHILD)
            return 0;
        if (errno != EINTR) {
            error = what + std::strerror(errno);
            return -1;
        }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return 0;
    error = what + (WIFEXITED(status) ? std::strerror(WEXITSTATUS(status)) : "the starter was killed");
    return -1;
}

}  // namespace tevra::hostnet
