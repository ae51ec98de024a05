// SPDX-License-Identifier: GPL-3.0-or-later
#include "Command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>

extern char** environ;

namespace tevra::test {
namespace {

// Starts the program with its standard output (and, if asked, standard error
// and input) on pipes; -1 when it could not start.
pid_t spawnWithPipes(const std::vector<std::string>& arguments, int& out, int* err, int* in = nullptr)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    std::array<int, 2> outPipe { -1, -1 };
    std::array<int, 2> errPipe { -1, -1 };
    std::array<int, 2> inPipe { -1, -1 };
    if (pipe2(outPipe.data(), O_CLOEXEC) != 0 || (err != nullptr && pipe2(errPipe.data(), O_CLOEXEC) != 0)
        || (in != nullptr && pipe2(inPipe.data(), O_CLOEXEC) != 0))
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (in != nullptr)
        posix_spawn_file_actions_adddup2(&actions, inPipe[0], 0);
    else
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    if (err != nullptr)
        posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    out = outPipe[0];
    if (err != nullptr) {
        close(errPipe[1]);
        *err = errPipe[0];
    }
    if (in != nullptr) {
        close(inPipe[0]);
        *in = inPipe[1];
    }
    return pid;
}

}  // namespace

pid_t spawnWithOutput(const std::vector<std::string>& arguments, int out, int err)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out, 1);
    posix_spawn_file_actions_adddup2(&actions, err, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int waitForExit(pid_t pid)
{
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

CommandResult runCommand(const std::vector<std::string>& arguments)
{
    CommandResult result;
    int out = -1;
    int err = -1;
    const pid_t pid = spawnWithPipes(arguments, out, &err);
    std::array<pollfd, 2> fds { { { out, POLLIN, 0 }, { err, POLLIN, 0 } } };
    std::array<std::string*, 2> texts { &result.out, &result.err };
    int open = 2;
    while (open > 0 && poll(fds.data(), fds.size(), -1) >= 0) {
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t length = read(fds[i].fd, buffer, sizeof buffer);
            if (length > 0) {
                texts[i]->append(buffer, static_cast<std::size_t>(length));
            } else {
                close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    result.status = pid > 0 ? waitForExit(pid) : -1;
    return result;
}

RunningProgram::RunningProgram(const std::vector<std::string>& arguments, bool input)
{
    pid_ = spawnWithPipes(arguments, out_, nullptr, input ? &in_ : nullptr);
}

RunningProgram::~RunningProgram()
{
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitForExit(pid_);
    }
    if (out_ >= 0)
        close(out_);
    if (in_ >= 0)
        close(in_);
}

std::optional<std::string> RunningProgram::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = pending_.find('\n'); end != std::string::npos) {
            std::string line = pending_.substr(0, end);
            pending_.erase(0, end + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd fd { out_, POLLIN, 0 };
        if (left.count() <= 0 || poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buffer[4096];
        const ssize_t length = read(out_, buffer, sizeof buffer);
        if (length <= 0)
            return std::nullopt;
        pending_.append(buffer, static_cast<std::size_t>(length));
    }
}

bool RunningProgram::writeLine(const std::string& line)
{
    // A program that ended must show as a failed write, not end the test program.
    static const bool pipeSignalIgnored = std::signal(SIGPIPE, SIG_IGN) != SIG_ERR;
    const std::string text = line + "\n";
    std::size_t written = 0;
    while (pipeSignalIgnored && in_ >= 0 && written < text.size()) {
        const ssize_t length = write(in_, text.data() + written, text.size() - written);
        if (length < 0 && errno == EINTR)
            continue;
        if (length <= 0)
            return false;
        written += static_cast<std::size_t>(length);
    }
    return written == text.size();
}

void RunningProgram::signal(int number) const
{
    if (pid_ > 0)
        kill(pid_, number);
}

int RunningProgram::wait()
{
    const int status = pid_ > 0 ? waitForExit(pid_) : -1;
    pid_ = -1;
    return status;
}

}  // namespace tevra::test
