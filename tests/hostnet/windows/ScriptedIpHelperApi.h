// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/windows/IpHelperApi.h"

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tevra::test {

// One answer of a table operation: the status it returns, the size it writes
// back and, when it was given a buffer and succeeds, what it fills in.
struct TableAnswer {
    DWORD status = NO_ERROR;
    ULONG size = 0;
    std::function<void(std::byte* buffer)> fill = {};
};

// What Windows answers, scripted by a test, and every call the host layer
// made, in order and as text.
class ScriptedIpHelperApi : public hostnet::IpHelperApi {
public:
    struct ProcessStart {
        std::string application;  // empty when none was given
        std::string commandLine;
        bool processAttributes = false;
        bool threadAttributes = false;
        BOOL inheritHandles = TRUE;
        DWORD creationFlags = 0;
        bool environment = false;
        bool currentDirectory = false;
        STARTUPINFOA startup {};
    };

    std::deque<TableAnswer> netTable;
    std::deque<TableAnswer> addrTable;
    std::deque<TableAnswer> adapters;
    std::vector<DWORD> flushStatus;  // per call; NO_ERROR when the list runs out
    DWORD deleteStatus = NO_ERROR;
    // The routing table GetIpForwardTable2 hands out, and GetBestRoute2's
    // answer: none is a GetBestRoute2 that does not answer, as Wine's may not.
    std::vector<MIB_IPFORWARD_ROW2> forwardRows;
    std::optional<MIB_IPFORWARD_ROW2> bestRoute;
    std::vector<std::string> lookedUp;  // the destinations GetBestRoute2 was asked for
    // GetIpNetTable2: what it returns for each call (the last one for every
    // call after), and the rows it hands out when that is NO_ERROR. By
    // default it is missing, as where the host layer must use GetIpNetTable.
    std::vector<DWORD> netTable2Status { ERROR_NOT_SUPPORTED };
    std::vector<MIB_IPNET_ROW2> netRows2;
    std::vector<ADDRESS_FAMILY> netTable2Asked;  // the family of each call
    DWORD delete2Status = NO_ERROR;
    std::vector<MIB_IPNET_ROW2> deleted2;
    int freedTables = 0;  // routing tables
    int freedNetTables2 = 0;
    BOOL processStarted = TRUE;
    DWORD processError = NO_ERROR;

    std::vector<std::string> calls;
    std::vector<MIB_IPNETROW> deleted;
    std::vector<DWORD> flushed;
    std::vector<ProcessStart> started;
    std::vector<HANDLE> closed;
    // What a started process and its first thread are handed out as.
    const HANDLE processHandle = reinterpret_cast<HANDLE>(0x1234);
    const HANDLE threadHandle = reinterpret_cast<HANDLE>(0x5678);

    DWORD getIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sorted) override;
    DWORD getIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted) override;
    DWORD getAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size) override;
    DWORD deleteIpNetEntry(PMIB_IPNETROW row) override;
    DWORD flushIpNetTable(DWORD interfaceIndex) override;
    BOOL createProcess(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
        LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
        LPCSTR currentDirectory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process) override;
    DWORD lastError() override { return lastError_; }
    BOOL closeHandle(HANDLE handle) override;
    DWORD getIpForwardTable2(ADDRESS_FAMILY family, PMIB_IPFORWARD_TABLE2* table) override;
    void freeMibTable(PVOID memory) override;
    DWORD getBestRoute2(
        const SOCKADDR_INET* destination, PMIB_IPFORWARD_ROW2 route, SOCKADDR_INET* source) override;
    DWORD getIpNetTable2(ADDRESS_FAMILY family, PMIB_IPNET_TABLE2* table) override;
    DWORD deleteIpNetEntry2(const MIB_IPNET_ROW2* row) override;

private:
    DWORD answer(const char* name, std::deque<TableAnswer>& script, void* buffer, PULONG size, int sorted);

    DWORD lastError_ = NO_ERROR;
    std::vector<std::byte> forwardTable_;
    std::vector<std::byte> netTable2_;
};

// Answers that fill a MIB_IPNETTABLE, a MIB_IPADDRTABLE or an IP_ADAPTER_INFO
// chain; `count` is what the table says it holds, the rows are what it does.
TableAnswer netTableAnswer(const std::vector<MIB_IPNETROW>& rows);
TableAnswer netTableAnswer(const std::vector<MIB_IPNETROW>& rows, DWORD count);
TableAnswer addrTableAnswer(const std::vector<MIB_IPADDRROW>& rows);
TableAnswer adaptersAnswer(const std::vector<std::pair<DWORD, std::string>>& indexAndDescription);
// A MIB_IPNET_ROW2 as GetIpNetTable2 gives it: an IPv4 or IPv6 address (with
// the interface as its scope id when it is link-local), and a MAC as
// parseMacBytes reads it, or none for "-".
MIB_IPNET_ROW2 netRow2(
    const char* address, NET_IFINDEX index, const char* mac, NL_NEIGHBOR_STATE state, bool isRouter = false);
// The text of a SOCKADDR_INET: dotted, or IPv6 with "%scope" when it has one.
std::string socketAddressText(const SOCKADDR_INET& address);
// The size answer of a table that needs `size` bytes.
TableAnswer needsBuffer(ULONG size, DWORD status = ERROR_INSUFFICIENT_BUFFER);

}  // namespace tevra::test
