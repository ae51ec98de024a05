// SPDX-License-Identifier: GPL-3.0-or-later
// The Win32 window in this process, on the namespace's real table (read
// through Wine's IP Helper; the Linux harness changes it on request). What a
// test cannot drive is given stand-ins: the tray, the Save As dialog, message
// boxes, the splash's pauses, and the system cache's delete and flush, which
// Wine only stubs.
#include "HarnessClient.h"
#include "TempFolder.h"
#include "engine/Version.h"
#include "hostnet/windows/WindowsIpHelper.h"
#include "ui/core/CommandIds.h"
#include "ui/core/HelperAnswers.h"
#include "ui/core/StartUp.h"
#include "ui/win32/ResourceIds.h"
#include "ui/win32/RunasHost.h"
#include "ui/win32/WatcherDlg.h"
#include "ui/win32/WideText.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;
using win32::CWatcherDlg;
using win32::utf8FromWide;
using win32::wideFromUtf8;

// The system's IP Helper for reading; the delete, flush and process start it
// would do are recorded instead.
class RecordingApi : public hostnet::IpHelperApi {
public:
    std::vector<std::string>* deleted = nullptr;
    std::vector<DWORD>* flushed = nullptr;
    std::vector<std::string>* started = nullptr;
    // What the system cache's delete and flush answer: an ordinary user's
    // window is refused them (ERROR_ACCESS_DENIED).
    DWORD refusal = NO_ERROR;

    DWORD getIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sorted) override
    {
        return system_->getIpNetTable(table, size, sorted);
    }
    DWORD getIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted) override
    {
        return system_->getIpAddrTable(table, size, sorted);
    }
    DWORD getAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size) override
    {
        return system_->getAdaptersInfo(adapters, size);
    }
    DWORD deleteIpNetEntry(PMIB_IPNETROW row) override
    {
        in_addr address {};
        address.s_addr = row->dwAddr;
        deleted->push_back(inet_ntoa(address));
        return refusal;
    }
    DWORD flushIpNetTable(DWORD interfaceIndex) override
    {
        flushed->push_back(interfaceIndex);
        return refusal;
    }
    BOOL createProcess(LPCSTR, LPSTR commandLine, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD,
        LPVOID, LPCSTR, LPSTARTUPINFOA, LPPROCESS_INFORMATION process) override
    {
        started->push_back(commandLine);
        process->hProcess = reinterpret_cast<HANDLE>(0x1234);
        process->hThread = reinterpret_cast<HANDLE>(0x5678);
        return TRUE;
    }
    DWORD lastError() override { return system_->lastError(); }
    BOOL closeHandle(HANDLE handle) override
    {
        return handle == reinterpret_cast<HANDLE>(0x1234) || handle == reinterpret_cast<HANDLE>(0x5678)
            || system_->closeHandle(handle);
    }

private:
    std::unique_ptr<hostnet::IpHelperApi> system_ = hostnet::makeSystemIpHelperApi();
};

struct TrayCall {
    DWORD message;
    UINT flags;
    std::wstring tip;
    std::wstring info;
    std::wstring infoTitle;
};

std::string cellText(HWND list, int row, int column)
{
    wchar_t text[512] {};
    LVITEMW item {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = int(std::size(text));
    SendMessageW(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    return utf8FromWide(text);
}

int rowImage(HWND list, int row)
{
    LVITEMW item {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    SendMessageW(list, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

// Messages handled for a while, as the window's own loop would.
void pumpFor(std::chrono::milliseconds duration)
{
    const auto end = std::chrono::steady_clock::now() + duration;
    while (std::chrono::steady_clock::now() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        std::this_thread::sleep_for(10ms);
    }
}

class Window : public testing::Test {
protected:
    void SetUp() override
    {
        if (!harnessPresent())
            GTEST_SKIP() << "needs the Linux harness of tests/wine";
        INITCOMMONCONTROLSEX controls { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES };
        InitCommonControlsEx(&controls);
        ASSERT_EQ(askHarness("reset"), "ok");
        auto api = std::make_unique<RecordingApi>();
        api->deleted = &deleted;
        api->flushed = &flushed;
        api->started = &started;
        api->refusal = refusal();
        win32::WindowParts parts;
        parts.host = hostOver(std::make_unique<hostnet::WindowsIpHelper>(std::move(api)));
        parts.notifyIcon = [this](DWORD message, NOTIFYICONDATAW& data) {
            tray.push_back({ message, data.uFlags, data.szTip, data.szInfo, data.szInfoTitle });
            return true;
        };
        parts.askSavePath = [this](HWND) { return savePath; };
        parts.showError = [this](HWND, const std::wstring& text) { errors.push_back(utf8FromWide(text)); };
        parts.pause = [this](int milliseconds) {
            pauses.push_back(milliseconds);
            splashLines.push_back(splashLine());
        };
        window = std::make_unique<CWatcherDlg>(std::move(parts));
        ASSERT_TRUE(window->create());
        list = GetDlgItem(window->window(), IDC_MAPPING_LIST);
        output = GetDlgItem(window->window(), IDC_OUTPUT_LIST);
    }

    // The window's host layer over the Windows one; a fixture may wrap it.
    virtual std::unique_ptr<hostnet::IpHelper> hostOver(std::unique_ptr<hostnet::IpHelper> host)
    {
        return host;
    }
    virtual DWORD refusal() const { return NO_ERROR; }

    static std::string splashLine()
    {
        const HWND splash = FindWindowExW(nullptr, nullptr, L"#32770", L"");
        wchar_t text[128] {};
        if (splash)
            GetDlgItemTextW(splash, IDC_SPLASH_LINE, text, int(std::size(text)));
        return utf8FromWide(text);
    }

    static bool add(const std::string& address, const std::string& mac)
    {
        return askHarness("add " + address + " " + mac + " permanent") == "ok";
    }
    static bool replace(const std::string& address, const std::string& mac)
    {
        return askHarness("replace " + address + " " + mac + " permanent") == "ok";
    }

    // One tick as the timer gives it.
    void tick() const { SendMessageW(window->window(), WM_TIMER, kRefreshTimerId, 0); }
    void command(int id) const { SendMessageW(window->window(), WM_COMMAND, WPARAM(id), 0); }

    int rowCount() const { return int(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    int rowOf(const std::string& address) const
    {
        for (int row = 0; row < rowCount(); ++row)
            if (cellText(list, row, 0) == address)
                return row;
        return -1;
    }
    void select(int row) const
    {
        LVITEMW item {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(&item));
    }
    std::vector<std::string> outputLines() const
    {
        std::vector<std::string> lines;
        const auto count = int(SendMessageW(output, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            std::wstring line(std::size_t(SendMessageW(output, LB_GETTEXTLEN, WPARAM(i), 0)) + 1, L'\0');
            line.resize(std::size_t(
                SendMessageW(output, LB_GETTEXT, WPARAM(i), reinterpret_cast<LPARAM>(line.data()))));
            lines.push_back(utf8FromWide(line));
        }
        return lines;
    }
    std::vector<TrayCall> balloons() const
    {
        std::vector<TrayCall> shown;
        for (const TrayCall& call : tray)
            if (call.flags == NIF_INFO)
                shown.push_back(call);
        return shown;
    }

    std::vector<std::string> deleted;
    std::vector<DWORD> flushed;
    std::vector<std::string> started;
    std::vector<TrayCall> tray;
    std::vector<std::string> errors;
    std::vector<int> pauses;
    std::vector<std::string> splashLines;
    std::optional<std::wstring> savePath;
    std::unique_ptr<CWatcherDlg> window;
    HWND list = nullptr;
    HWND output = nullptr;
};

TEST_F(Window, StartsBehindTheSplashAndShowsTheVersionInTheAboutBox)
{
    EXPECT_EQ(pauses, (std::vector<int> { 1000, 400 }));
    EXPECT_EQ(splashLines,
        (std::vector<std::string> { std::string("Tevra Version ") + kVersion, "https://tevra.example.org" }));
    // The menu's test item is gone before the window shows.
    EXPECT_EQ(GetMenuState(GetMenu(window->window()), kCmdTest, MF_BYCOMMAND), UINT(-1));

    // The about box is modal: a timer of this thread reads it and closes it.
    static std::string version;
    static std::string caption;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
        const HWND about = FindWindowW(L"#32770", L"About Tevra");
        if (!about)
            return;
        KillTimer(nullptr, timer);
        wchar_t text[64] {};
        GetDlgItemTextW(about, IDC_VERSION, text, int(std::size(text)));
        version = utf8FromWide(text);
        GetWindowTextW(about, text, int(std::size(text)));
        caption = utf8FromWide(text);
        PostMessageW(about, WM_COMMAND, IDOK, 0);
    });
    command(kCmdAbout);
    EXPECT_EQ(caption, "About Tevra");
    EXPECT_EQ(version, kVersion);
}

TEST_F(Window, ShowsTheNeighboursCellsAndAChangeWithinTwoTicks)
{
    ASSERT_TRUE(add("10.66.0.11", "00:0c:29:11:22:34"));
    ASSERT_TRUE(add("10.66.0.5", "02:00:00:00:00:05"));
    tick();
    const int row = rowOf("10.66.0.11");
    ASSERT_GE(row, 0);
    EXPECT_LT(rowOf("10.66.0.5"), row) << "rows in ascending address order";
    EXPECT_EQ(cellText(list, row, 1), "00-0C-29-11-22-34");
    EXPECT_EQ(cellText(list, row, 4), "VMware, Inc.");
    EXPECT_EQ(cellText(list, row, 7), "static");
    EXPECT_TRUE(std::regex_match(cellText(list, row, 8), std::regex("0x[0-9A-F]+ veth0")))
        << cellText(list, row, 8);
    EXPECT_EQ(cellText(list, rowOf("10.66.0.5"), 4), "locally administered");
    EXPECT_EQ(rowImage(list, row), 0);

    const std::size_t before = outputLines().size();
    ASSERT_TRUE(replace("10.66.0.11", "00:0c:29:44:55:66"));
    tick();
    tick();
    const std::vector<std::string> lines = outputLines();
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_TRUE(std::regex_match(lines.back(),
        std::regex("[0-9]+ - [0-9]{2}:[0-9]{2}:[0-9]{2}: Mapping changed: 10\\.66\\.0\\.11 changed from "
                   "00-0C-29-11-22-34 to 00-0C-29-44-55-66")))
        << lines.back();
    EXPECT_EQ(cellText(list, rowOf("10.66.0.11"), 1), "00-0C-29-44-55-66");
    EXPECT_EQ(rowImage(list, rowOf("10.66.0.11")), 1);
}

TEST_F(Window, CarriesOutEachMenuCommand)
{
    ASSERT_TRUE(add("10.66.0.11", "00:0c:29:11:22:34"));
    ASSERT_TRUE(add("10.66.0.12", "00:0c:29:11:22:35"));
    ASSERT_TRUE(add("10.66.0.30", "ff:ff:ff:ff:ff:ff"));  // an alert line to clear
    tick();
    ASSERT_GE(rowOf("10.66.0.12"), 0);

    select(rowOf("10.66.0.12"));
    command(kCmdDeleteFromSystemCache);
    EXPECT_EQ(deleted, (std::vector<std::string> { "10.66.0.12" }));
    EXPECT_GE(rowOf("10.66.0.12"), 0) << "the row stays until a tick finds it gone";

    command(kCmdFlushSystemCache);
    EXPECT_FALSE(flushed.empty());

    command(kCmdDeleteFromProgramCache);
    EXPECT_EQ(rowOf("10.66.0.12"), -1);
    EXPECT_GE(rowOf("10.66.0.11"), 0);

    command(kCmdDiscover);
    EXPECT_TRUE(std::ranges::any_of(started, [](const std::string& line) {
        return line.find("ping") != std::string::npos && line.find("10.66.0.255") != std::string::npos;
    })) << (started.empty() ? "" : started.front());

    ASSERT_FALSE(outputLines().empty());
    command(kCmdClearOutputList);
    EXPECT_TRUE(outputLines().empty());
    EXPECT_EQ(SendMessageW(output, LB_GETHORIZONTALEXTENT, 0, 0), 0);

    command(kCmdFlushProgramCache);
    EXPECT_EQ(rowCount(), 0);
    tick();
    EXPECT_GE(rowOf("10.66.0.11"), 0);
    EXPECT_TRUE(errors.empty()) << errors.front();
}

// The saved mapping file is what the list shows: the headings, an empty line
// and the rows, each text followed by a TAB, each line by CR LF.
TEST_F(Window, SavesBothListsAndKeepsTheOldFileWhenItCannotWrite)
{
    ASSERT_TRUE(add("10.66.0.11", "00:0c:29:11:22:34"));
    tick();
    TempFolder folder;
    ASSERT_TRUE(folder.ok());
    savePath = wideFromUtf8(folder.file("mapping.txt"));
    command(kCmdSaveMapping);
    std::string expected = "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost order "
                           "IP\ttype\tadapter\t\r\n\r\n";
    for (int row = 0; row < rowCount(); ++row) {
        for (int column = 0; column < 9; ++column)
            expected += cellText(list, row, column) + "\t";
        expected += "\r\n";
    }
    std::ostringstream saved;
    saved << std::ifstream(folder.file("mapping.txt"), std::ios::binary).rdbuf();
    EXPECT_EQ(saved.str(), expected);

    savePath = wideFromUtf8(folder.file("output.txt"));
    command(kCmdSaveOutput);
    std::ostringstream lines;
    lines << std::ifstream(folder.file("output.txt"), std::ios::binary).rdbuf();
    std::string expectedLines;
    for (const std::string& line : outputLines())
        expectedLines += line + "\r\n";
    EXPECT_EQ(lines.str(), expectedLines);
    EXPECT_TRUE(errors.empty());

    // A folder by that name is not replaced; the user is told.
    savePath = wideFromUtf8(folder.path());
    command(kCmdSaveOutput);
    EXPECT_EQ(errors, (std::vector<std::string> { "Error writing to file" }));

    // Cancelled: nothing written, nothing said.
    savePath.reset();
    command(kCmdSaveMapping);
    EXPECT_EQ(errors.size(), 1u);
}

TEST_F(Window, HidesInTheTrayAndPacesItsBalloons)
{
    ASSERT_TRUE(add("10.66.0.11", "00:0c:29:11:22:34"));
    ASSERT_TRUE(add("10.66.0.12", "00:0c:29:11:22:35"));
    ASSERT_TRUE(add("10.66.0.13", "00:0c:29:11:22:36"));
    tick();
    ShowWindow(window->window(), SW_MINIMIZE);
    pumpFor(200ms);
    ASSERT_TRUE(window->isInTray());
    ASSERT_FALSE(tray.empty());
    EXPECT_EQ(tray.front().message, DWORD(NIM_ADD));
    EXPECT_EQ(tray.front().tip, L"Tevra");
    EXPECT_FALSE(IsWindowVisible(window->window()));

    // A burst of three changes in one tick: one balloon now, one for the rest a second later.
    ASSERT_TRUE(replace("10.66.0.11", "00:0c:29:44:55:61"));
    ASSERT_TRUE(replace("10.66.0.12", "00:0c:29:44:55:62"));
    ASSERT_TRUE(replace("10.66.0.13", "00:0c:29:44:55:63"));
    tick();
    const std::vector<std::string> lines = outputLines();
    ASSERT_GE(lines.size(), 3u);
    ASSERT_EQ(balloons().size(), 1u);
    EXPECT_EQ(balloons()[0].infoTitle, L"Tevra Warning!");
    EXPECT_EQ(utf8FromWide(balloons()[0].info), lines[lines.size() - 3]);
    EXPECT_EQ(tray.back().tip, L"Tevra Warning!");
    pumpFor(1300ms);
    ASSERT_EQ(balloons().size(), 2u);
    EXPECT_EQ(utf8FromWide(balloons()[1].info), lines.back() + "\n(+1 more)");

    // Explorer started again: the icon is put back in the look it had.
    SendMessageW(window->window(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(tray.back().message, DWORD(NIM_ADD));
    EXPECT_EQ(tray.back().tip, L"Tevra Warning!");

    // A click on the icon brings the window back and takes the icon away.
    SendMessageW(
        window->window(), win32::Win32TrayIcon::kCallbackMessage, win32::Win32TrayIcon::kId, WM_LBUTTONDOWN);
    EXPECT_TRUE(IsWindowVisible(window->window()));
    EXPECT_FALSE(window->isInTray());
    EXPECT_EQ(tray.back().message, DWORD(NIM_DELETE));
}

// Windows' consent prompt for the helper's "runas" launches: each stays open
// until the test answers it (NO_ERROR: consent given, the helper then ends
// with status 0; an error: the prompt's), and is recorded.
struct ConsentPrompt {
    struct Launch {
        std::wstring verb;
        std::wstring file;
        std::wstring parameters;
    };

    void answer(DWORD error)
    {
        const std::lock_guard lock(mutex);
        answers.push_back(error);
        changed.notify_all();
    }
    std::vector<Launch> launched()
    {
        const std::lock_guard lock(mutex);
        return launches;
    }

    std::mutex mutex;
    std::condition_variable changed;
    std::deque<DWORD> answers;
    std::vector<Launch> launches;
};

class PromptShellApi : public win32::ShellApi {
public:
    explicit PromptShellApi(std::shared_ptr<ConsentPrompt> prompt)
        : prompt_(std::move(prompt))
    {
    }

    BOOL shellExecuteEx(SHELLEXECUTEINFOW* info) override
    {
        std::unique_lock lock(prompt_->mutex);
        prompt_->launches.push_back({ info->lpVerb, info->lpFile, info->lpParameters });
        prompt_->changed.wait(lock, [this] { return !prompt_->answers.empty(); });
        error_ = prompt_->answers.front();
        prompt_->answers.pop_front();
        info->hProcess = error_ == NO_ERROR ? reinterpret_cast<HANDLE>(0x7000) : nullptr;
        return error_ == NO_ERROR;
    }
    DWORD lastError() override { return error_; }
    DWORD waitForSingleObject(HANDLE, DWORD) override { return WAIT_OBJECT_0; }
    BOOL getExitCodeProcess(HANDLE, DWORD* exitCode) override
    {
        *exitCode = DWORD(kHelperDone);
        return TRUE;
    }
    BOOL closeHandle(HANDLE) override { return TRUE; }

private:
    std::shared_ptr<ConsentPrompt> prompt_;
    DWORD error_ = NO_ERROR;
};

// Messages handled until `done` holds, for at most ten seconds.
bool pumpUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (!done() && std::chrono::steady_clock::now() < end)
        pumpFor(20ms);
    return done();
}

// The window as an ordinary user runs it: Windows refuses its delete and
// flush, and the window's own fallback (withRunasFallback, as Tevra.exe's
// withAdministratorFallback builds it) runs tevra-arp-helper.exe from the
// program's folder with the verb "runas".
class WindowAsUser : public Window {
protected:
    std::unique_ptr<hostnet::IpHelper> hostOver(std::unique_ptr<hostnet::IpHelper> host) override
    {
        std::ofstream(helperPath()) << "MZ";
        return win32::withRunasFallback(
            std::move(host), programFolder.path(), std::make_unique<PromptShellApi>(prompt));
    }
    DWORD refusal() const override { return ERROR_ACCESS_DENIED; }

    std::filesystem::path helperPath() const
    {
        return std::filesystem::path(programFolder.path()) / L"tevra-arp-helper.exe";
    }

    void TearDown() override
    {
        // A prompt the test left open is answered, so that its thread ends.
        for (int i = 0; i < 16; ++i)
            prompt->answer(ERROR_CANCELLED);
    }

    TempFolder programFolder;
    std::shared_ptr<ConsentPrompt> prompt = std::make_shared<ConsentPrompt>();
};

TEST_F(WindowAsUser, HandsARefusedDeleteAndFlushToTheHelperThroughRunasAndGoesOnMeanwhile)
{
    ASSERT_TRUE(add("10.66.0.11", "00:0c:29:11:22:34"));
    ASSERT_TRUE(add("10.66.0.12", "00:0c:29:11:22:35"));
    tick();
    select(rowOf("10.66.0.12"));
    command(kCmdDeleteFromSystemCache);
    EXPECT_EQ(deleted, (std::vector<std::string> { "10.66.0.12" })) << "the window's own try first";
    ASSERT_TRUE(pumpUntil([this] { return prompt->launched().size() == 1; }));
    const ConsentPrompt::Launch launch = prompt->launched()[0];
    EXPECT_EQ(launch.verb, L"runas");
    EXPECT_EQ(launch.file, helperPath().wstring());
    EXPECT_TRUE(
        std::regex_match(utf8FromWide(launch.parameters), std::regex("delete 10\\.66\\.0\\.12 [0-9]+")))
        << utf8FromWide(launch.parameters);
    EXPECT_TRUE(errors.empty()) << "nothing said while the prompt is open";

    // The prompt is open: ticks go on, and a change is said meanwhile.
    const std::size_t before = outputLines().size();
    ASSERT_TRUE(replace("10.66.0.11", "00:0c:29:44:55:66"));
    tick();
    tick();
    ASSERT_EQ(outputLines().size(), before + 1);
    EXPECT_NE(outputLines().back().find("Mapping changed: 10.66.0.11"), std::string::npos);
    EXPECT_TRUE(errors.empty());

    // Dismissed: said when the prompt ends, in the words of the Linux window.
    prompt->answer(ERROR_CANCELLED);
    ASSERT_TRUE(pumpUntil([this] { return !errors.empty(); }));
    EXPECT_EQ(errors,
        (std::vector<std::string> { "Could not delete from the system cache:\n10.66.0.12: "
            + std::string(kConsentDismissed) + "\n\nThis action needs administrator rights." }));
    EXPECT_GE(rowOf("10.66.0.12"), 0);

    // Consent given: every interface the window could not flush goes to the helper.
    for (int i = 0; i < 16; ++i)
        prompt->answer(NO_ERROR);
    command(kCmdFlushSystemCache);
    ASSERT_FALSE(flushed.empty());
    ASSERT_TRUE(pumpUntil([&] { return prompt->launched().size() == 1 + flushed.size(); }));
    pumpFor(200ms);
    for (std::size_t i = 0; i < flushed.size(); ++i)
        EXPECT_EQ(prompt->launched()[1 + i].parameters, L"flush " + std::to_wstring(flushed[i]));
    EXPECT_EQ(errors.size(), 1u) << errors.back();
}

TEST(RunasFallback, NeedsTheHelperBesideTheProgram)
{
    // Without it, the host layer is the system's as it is, and a refusal is said at once.
    const TempFolder folder;
    auto host = std::make_unique<hostnet::WindowsIpHelper>(hostnet::makeSystemIpHelperApi());
    const hostnet::IpHelper* system = host.get();
    const auto prompt = std::make_shared<ConsentPrompt>();
    EXPECT_EQ(
        win32::withRunasFallback(std::move(host), folder.path(), std::make_unique<PromptShellApi>(prompt))
            .get(),
        system);
}

}  // namespace
}  // namespace tevra::test
