// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HookRunner.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
// glibc 2.36 declares pidfd_open without C linkage for C++.
extern "C" {
#include <sys/pidfd.h>
}
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>

extern char** environ;

namespace tevra::cli {
namespace {

std::vector<char*> pointers(std::vector<std::string>& texts)
{
    std::vector<char*> list;
    list.reserve(texts.size() + 1);
    for (std::string& text : texts)
        list.push_back(text.data());
    list.push_back(nullptr);
    return list;
}

std::string nameOf(std::string_view assignment)
{
    return std::string(assignment.substr(0, assignment.find('=')));
}

// Our environment with the given NAME=value entries put in place of any of
// the same names.
std::vector<std::string> mergedEnvironment(const std::vector<std::string>& added)
{
    std::vector<std::string> result;
    for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
        const std::string name = nameOf(*entry);
        if (std::ranges::none_of(added, [&](const std::string& item) { return nameOf(item) == name; }))
            result.emplace_back(*entry);
    }
    result.insert(result.end(), added.begin(), added.end());
    return result;
}

// The child starts as a fresh program would: no signals blocked (ours hold
// SIGINT and SIGTERM back), default dispositions, no descriptor of ours
// beyond the standard three, and its output on our error stream so that it
// can never mix into the alert lines.
pid_t spawnDetached(const std::string& program, std::vector<std::string> argv, std::vector<std::string> envp,
    int errorStream, int& error)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorStream, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, errorStream, STDERR_FILENO);
    posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int number : { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGCHLD })
        sigaddset(&defaults, number);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    pid_t pid = -1;
    const auto args = pointers(argv);
    const auto env = pointers(envp);
    error = posix_spawnp(&pid, program.c_str(), &actions, &attributes, args.data(), env.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

// Empty when `path` is a file we may run, else why not.
std::string whyNotRunnable(const std::string& path)
{
    struct stat status { };
    if (stat(path.c_str(), &status) != 0)
        return std::strerror(errno);
    if (!S_ISREG(status.st_mode))
        return "not a file";
    if (access(path.c_str(), X_OK) != 0)
        return std::strerror(errno);
    return {};
}

}  // namespace

struct HookRunner::Process {
    explicit Process(pid_t started)
        : pid(started)
        , pidfd(pidfd_open(started, 0))
    {
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process()
    {
        if (pidfd >= 0)
            close(pidfd);
    }

    const pid_t pid;
    // What tells its end: a pidfd, or -1 where the kernel has none.
    const int pidfd;
};

void HookRunner::ProcessDeleter::operator()(Process* process) const
{
    std::default_delete<Process>()(process);
}

void HookRunner::prepareChildren()
{
    // Inherited as ignored, SIGCHLD would make the kernel reap our children
    // itself, and waitpid could no longer tell one's end.
    signal(SIGCHLD, SIG_DFL);
}

HookRunner::ProcessPointer HookRunner::spawn(const std::vector<std::string>& argv,
    const std::vector<std::string>& environment, std::string& error) const
{
    int status = 0;
    const pid_t pid = spawnDetached(program_, argv, mergedEnvironment(environment), fileno(err_), status);
    if (pid < 0) {
        error = std::strerror(status);
        return nullptr;
    }
    return ProcessPointer(std::make_unique<Process>(pid).release());
}

bool HookRunner::reaped(const Process& process)
{
    int status = 0;
    const pid_t result = waitpid(process.pid, &status, WNOHANG);
    // ECHILD: someone reaped it for us; it is gone either way.
    return result == process.pid || (result < 0 && errno == ECHILD);
}

WaitHandle HookRunner::waitHandleOf(const Process& process)
{
    return process.pidfd >= 0 ? WaitHandle { process.pidfd } : WaitHandle::None;
}

void HookRunner::stop(const Process& process, bool kill)
{
    ::kill(process.pid, kill ? SIGKILL : SIGTERM);
}

std::string checkRunnable(const std::string& program)
{
    if (program.empty())
        return "no program named";
    if (program.find('/') != std::string::npos) {
        const std::string reason = whyNotRunnable(program);
        return reason.empty() ? reason : program + ": " + reason;
    }
    const char* path = std::getenv("PATH");
    std::string_view rest = path != nullptr ? path : "/usr/bin:/bin";
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        if (whyNotRunnable((folder.empty() ? std::string(".") : std::string(folder)) + "/" + program).empty())
            return {};
        if (colon == std::string_view::npos)
            return program + ": not found on PATH";
        rest.remove_prefix(colon + 1);
    }
}

}  // namespace tevra::cli
