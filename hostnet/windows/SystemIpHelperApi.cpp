// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/windows/IpHelperApi.h"

namespace tevra::hostnet {
namespace {

class SystemIpHelperApi : public IpHelperApi {
public:
    DWORD getIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sorted) override
    {
        return ::GetIpNetTable(table, size, sorted);
    }
    DWORD getIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted) override
    {
        return ::GetIpAddrTable(table, size, sorted);
    }
    DWORD getAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size) override
    {
        return ::GetAdaptersInfo(adapters, size);
    }
    DWORD deleteIpNetEntry(PMIB_IPNETROW row) override { return ::DeleteIpNetEntry(row); }
    DWORD flushIpNetTable(DWORD interfaceIndex) override { return ::FlushIpNetTable(interfaceIndex); }
    DWORD getIpForwardTable2(ADDRESS_FAMILY family, PMIB_IPFORWARD_TABLE2* table) override
    {
        return ::GetIpForwardTable2(family, table);
    }
    void freeMibTable(PVOID memory) override { ::FreeMibTable(memory); }
    DWORD getBestRoute2(
        const SOCKADDR_INET* destination, PMIB_IPFORWARD_ROW2 route, SOCKADDR_INET* source) override
    {
        return ::GetBestRoute2(nullptr, 0, nullptr, destination, 0, route, source);
    }
    DWORD getIpNetTable2(ADDRESS_FAMILY family, PMIB_IPNET_TABLE2* table) override
    {
        return ::GetIpNetTable2(family, table);
    }
    DWORD deleteIpNetEntry2(const MIB_IPNET_ROW2* row) override { return ::DeleteIpNetEntry2(row); }
    DWORD flushIpNetTable2(ADDRESS_FAMILY family, NET_IFINDEX interfaceIndex) override
    {
        return ::FlushIpNetTable2(family, interfaceIndex);
    }
    BOOL createProcess(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
        LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
        LPCSTR currentDirectory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process) override
    {
        return ::CreateProcessA(application, commandLine, processAttributes, threadAttributes, inheritHandles,
            creationFlags, environment, currentDirectory, startup, process);
    }
    DWORD lastError() override { return ::GetLastError(); }
    BOOL closeHandle(HANDLE handle) override { return ::CloseHandle(handle); }
};

}  // namespace

std::unique_ptr<IpHelperApi> makeSystemIpHelperApi()
{
    return std::make_unique<SystemIpHelperApi>();
}

}  // namespace tevra::hostnet
