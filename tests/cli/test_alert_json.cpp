// SPDX-License-Identifier: GPL-3.0-or-later
// Alerts and table rows as JSON Lines, read back with a JSON parser.
#include "cli/AlertJson.h"
#include "cli/AlertOutput.h"
#include "cli/ConsoleWatch.h"
#include "cli/IsoTime.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/support/Environment.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>
#include <regex>

namespace tevra::cli {
namespace {

using nlohmann::json;
using test::arpRow;
using test::kNow;
using namespace std::chrono_literals;

std::vector<std::string> lines(std::FILE* file)
{
    std::rewind(file);
    std::vector<std::string> result;
    std::string line;
    for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file)) {
        if (c == '\n') {
            result.push_back(line);
            line.clear();
        } else {
            line += char(c);
        }
    }
    EXPECT_EQ(line, "") << "a line without its end";
    return result;
}

// The console on the scripted host, printing each alert twice: as text and as
// JSON, so that the two can be held against each other.
class AlertJsonTest : public testing::Test {
protected:
    AlertJsonTest()
    {
        output.add(std::make_unique<StreamSink>(text, alertText));
        output.add(std::make_unique<StreamSink>(jsonOut, alertJson));
        auto fake = std::make_unique<hostnet::FakeIpHelper>();
        fake->adapters = { { 2, "veth0 (veth)" } };
        host = fake.get();
        console = std::make_unique<ConsoleWatch>(std::move(fake), output, [this] {
            // Each reading 700 ms after the one before, so that readings fall
            // on both sides of a second's end.
            now += 700ms;
            return now;
        });
    }
    ~AlertJsonTest() override
    {
        std::fclose(text);
        std::fclose(jsonOut);
    }

    void refreshWith(std::vector<hostnet::MibIpNetRow> table)
    {
        host->netTable = std::move(table);
        ASSERT_EQ(console->refresh(), 0);
    }

    std::FILE* text = std::tmpfile();
    std::FILE* jsonOut = std::tmpfile();
    AlertOutput output;
    hostnet::FakeIpHelper* host = nullptr;
    std::chrono::system_clock::time_point now { std::chrono::seconds(kNow) };
    std::unique_ptr<ConsoleWatch> console;
};

TEST_F(AlertJsonTest, EachAlertIsOneObjectWithTheTextLine)
{
    refreshWith({ arpRow("10.0.0.1", "00-0C-29-11-22-33") });
    refreshWith({ arpRow("10.0.0.1", "00-0C-29-44-55-66"), arpRow("10.0.0.7", "FF-FF-FF-FF-FF-FF", 9) });
    const auto textLines = lines(text);
    const auto jsonLines = lines(jsonOut);
    ASSERT_EQ(textLines.size(), 2u);
    ASSERT_EQ(jsonLines.size(), 2u);

    const json changed = json::parse(jsonLines[0]);
    EXPECT_EQ(changed["kind"], "mapping-changed");
    EXPECT_EQ(changed["code"], 0);
    EXPECT_EQ(changed["address"], "10.0.0.1");
    EXPECT_EQ(changed["mac"], "00-0C-29-44-55-66");
    EXPECT_EQ(changed["previous_mac"], "00-0C-29-11-22-33");
    EXPECT_EQ(changed["vendor"], "VMware, Inc.");
    EXPECT_EQ(changed["interface"], "veth0 (veth)");
    EXPECT_FALSE(changed.contains("router")) << "IPv4 has no router flag";
    EXPECT_FALSE(changed.contains("was_router"));

    const json broadcast = json::parse(jsonLines[1]);
    EXPECT_EQ(broadcast["kind"], "broadcast-mac");
    EXPECT_EQ(broadcast["code"], 2);
    EXPECT_EQ(broadcast["mac"], "FF-FF-FF-FF-FF-FF");
    EXPECT_FALSE(broadcast.contains("previous_mac"));
    EXPECT_TRUE(broadcast["vendor"].is_null());
    EXPECT_TRUE(broadcast["interface"].is_null()) << "interface 9 is no adapter the host listed";

    static const std::regex isoTime("2026-12-10T(\\d\\d:\\d\\d:\\d\\d)\\.\\d\\d\\d\\+00:00");
    for (std::size_t i = 0; i < 2; ++i) {
        const json object = json::parse(jsonLines[i]);
        EXPECT_EQ(object["text"], textLines[i]);
        ASSERT_TRUE(object["serial"].is_number_unsigned());
        EXPECT_TRUE(textLines[i].starts_with(std::to_string(object["serial"].get<unsigned>()) + " - "));
        // The record's time is the line's time, to the second, and more exact.
        std::smatch parts;
        const std::string time = object["time"];
        ASSERT_TRUE(std::regex_match(time, parts, isoTime)) << time;
        EXPECT_NE(textLines[i].find(" - " + parts[1].str() + ": "), std::string::npos)
            << time << " vs " << textLines[i];
    }
}

// The alerts that name an attacker carry the other address and the gateways as fields of their own.
TEST_F(AlertJsonTest, NewKindsNameTheSecondAddressAndTheGateways)
{
    host->adapters = { { 2, "veth0 (veth)", 6, { 0x02, 0, 0, 0, 0, 0x01 } } };
    host->addrTable = { { test::ip("10.0.0.1"), 2, test::ip("255.255.255.0") } };
    host->routes = { { test::ip("0.0.0.0"), 0, test::ip("10.0.0.254"), 2, 0 } };
    host->answersRouteLookups = true;
    host->configurationChanged = true;
    refreshWith({ arpRow("10.0.0.254", "02-00-00-00-00-FE"), arpRow("10.0.0.66", "02-00-00-00-00-66") });
    refreshWith({ arpRow("10.0.0.254", "02-00-00-00-00-66"), arpRow("10.0.0.66", "02-00-00-00-00-66"),
        arpRow("192.168.5.5", "02-00-00-00-00-66") });
    host->routes = { { test::ip("0.0.0.0"), 0, test::ip("10.0.0.66"), 2, 0 } };
    host->configurationChanged = true;
    for (int reading = 0; reading < 6; ++reading)
        refreshWith({ arpRow("10.0.0.254", "02-00-00-00-00-66"), arpRow("10.0.0.66", "02-00-00-00-00-66"),
            arpRow("192.168.5.5", "02-00-00-00-00-66") });
    const auto jsonLines = lines(jsonOut);
    ASSERT_EQ(jsonLines.size(), 4u);

    const json duplicate = json::parse(jsonLines[1]);
    EXPECT_EQ(duplicate["kind"], "duplicate-mac");
    EXPECT_EQ(duplicate["code"], 1);
    EXPECT_EQ(duplicate["address"], "10.0.0.254");
    EXPECT_EQ(duplicate["second_address"], "10.0.0.66");
    EXPECT_EQ(duplicate["mac"], "02-00-00-00-00-66");
    EXPECT_EQ(duplicate["previous_mac"], "02-00-00-00-00-FE");
    EXPECT_EQ(duplicate["interface"], "veth0 (veth)");

    const json outsider = json::parse(jsonLines[2]);
    EXPECT_EQ(outsider["kind"], "not-in-subnet");
    EXPECT_EQ(outsider["address"], "192.168.5.5");
    EXPECT_EQ(outsider["interface"], "veth0 (veth)");

    const json route = json::parse(jsonLines[3]);
    EXPECT_EQ(route["kind"], "default-route-changed");
    EXPECT_EQ(route["code"], 4);
    EXPECT_EQ(route["mac"], "02-00-00-00-00-01");
    EXPECT_EQ(route["previous_gateway"], "10.0.0.254");
    EXPECT_EQ(route["gateway"], "10.0.0.66");
    EXPECT_EQ(route["interface"], "veth0 (veth)");
    EXPECT_FALSE(route.contains("second_address"));
}

// An IPv6 neighbour's changed mapping says whether it was and is a router,
// each only when the engine knows it.
TEST_F(AlertJsonTest, Ipv6MappingChangeCarriesTheRouterFlags)
{
    refreshWith({ arpRow("fe80::1", "00-0C-29-11-22-33"), arpRow("2001:db8::1", "00-0C-29-00-00-01") });
    struct FlagCase {
        const char* address;
        std::optional<bool> router;
        std::optional<bool> wasRouter;
    };
    const FlagCase cases[] = {
        { "fe80::1%2", false, true },
        { "fe80::1%2", true, false },
        { "2001:db8::1", true, true },
        { "2001:db8::1", std::nullopt, std::nullopt },
    };
    const auto oldMac = *parseMacBytes("00-0C-29-11-22-33");
    const auto newMac = *parseMacBytes("00-0C-29-44-55-66");
    for (const FlagCase& c : cases) {
        WatchEvent event;
        event.compose(test::ip(c.address), {}, oldMac.data(), newMac.data(), MappingChanged, kNow);
        event.subject.router = c.router;
        event.subject.wasRouter = c.wasRouter;
        const json object = json::parse(alertJson(makeAlert(event, console->watcher())));
        SCOPED_TRACE(object.dump());
        EXPECT_EQ(object["address"], std::string(c.address).substr(0, std::string(c.address).find('%')));
        EXPECT_EQ(object["mac"], "00-0C-29-44-55-66");
        EXPECT_EQ(object["previous_mac"], "00-0C-29-11-22-33");
        EXPECT_EQ(object.contains("router") ? json(object["router"]) : json(nullptr),
            c.router ? json(*c.router) : json(nullptr));
        EXPECT_EQ(object.contains("was_router") ? json(object["was_router"]) : json(nullptr),
            c.wasRouter ? json(*c.wasRouter) : json(nullptr));
    }
    // The link-local neighbour is known on its own interface.
    WatchEvent event;
    event.compose(test::ip("fe80::1%2"), {}, oldMac.data(), newMac.data(), MappingChanged, kNow);
    EXPECT_EQ(makeAlert(event, console->watcher()).interface, "veth0 (veth)");
}

// Names and descriptions come from outside the program: whatever they hold,
// the line stays one valid JSON object that reads back as the same text.
TEST_F(AlertJsonTest, OutsideTextsAreEscaped)
{
    host->adapters = {};
    const std::string awkward = "eth\"0\\ \t(new\nline) \x01 caf\xC3\xA9";
    Alert alert;
    alert.line = "1 - 14:03:09: Broadcast MAC assigned: " + awkward;
    alert.interface = awkward;
    alert.vendor = std::string("broken \xFF utf-8");
    const std::string line = alertJson(alert);
    EXPECT_EQ(line.find('\n'), std::string::npos);
    const json object = json::parse(line);
    EXPECT_EQ(object["interface"], awkward);
    EXPECT_EQ(object["text"], alert.line);
    EXPECT_EQ(object["vendor"], "broken \xEF\xBF\xBD utf-8");
}

TEST_F(AlertJsonTest, TableRowsAreObjects)
{
    refreshWith({ arpRow("10.0.0.1", "00-0C-29-11-22-33"),
        arpRow("10.0.0.9", "", 2, hostnet::kNetTypeInvalid), arpRow("10.0.0.20", "00-0C-29-00-00-20") });
    // 10.0.0.20 has left the table; 10.0.0.9 is still unresolved (one that
    // never resolved is forgotten once it leaves).
    refreshWith(
        { arpRow("10.0.0.1", "00-0C-29-44-55-66"), arpRow("10.0.0.9", "", 2, hostnet::kNetTypeInvalid) });
    std::vector<json> rows;
    std::string all = console->tableJson();
    for (std::size_t end; (end = all.find('\n')) != std::string::npos; all.erase(0, end + 1))
        rows.push_back(json::parse(all.substr(0, end)));
    EXPECT_EQ(all, "");
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0]["address"], "10.0.0.1");
    EXPECT_EQ(rows[0]["mac"], "00-0C-29-44-55-66");
    EXPECT_EQ(rows[0]["in_system_cache"], true);
    EXPECT_TRUE(rows[0]["last_changed"].is_string()) << "the mapping has changed";
    EXPECT_EQ(rows[0]["vendor"], "VMware, Inc.");
    EXPECT_EQ(rows[0]["host_order"], 0x0A000001u);
    EXPECT_EQ(rows[0]["type"], "dynamic");
    EXPECT_EQ(rows[0]["interface_index"], 2);
    EXPECT_EQ(rows[0]["interface"], "veth0 (veth)");
    EXPECT_EQ(rows[1]["address"], "10.0.0.9");
    EXPECT_EQ(rows[1]["in_system_cache"], true);
    EXPECT_TRUE(rows[1]["last_changed"].is_null());
    EXPECT_TRUE(rows[1]["vendor"].is_null());
    EXPECT_EQ(rows[1]["type"], "invalid");
    EXPECT_EQ(rows[2]["address"], "10.0.0.20");
    EXPECT_EQ(rows[2]["in_system_cache"], false);
    for (const json& row : rows) {
        EXPECT_EQ(row["family"], 4);
        EXPECT_TRUE(row["router"].is_null()) << "IPv4 has no router flag";
    }
}

// IPv6 rows: the family, the router flag, no numeric forms; a link-local
// address shows without its zone, which the interface says.
TEST_F(AlertJsonTest, Ipv6TableRowsSayFamilyAndRouter)
{
    host->adapters = { { 2, "veth0 (veth)" }, { 3, "veth1 (veth)" } };
    auto router = arpRow("fe80::1", "00-0C-29-11-22-33", 3);
    router.isRouter = true;
    refreshWith({ arpRow("10.0.0.1", "00-0C-29-00-00-01"), arpRow("2001:db8::5", "00-0C-29-00-00-05"), router,
        arpRow("fe80::1", "00-0C-29-00-00-09", 2) });
    std::vector<json> rows;
    std::string all = console->tableJson();
    for (std::size_t end; (end = all.find('\n')) != std::string::npos; all.erase(0, end + 1))
        rows.push_back(json::parse(all.substr(0, end)));
    ASSERT_EQ(rows.size(), 4u);
    struct RowCase {
        const char* address;
        int family;
        json router;
        const char* mac;
        const char* interface;
    };
    // IPv4 first, then IPv6 by its bytes; fe80::1 on each link is its own row.
    const RowCase expected[] = {
        { "10.0.0.1", 4, nullptr, "00-0C-29-00-00-01", "veth0 (veth)" },
        { "2001:db8::5", 6, false, "00-0C-29-00-00-05", "veth0 (veth)" },
        { "fe80::1", 6, false, "00-0C-29-00-00-09", "veth0 (veth)" },
        { "fe80::1", 6, true, "00-0C-29-11-22-33", "veth1 (veth)" },
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(rows[i].dump());
        EXPECT_EQ(rows[i]["address"], expected[i].address);
        EXPECT_EQ(rows[i]["family"], expected[i].family);
        EXPECT_EQ(rows[i]["router"], expected[i].router);
        EXPECT_EQ(rows[i]["mac"], expected[i].mac);
        EXPECT_EQ(rows[i]["interface"], expected[i].interface);
        EXPECT_EQ(rows[i]["in_system_cache"], true);
        EXPECT_EQ(rows[i]["network_order"].is_null(), expected[i].family == 6);
        EXPECT_EQ(rows[i]["host_order"].is_null(), expected[i].family == 6);
    }
}

// --- ISO 8601 local time ---

struct IsoCase {
    const char* name;
    const char* zone;
    std::int64_t milliseconds;
    const char* text;
};

void PrintTo(const IsoCase& c, std::ostream* os)
{
    *os << c.name;
}

constexpr std::int64_t kWinter = 1796911389;  // 2026-12-10 14:03:09 UTC
constexpr std::int64_t kSummer = 1783000000;  // 2026-07-02 13:46:40 UTC

const IsoCase kIsoCases[] = {
    { "utc", "UTC0", kWinter * 1000 + 7, "2026-12-10T14:03:09.007+00:00" },
    { "fixed_offset", "UTC-2", kWinter * 1000, "2026-12-10T16:03:09.000+02:00" },
// Daylight-saving rules and offsets in minutes are POSIX's; Windows' C runtime
// has no local time before 1970 either.
#ifndef _WIN32
    { "central_europe_winter", "CET-1CEST,M3.5.0,M10.5.0/3", kWinter * 1000 + 999,
        "2026-12-10T15:03:09.999+01:00" },
    { "central_europe_summer", "CET-1CEST,M3.5.0,M10.5.0/3", kSummer * 1000,
        "2026-07-02T15:46:40.000+02:00" },
    { "half_hour_west", "<-0330>3:30", kWinter * 1000 + 500, "2026-12-10T10:33:09.500-03:30" },
    { "before_1970_rounds_down", "UTC0", -1, "1969-12-31T23:59:59.999+00:00" },
#endif
};

class IsoTime : public testing::TestWithParam<IsoCase> {
protected:
    ~IsoTime() override { test::setTimeZone("UTC"); }
};

TEST_P(IsoTime, ShowsMillisecondsAndOffset)
{
    const IsoCase& c = GetParam();
    test::setTimeZone(c.zone);
    const std::chrono::system_clock::time_point time { std::chrono::milliseconds(c.milliseconds) };
    EXPECT_EQ(isoLocalTime(time), c.text);
}

INSTANTIATE_TEST_SUITE_P(Zones, IsoTime, testing::ValuesIn(kIsoCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::cli
