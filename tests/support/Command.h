// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <sys/types.h>

namespace tevra::test {

// What a finished program left behind.
struct CommandResult {
    int status = -1;  // exit status; 128 + signal when killed; -1 when it did not start
    std::string out;
    std::string err;
};

// Runs a program (looked up on PATH, no shell) to its end.
CommandResult runCommand(const std::vector<std::string>& arguments);

// Starts a program (looked up on PATH, no shell) with its standard output on
// `out` and its standard error on `err`, descriptors the caller keeps and
// closes; its standard input is ours. -1 when it could not start.
pid_t spawnWithOutput(const std::vector<std::string>& arguments, int out, int err);
// Waits for a started program's end; the status as in CommandResult.
int waitForExit(pid_t pid);

// A program left running while the test talks to it; killed and reaped if the
// test ends first.
class RunningProgram {
public:
    // With `input`, its standard input is a pipe that writeLine writes to;
    // otherwise it reads nothing.
    explicit RunningProgram(const std::vector<std::string>& arguments, bool input = false);
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram();

    bool started() const { return pid_ > 0; }
    // The next line of its standard output, without the newline; nothing when
    // none came within `timeout` or the output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    // Writes one line to its standard input; false when it no longer reads.
    bool writeLine(const std::string& line);
    void signal(int number) const;
    // Waits for the end; the status as in CommandResult.
    int wait();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int in_ = -1;
    std::string pending_;
};

}  // namespace tevra::test
