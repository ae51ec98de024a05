// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Windows calls the host layer makes, behind one seam: the program uses
// the system's, tests script what Windows answers and record what is asked.
// Winsock's address types first: without them iphlpapi.h leaves out the
// route calls of netioapi.h.
#include <winsock2.h>
#include <ws2ipdef.h>

#include <iphlpapi.h>
#include <windows.h>

#include <memory>

namespace tevra::hostnet {

class IpHelperApi {
public:
    virtual ~IpHelperApi() = default;

    virtual DWORD getIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sorted) = 0;
    virtual DWORD getIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted) = 0;
    virtual DWORD getAdaptersInfo(PIP_ADAPTER_INFO adapters, PULONG size) = 0;
    virtual DWORD deleteIpNetEntry(PMIB_IPNETROW row) = 0;
    virtual DWORD flushIpNetTable(DWORD interfaceIndex) = 0;
    // GetIpForwardTable2 and FreeMibTable; GetBestRoute2 with no interface,
    // no source and no options, for either family. A seam that scripts no
    // routes has none.
    virtual DWORD getIpForwardTable2(ADDRESS_FAMILY family, PMIB_IPFORWARD_TABLE2* table)
    {
        static_cast<void>(family);
        *table = nullptr;
        return ERROR_NOT_SUPPORTED;
    }
    virtual void freeMibTable(PVOID memory) { static_cast<void>(memory); }
    virtual DWORD getBestRoute2(
        const SOCKADDR_INET* destination, PMIB_IPFORWARD_ROW2 route, SOCKADDR_INET* source)
    {
        static_cast<void>(destination);
        static_cast<void>(route);
        static_cast<void>(source);
        return ERROR_NOT_SUPPORTED;
    }
    // GetIpNetTable2 (its table freed with freeMibTable), DeleteIpNetEntry2
    // and FlushIpNetTable2: the neighbours of both families. A seam that
    // scripts none of them answers as a host without them.
    virtual DWORD getIpNetTable2(ADDRESS_FAMILY family, PMIB_IPNET_TABLE2* table)
    {
        static_cast<void>(family);
        *table = nullptr;
        return ERROR_NOT_SUPPORTED;
    }
    virtual DWORD deleteIpNetEntry2(const MIB_IPNET_ROW2* row)
    {
        static_cast<void>(row);
        return ERROR_NOT_SUPPORTED;
    }
    virtual DWORD flushIpNetTable2(ADDRESS_FAMILY family, NET_IFINDEX interfaceIndex)
    {
        static_cast<void>(family);
        static_cast<void>(interfaceIndex);
        return ERROR_NOT_SUPPORTED;
    }
    // CreateProcessA, GetLastError after it, and CloseHandle.
    virtual BOOL createProcess(LPCSTR application, LPSTR commandLine, LPSECURITY_ATTRIBUTES processAttributes,
        LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles, DWORD creationFlags, LPVOID environment,
        LPCSTR currentDirectory, LPSTARTUPINFOA startup, LPPROCESS_INFORMATION process)
        = 0;
    virtual DWORD lastError() = 0;
    virtual BOOL closeHandle(HANDLE handle) = 0;
};

// The real IP Helper API and process calls.
std::unique_ptr<IpHelperApi> makeSystemIpHelperApi();

}  // namespace tevra::hostnet
