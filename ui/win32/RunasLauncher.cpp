// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/RunasLauncher.h"

#include "hostnet/windows/WindowsText.h"
#include "ui/core/HelperAnswers.h"

#include <algorithm>
#include <utility>

namespace tevra::win32 {
namespace {

constexpr wchar_t kHelperName[] = L"tevra-arp-helper.exe";

ElevatedFailure failure(std::string reason)
{
    return { std::move(reason), false };
}

std::string helperName(const std::filesystem::path& helper)
{
    return helper.filename().string();
}

// The helper's arguments on one line. The window only ever passes words,
// dotted addresses and numbers; anything else would need quoting that the
// helper's grammar never wants, so it is refused here.
std::optional<std::wstring> parameters(const std::vector<std::string>& step)
{
    std::wstring line;
    for (const std::string& argument : step) {
        const bool plain = !argument.empty() && std::ranges::all_of(argument, [](char c) {
            return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.';
        });
        if (!plain)
            return std::nullopt;
        if (!line.empty())
            line += L' ';
        line.append(argument.begin(), argument.end());
    }
    return line;
}

}  // namespace

RunasLauncher::RunasLauncher(std::filesystem::path helper, std::unique_ptr<ShellApi> shell)
    : helper_(std::move(helper))
    , shell_(std::move(shell))
{
}

ElevatedResult RunasLauncher::run(const std::vector<std::vector<std::string>>& steps) const
{
    for (const std::vector<std::string>& step : steps)
        if (auto failed = runStep(step))
            return failed;
    return std::nullopt;
}

ElevatedResult RunasLauncher::runStep(const std::vector<std::string>& step) const
{
    const std::optional<std::wstring> line = parameters(step);
    if (!line)
        return failure("the helper's arguments cannot be passed on");
    const std::wstring file = helper_.wstring();
    SHELLEXECUTEINFOW info {};
    info.cbSize = sizeof info;
    // The process handle, to wait for the helper and read its exit code; no
    // error box of the shell's own, the window says what went wrong.
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = file.c_str();
    info.lpParameters = line->c_str();
    // A console program: no console window flashing up for it.
    info.nShow = SW_HIDE;
    if (!shell_->shellExecuteEx(&info)) {
        const DWORD error = shell_->lastError();
        if (error == ERROR_CANCELLED)
            return consentDismissed();
        return failure(helperName(helper_) + " could not be started: " + hostnet::systemMessage(error));
    }
    if (info.hProcess == nullptr)
        return failure(helperName(helper_) + " gave no process to wait for");
    auto failed = waitForExit(info.hProcess);
    shell_->closeHandle(info.hProcess);
    return failed;
}

ElevatedResult RunasLauncher::waitForExit(HANDLE process) const
{
    if (shell_->waitForSingleObject(process, kHelperTimeoutMs) != WAIT_OBJECT_0)
        return failure("no answer from " + helperName(helper_));
    DWORD code = 0;
    if (!shell_->getExitCodeProcess(process, &code))
        return failure(helperName(helper_) + " ended without an exit code");
    // The helper's standard error cannot be read from a program started with
    // "runas": the exit code alone says what happened.
    return helperAnswer(HelperLaunch::Runas, code, {});
}

std::filesystem::path findHelper(const std::filesystem::path& programFolder)
{
    std::error_code error;
    const std::filesystem::path helper = programFolder / kHelperName;
    return std::filesystem::is_regular_file(helper, error) ? helper : std::filesystem::path();
}

}  // namespace tevra::win32
