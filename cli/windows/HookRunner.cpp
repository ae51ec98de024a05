// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/HookRunner.h"

#include "cli/windows/CommandLine.h"
#include "cli/windows/WaitHandles.h"
#include "cli/windows/WideText.h"

#include <windows.h>

#include <io.h>

#include <algorithm>
#include <cwchar>
#include <memory>

namespace tevra::cli {
namespace {

// The NAME of NAME=value; the hidden "=C:=C:\..." entries keep their "=".
std::wstring_view nameOf(std::wstring_view entry)
{
    return entry.substr(0, entry.find(L'=', 1));
}

bool sameName(std::wstring_view one, std::wstring_view other)
{
    // Windows compares the names of variables without regard to case.
    return CompareStringOrdinal(
               one.data(), static_cast<int>(one.size()), other.data(), static_cast<int>(other.size()), TRUE)
        == CSTR_EQUAL;
}

// Our environment with the given NAME=value entries put in place of any of
// the same names, as the block CreateProcessW takes.
std::wstring environmentBlock(const std::vector<std::string>& added)
{
    std::vector<std::wstring> extra;
    for (const std::string& entry : added)
        extra.push_back(wideFromUtf8(entry));
    std::wstring block;
    wchar_t* const ours = GetEnvironmentStringsW();
    for (const wchar_t* entry = ours; entry != nullptr && *entry != L'\0'; entry += std::wcslen(entry) + 1) {
        const std::wstring_view name = nameOf(entry);
        if (std::ranges::none_of(
                extra, [&](const std::wstring& item) { return sameName(nameOf(item), name); }))
            block.append(entry).push_back(L'\0');
    }
    if (ours != nullptr)
        FreeEnvironmentStringsW(ours);
    for (const std::wstring& entry : extra)
        block.append(entry).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

// The standard handles a hook starts with: nothing to read, and our error
// stream for its output, so that it never mixes into the alert lines. They
// are the only handles of ours it inherits.
class ChildHandles {
public:
    explicit ChildHandles(std::FILE* err)
    {
        SECURITY_ATTRIBUTES inherited { sizeof inherited, nullptr, TRUE };
        input_ = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        const HANDLE ours = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(err)));
        if (ours == INVALID_HANDLE_VALUE
            || !DuplicateHandle(
                GetCurrentProcess(), ours, GetCurrentProcess(), &output_, 0, TRUE, DUPLICATE_SAME_ACCESS))
            output_ = INVALID_HANDLE_VALUE;
        for (const HANDLE handle : { input_, output_ })
            if (handle != INVALID_HANDLE_VALUE)
                list_[count_++] = handle;
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        attributes_.resize(size);
        const auto list = attributeList();
        initialized_ = InitializeProcThreadAttributeList(list, 1, 0, &size);
        ready_ = initialized_
            && (count_ == 0
                || UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, list_,
                    count_ * sizeof(HANDLE), nullptr, nullptr));
    }
    ChildHandles(const ChildHandles&) = delete;
    ChildHandles& operator=(const ChildHandles&) = delete;
    ~ChildHandles()
    {
        if (initialized_)
            DeleteProcThreadAttributeList(attributeList());
        for (std::size_t index = 0; index < count_; ++index)
            CloseHandle(list_[index]);
    }

    bool ready() const { return ready_; }
    bool inherits() const { return count_ > 0; }

    STARTUPINFOEXW startup()
    {
        STARTUPINFOEXW info {};
        info.StartupInfo.cb = sizeof info;
        info.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
        info.StartupInfo.hStdInput = input_;
        info.StartupInfo.hStdOutput = output_;
        info.StartupInfo.hStdError = output_;
        info.lpAttributeList = attributeList();
        return info;
    }

private:
    LPPROC_THREAD_ATTRIBUTE_LIST attributeList()
    {
        return reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(attributes_.data());
    }

    HANDLE input_ = INVALID_HANDLE_VALUE;
    HANDLE output_ = INVALID_HANDLE_VALUE;
    HANDLE list_[2] {};
    std::size_t count_ = 0;
    std::vector<char> attributes_;
    bool initialized_ = false;
    bool ready_ = false;
};

// Empty when `path` is a file, else why not.
std::string whyNotRunnable(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return systemMessage(GetLastError());
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? "not a file" : "";
}

}  // namespace

struct HookRunner::Process {
    explicit Process(HANDLE started)
        : process(started)
    {
    }
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;
    ~Process() { CloseHandle(process); }

    // Signalled when it ends.
    const HANDLE process;
};

void HookRunner::ProcessDeleter::operator()(Process* process) const
{
    std::default_delete<Process>()(process);
}

void HookRunner::prepareChildren()
{
    // Nothing to set up: a process handle tells its child's end whatever
    // the rest of the program does.
}

HookRunner::ProcessPointer HookRunner::spawn(const std::vector<std::string>& argv,
    const std::vector<std::string>& environment, std::string& error) const
{
    std::vector<std::wstring> wide;
    for (const std::string& argument : argv)
        wide.push_back(wideFromUtf8(argument));
    std::wstring line = commandLine(wide);
    std::wstring block = environmentBlock(environment);
    ChildHandles handles(err_);
    STARTUPINFOEXW startup = handles.startup();
    PROCESS_INFORMATION process {};
    // The program is found as Windows finds a command's: beside us, in the
    // current and system folders, then on PATH, with ".exe" added.
    const bool started = handles.ready()
        && CreateProcessW(nullptr, line.data(), nullptr, nullptr, handles.inherits(),
            CREATE_UNICODE_ENVIRONMENT | EXTENDED_STARTUPINFO_PRESENT, block.data(), nullptr,
            &startup.StartupInfo, &process);
    if (!started) {
        error = systemMessage(GetLastError());
        return nullptr;
    }
    CloseHandle(process.hThread);
    return ProcessPointer(std::make_unique<Process>(process.hProcess).release());
}

bool HookRunner::reaped(const Process& process)
{
    return WaitForSingleObject(process.process, 0) == WAIT_OBJECT_0;
}

WaitHandle HookRunner::waitHandleOf(const Process& process)
{
    return waitHandle(process.process);
}

// Windows has no polite request to a program outside our console group, so
// a run past its time is ended at once, and again if it is still there.
void HookRunner::stop(const Process& process, bool)
{
    TerminateProcess(process.process, 1);
}

std::string checkRunnable(const std::string& program)
{
    if (program.empty())
        return "no program named";
    const std::wstring wide = wideFromUtf8(program);
    if (wide.find_first_of(L"/\\:") != std::wstring::npos) {
        const std::string reason = whyNotRunnable(wide);
        return reason.empty() ? reason : program + ": " + reason;
    }
    wchar_t found[MAX_PATH];
    if (SearchPathW(nullptr, wide.c_str(), L".exe", MAX_PATH, found, nullptr) == 0)
        return program + ": not found on PATH";
    return whyNotRunnable(found).empty() ? "" : program + ": not a file";
}

}  // namespace tevra::cli
