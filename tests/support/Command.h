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

// A program left running while the test talks to it; killed and reaped if the
// test ends first.
class RunningProgram {
public:
    explicit RunningProgram(const std::vector<std::string>& arguments);
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;
    ~RunningProgram();

    bool started() const { return pid_ > 0; }
    // The next line of its standard output, without the newline; nothing when
    // none came within `timeout` or the output ended.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout);
    void signal(int number) const;
    // Waits for the end; the status as in CommandResult.
    int wait();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string pending_;
};

}  // namespace tevra::test
