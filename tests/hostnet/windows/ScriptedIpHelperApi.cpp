// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScriptedIpHelperApi.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tevra::test {
namespace {

template<typename Table, typename Row> TableAnswer tableAnswer(const std::vector<Row>& rows, DWORD count)
{
    const ULONG size = static_cast<ULONG>(offsetof(Table, table) + rows.size() * sizeof(Row));
    return { NO_ERROR, size, [rows, count](std::byte* buffer) {
                auto* table = reinterpret_cast<Table*>(buffer);
                table->dwNumEntries = count;
                std::memcpy(table->table, rows.data(), rows.size() * sizeof(Row));
            } };
}

}  // namespace

DWORD ScriptedIpHelperApi::getIpForwardTable2(ADDRESS_FAMILY family, PMIB_IPFORWARD_TABLE2* table)
{
    static_cast<void>(family);
    forwardTable_.assign(offsetof(MIB_IPFORWARD_TABLE2, Table)
            + std::max<std::size_t>(1, forwardRows.size()) * sizeof(MIB_IPFORWARD_ROW2),
        std::byte {});
    auto* filled = reinterpret_cast<MIB_IPFORWARD_TABLE2*>(forwardTable_.data());
    filled->NumEntries = static_cast<ULONG>(forwardRows.size());
    std::memcpy(filled->Table, forwardRows.data(), forwardRows.size() * sizeof(MIB_IPFORWARD_ROW2));
    *table = filled;
    return NO_ERROR;
}

void ScriptedIpHelperApi::freeMibTable(PVOID memory)
{
    if (memory == forwardTable_.data())
        ++freedTables;
    if (memory == netTable2_.data())
        ++freedNetTables2;
}

DWORD ScriptedIpHelperApi::getIpNetTable2(ADDRESS_FAMILY family, PMIB_IPNET_TABLE2* table)
{
    const std::size_t call = netTable2Asked.size();
    netTable2Asked.push_back(family);
    const DWORD status
        = netTable2Status.empty() ? NO_ERROR : netTable2Status[std::min(call, netTable2Status.size() - 1)];
    *table = nullptr;
    if (status != NO_ERROR)
        return status;
    netTable2_.assign(offsetof(MIB_IPNET_TABLE2, Table)
            + std::max<std::size_t>(1, netRows2.size()) * sizeof(MIB_IPNET_ROW2),
        std::byte {});
    auto* filled = reinterpret_cast<MIB_IPNET_TABLE2*>(netTable2_.data());
    filled->NumEntries = static_cast<ULONG>(netRows2.size());
    std::memcpy(filled->Table, netRows2.data(), netRows2.size() * sizeof(MIB_IPNET_ROW2));
    *table = filled;
    return NO_ERROR;
}

DWORD ScriptedIpHelperApi::deleteIpNetEntry2(const MIB_IPNET_ROW2* row)
{
    calls.push_back("DeleteIpNetEntry2(" + socketAddressText(row->Address) + ", "
        + std::to_string(row->InterfaceIndex) + ")");
    deleted2.push_back(*row);
    return delete2Status;
}

MIB_IPNET_ROW2 netRow2(
    const char* address, NET_IFINDEX index, const char* mac, NL_NEIGHBOR_STATE state, bool isRouter)
{
    MIB_IPNET_ROW2 row {};
    const std::optional<IpAddress> parsed = parseAddress(address);
    if (parsed && parsed->isV4()) {
        row.Address.Ipv4.sin_family = AF_INET;
        row.Address.Ipv4.sin_addr.S_un.S_addr = parsed->v4Value();
    } else if (parsed) {
        row.Address.Ipv6.sin6_family = AF_INET6;
        std::memcpy(&row.Address.Ipv6.sin6_addr, parsed->data(), 16);
        row.Address.Ipv6.sin6_scope_id = parsed->isLinkLocal() ? index : 0;
    }
    row.InterfaceIndex = index;
    if (const std::optional<std::vector<std::uint8_t>> hardware = parseMacBytes(mac)) {
        std::memcpy(row.PhysicalAddress, hardware->data(), hardware->size());
        row.PhysicalAddressLength = static_cast<ULONG>(hardware->size());
    }
    row.State = state;
    row.IsRouter = isRouter;
    return row;
}

std::string socketAddressText(const SOCKADDR_INET& address)
{
    if (address.si_family == AF_INET)
        return dottedText(address.Ipv4.sin_addr.S_un.S_addr);
    IpAddress::V6Bytes bytes {};
    std::memcpy(bytes.data(), &address.Ipv6.sin6_addr, bytes.size());
    const std::string text = addressText(IpAddress::v6(bytes));
    const ULONG scope = address.Ipv6.sin6_scope_id;
    return scope == 0 ? text : text + "%" + std::to_string(scope);
}

DWORD ScriptedIpHelperApi::getBestRoute2(
    const SOCKADDR_INET* destination, PMIB_IPFORWARD_ROW2 route, SOCKADDR_INET* source)
{
    static_cast<void>(source);
    lookedUp.push_back(socketAddressText(*destination));
    if (!bestRoute)
        return ERROR_NOT_SUPPORTED;
    *route = *bestRoute;
    return NO_ERROR;
}

TableAnswer netTableAnswer(const std::vector<MIB_IPNETROW>& rows)
{
    return netTableAnswer(rows, static_cast<DWORD>(rows.size()));
}

TableAnswer netTableAnswer(const std::vector<MIB_IPNETROW>& rows, DWORD count)
{
    return tableAnswer<MIB_IPNETTABLE>(rows, count);
}

TableAnswer addrTableAnswer(const std::vector<MIB_IPADDRROW>& rows)
{
    return tableAnswer<MIB_IPADDRTABLE>(rows, static_cast<DWORD>(rows.size()));
}

TableAnswer adaptersAnswer(const std::vector<std::pair<DWORD, std::string>>& indexAndDescription)
{
    const ULONG size = static_cast<ULONG>(indexAndDescription.size() * sizeof(IP_ADAPTER_INFO));
    return { NO_ERROR, size, [indexAndDescription](std::byte* buffer) {
                // The records link to each other inside the caller's buffer, as Windows lays them out.
                auto* adapters = reinterpret_cast<IP_ADAPTER_INFO*>(buffer);
                for (std::size_t i = 0; i < indexAndDescription.size(); ++i) {
                    IP_ADAPTER_INFO& adapter = adapters[i];
                    adapter = {};
                    adapter.Index = indexAndDescription[i].first;
                    std::strncpy(adapter.Description, indexAndDescription[i].second.c_str(),
                        sizeof adapter.Description - 1);
                    adapter.Next = i + 1 < indexAndDescription.size() ? &adapters[i + 1] : nullptr;
                }
            } };
}

TableAnswer needsBuffer(ULONG size, DWORD status)
{
    return { status, size };
}

DWORD ScriptedIpHelperApi::answer(
    const char* name, std::deque<TableAnswer>& script, void* buffer, PULONG size, int sorted)
{
    std::string call = std::string(name) + "(" + (buffer == nullptr ? "null" : "buffer") + ", "
        + std::to_string(*size) + (sorted < 0 ? "" : ", " + std::to_string(sorted)) + ")";
    if (script.empty()) {
        calls.push_back(call + " unscripted");
        return ERROR_GEN_FAILURE;
    }
    const TableAnswer next = script.front();
    script.pop_front();
    // A buffer smaller than the scripted table is a fault of the caller: answer as Windows would.
    const bool fits = buffer != nullptr && *size >= next.size;
    const DWORD status = next.status == NO_ERROR && !fits ? ERROR_INSUFFICIENT_BUFFER : next.status;
    if (status == NO_ERROR && next.fill)
        next.fill(static_cast<std::byte*>(buffer));
    *size = next.size;
    calls.push_back(call + " -> " + std::to_string(status));
    return status;
}

DWORD ScriptedIpHelperApi::getIpNetTable(PMIB_IPNETTABLE table, PULONG size, BOOL sorted)
{
    return answer("GetIpNetTable", netTable, table, size, sorted);
}

DWORD ScriptedIpHelperApi::getIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, BOOL sorted)
{
    return answer("GetIpAddrTable", addrTable, table, size, sorted);
}

DWORD ScriptedIpHelperApi::getAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size)
{
    return answer("GetAdaptersInfo", adapters, info, size, -1);
}

DWORD ScriptedIpHelperApi::deleteIpNetEntry(PMIB_IPNETROW row)
{
    calls.push_back("DeleteIpNetEntry(" + std::to_string(row->dwIndex) + ")");
    deleted.push_back(*row);
    return deleteStatus;
}

DWORD ScriptedIpHelperApi::flushIpNetTable(DWORD interfaceIndex)
{
    calls.push_back("FlushIpNetTable(" + std::to_string(interfaceIndex) + ")");
    const std::size_t call = flushed.size();
    flushed.push_back(interfaceIndex);
    return call < flushStatus.size() ? flushStatus[call] : NO_ERROR;
}

BOOL ScriptedIpHelperApi::createProcess(LPCSTR application, LPSTR commandLine,
    LPSECURITY_ATTRIBUTES processAttributes, LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
    DWORD creationFlags, LPVOID environment, LPCSTR currentDirectory, LPSTARTUPINFOA startup,
    LPPROCESS_INFORMATION process)
{
    calls.push_back(std::string("CreateProcessA(") + commandLine + ")");
    started.push_back({ application != nullptr ? application : "", commandLine, processAttributes != nullptr,
        threadAttributes != nullptr, inheritHandles, creationFlags, environment != nullptr,
        currentDirectory != nullptr, *startup });
    lastError_ = processError;
    if (processStarted) {
        process->hProcess = processHandle;
        process->hThread = threadHandle;
    }
    return processStarted;
}

BOOL ScriptedIpHelperApi::closeHandle(HANDLE handle)
{
    calls.push_back(handle == processHandle ? "CloseHandle(process)"
            : handle == threadHandle        ? "CloseHandle(thread)"
                                            : "CloseHandle(other)");
    closed.push_back(handle);
    return TRUE;
}

}  // namespace tevra::test
