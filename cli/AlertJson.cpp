// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/AlertJson.h"

#include "cli/IsoTime.h"
#include "engine/Address.h"
#include "engine/MappingCells.h"

#include <nlohmann/json.hpp>

namespace tevra::cli {
namespace {

// Keys in the order a reader expects them, not sorted.
using json = nlohmann::ordered_json;

json optionalText(const std::optional<std::string>& text)
{
    return text ? json(*text) : json(nullptr);
}

json optionalMac(const std::optional<MacBytes>& mac)
{
    return mac ? json(macText(mac->data())) : json(nullptr);
}

// Vendor names and adapter descriptions come from outside; a byte that is not
// UTF-8 is replaced rather than allowed to throw.
std::string line(const json& object)
{
    return object.dump(-1, ' ', false, json::error_handler_t::replace);
}

}  // namespace

std::string alertJson(const Alert& alert)
{
    json object = json::object();
    object["serial"] = alert.serial;
    object["time"] = isoLocalTime(alert.time);
    object["kind"] = alertKindName(alert.kind);
    object["code"] = alert.kind;
    object["address"] = addressText(alert.address);
    object["mac"] = optionalMac(alert.mac);
    if (alert.previousMac)
        object["previous_mac"] = macText(alert.previousMac->data());
    object["vendor"] = optionalText(alert.vendor);
    object["interface"] = optionalText(alert.interface);
    if (alert.secondAddress)
        object["second_address"] = addressText(*alert.secondAddress);
    if (alert.gateway)
        object["gateway"] = addressText(*alert.gateway);
    if (alert.previousGateway)
        object["previous_gateway"] = addressText(*alert.previousGateway);
    if (alert.router)
        object["router"] = *alert.router;
    if (alert.wasRouter)
        object["was_router"] = *alert.wasRouter;
    object["text"] = alert.line;
    return line(object);
}

std::string notificationsLostJson(
    std::uint64_t count, std::chrono::system_clock::time_point time, const std::string& text)
{
    json object = json::object();
    object["time"] = isoLocalTime(time);
    object["kind"] = "notifications-lost";
    object["count"] = count;
    object["text"] = text;
    return line(object);
}

std::string alertsNotLoggedJson(std::uint64_t count, const std::map<std::string, std::uint64_t>& byKind,
    std::chrono::system_clock::time_point time, const std::string& text)
{
    json object = json::object();
    object["time"] = isoLocalTime(time);
    object["kind"] = "alerts-not-logged";
    object["count"] = count;
    object["kinds"] = byKind;
    object["text"] = text;
    return line(object);
}

std::string mappingJson(const MappingEntry& entry, const NetworkConfig& networkConfig)
{
    // The same texts as the mapping list, typed where JSON has a type for them.
    const MappingCells cells = mappingCellTexts(entry, networkConfig);
    const auto adapter = networkConfig.adapters.find(entry.adapterIndex);
    json object = json::object();
    object["address"] = cells[0];
    object["family"] = entry.address.isV4() ? 4 : 6;
    object["mac"] = cells[1];
    object["in_system_cache"] = entry.inSystemCache;
    object["last_changed"] = cells[3] == "-"
        ? json(nullptr)
        : json(isoLocalTime(std::chrono::system_clock::time_point(std::chrono::seconds(entry.lastChanged))));
    object["vendor"] = cells[4] == "-" ? json(nullptr) : json(cells[4]);
    // The numeric forms exist for IPv4 alone.
    const bool v4 = entry.address.isV4();
    object["network_order"] = v4 ? json(entry.address.v4Value()) : json(nullptr);
    object["host_order"] = v4 ? json(netToHost(entry.address.v4Value())) : json(nullptr);
    // A neighbour says whether it is a router in IPv6 alone.
    object["router"] = v4 ? json(nullptr) : json(entry.isRouter);
    object["type"] = cells[7];
    object["interface_index"] = entry.adapterIndex;
    object["interface"]
        = adapter == networkConfig.adapters.end() ? json(nullptr) : json(adapter->second.info.Description);
    return line(object);
}

}  // namespace tevra::cli
