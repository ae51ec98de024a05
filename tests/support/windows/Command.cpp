// SPDX-License-Identifier: GPL-3.0-or-later
// runCommand on Windows: the program's output through pipes, as the Linux
// version gives it, line ends and all. Programs left running are a Linux-only
// need of the tests.
#include "Command.h"

#include <windows.h>

#include <thread>

namespace tevra::test {
namespace {

// One argument as the C runtime's command-line parser reads it back.
std::string quoted(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string text = "\"";
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes before a quote are doubled, and the quote escaped.
        text.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        text += c;
    }
    text.append(2 * backslashes, '\\');
    return text + "\"";
}

// A pipe whose write end the child inherits.
struct Pipe {
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    bool open()
    {
        SECURITY_ATTRIBUTES inheritable { sizeof inheritable, nullptr, TRUE };
        return CreatePipe(&read, &write, &inheritable, 0)
            && SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    }
};

// All the child writes, its CR LF line ends made LF as a Linux program's:
// what a Windows program writes is checked by the tests under Wine.
void readAll(HANDLE from, std::string& into)
{
    char buffer[4096];
    DWORD length = 0;
    while (ReadFile(from, buffer, sizeof buffer, &length, nullptr) && length > 0)
        into.append(buffer, length);
    for (std::size_t at = into.find("\r\n"); at != std::string::npos; at = into.find("\r\n", at))
        into.erase(at, 1);
}

}  // namespace

CommandResult runCommand(const std::vector<std::string>& arguments)
{
    CommandResult result;
    std::string commandLine;
    for (const std::string& argument : arguments)
        commandLine += (commandLine.empty() ? "" : " ") + quoted(argument);
    Pipe out;
    Pipe err;
    if (!out.open() || !err.open())
        return result;
    STARTUPINFOA startup {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = INVALID_HANDLE_VALUE;
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION process {};
    const bool started = CreateProcessA(
        nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
    // Only the child holds the write ends now, so the reads end when it does.
    CloseHandle(out.write);
    CloseHandle(err.write);
    if (started) {
        std::thread errReader(readAll, err.read, std::ref(result.err));
        readAll(out.read, result.out);
        errReader.join();
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD status = 0;
        GetExitCodeProcess(process.hProcess, &status);
        result.status = static_cast<int>(status);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(out.read);
    CloseHandle(err.read);
    return result;
}

}  // namespace tevra::test
