// SPDX-License-Identifier: GPL-3.0-or-later
// Stands in for a user's --exec program on Windows. Beside a folder "running"
// it counts how many of it run at once (into "seen"); else it writes what it
// got, its arguments as the C runtime splits them and TEVRA_ALERT, to
// "call.<first argument>" beside itself. Either way it says hello on stdout.
#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <string>

namespace {

std::wstring folderOfThisProgram()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L'\\') + 1);
}

std::string utf8(const std::wstring& wide)
{
    const int length = WideCharToMultiByte(
        CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(
        CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
    return text;
}

void writeFile(const std::wstring& path, const std::string& text)
{
    if (std::FILE* file = _wfopen(path.c_str(), L"wb")) {
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }
}

int runningNow(const std::wstring& running)
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((running + L"*.run").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 1;
    while (FindNextFileW(search, &found))
        ++count;
    FindClose(search);
    return count;
}

}  // namespace

int main()
{
    const std::wstring folder = folderOfThisProgram();
    const std::wstring running = folder + L"running\\";
    const std::wstring me = std::to_wstring(GetCurrentProcessId());
    if (GetFileAttributesW(running.c_str()) != INVALID_FILE_ATTRIBUTES) {
        writeFile(running + me + L".run", "");
        writeFile(folder + L"seen\\" + me, std::to_string(runningNow(running)));
        Sleep(50);
        DeleteFileW((running + me + L".run").c_str());
    } else {
        int count = 0;
        wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
        std::string record = std::to_string(count - 1) + "\n";
        for (int index = 1; index < count; ++index)
            record += "[" + utf8(arguments[index]) + "]\n";
        wchar_t alert[4096];
        const DWORD length = GetEnvironmentVariableW(L"TEVRA_ALERT", alert, 4096);
        record += utf8(std::wstring(alert, length < 4096 ? length : 0)) + "\n";
        writeFile(folder + L"call." + (count > 1 ? arguments[1] : L"none"), record);
        LocalFree(arguments);
    }
    std::puts("hook says hello");
    return 0;
}
