// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/WatchOptions.h"

#include <getopt.h>

#include <array>
#include <charconv>
#include <vector>

namespace tevra::cli {
namespace {

// Values getopt_long returns for the long options that have no short form.
enum OptionId : int {
    kInterval = 256,
    kOnce,
    kTable,
    kJson,
    kDiscover,
    kState,
    kIgnore,
    kExec,
    kExecTimeout,
    kMaxAddresses,
    kResync,
    kVersion,
};

const std::array<option, 16> kLongOptions { {
    { "interval", required_argument, nullptr, kInterval },
    { "once", no_argument, nullptr, kOnce },
    { "table", no_argument, nullptr, kTable },
    { "json", no_argument, nullptr, kJson },
    { "discover", no_argument, nullptr, kDiscover },
    { "state", required_argument, nullptr, kState },
    { "ignore", required_argument, nullptr, kIgnore },
    { "exec", required_argument, nullptr, kExec },
    { "exec-timeout", required_argument, nullptr, kExecTimeout },
    { "max-addresses", required_argument, nullptr, kMaxAddresses },
    { "resync", required_argument, nullptr, kResync },
    { "ipv4", no_argument, nullptr, '4' },
    { "ipv6", no_argument, nullptr, '6' },
    { "help", no_argument, nullptr, 'h' },
    { "version", no_argument, nullptr, kVersion },
    { nullptr, 0, nullptr, 0 },
} };

// What an option that takes a value says when it has none.
std::string missingValue(int id)
{
    switch (id) {
    case kInterval:
        return "--interval needs a number of milliseconds";
    case kState:
        return "--state needs a file name";
    case kIgnore:
        return "--ignore needs an address, a MAC address or a MAC prefix";
    case kExec:
        return "--exec needs a program";
    case kExecTimeout:
        return "--exec-timeout needs a number of seconds";
    case kMaxAddresses:
        return "--max-addresses needs a number";
    case kResync:
        return "--resync needs a number of seconds";
    default:
        return "an option needs a value";
    }
}

// A whole decimal number from `least` to `most`, or nothing.
std::optional<int> readNumber(std::string_view text, int least, int most)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least || value > most)
        return std::nullopt;
    return value;
}

ParsedArguments wrong(std::string reason)
{
    return { std::nullopt, std::move(reason) };
}

// Applies one option with its value; the reason when the value is wrong.
std::string apply(int id, std::string_view value, WatchOptions& options)
{
    switch (id) {
    case kInterval:
        if (const auto interval = readNumber(value, kMinIntervalMs, kMaxIntervalMs)) {
            options.intervalMs = *interval;
            return {};
        }
        return "--interval takes " + std::to_string(kMinIntervalMs) + " to " + std::to_string(kMaxIntervalMs)
            + " milliseconds, not '" + std::string(value) + "'";
    case kOnce:
        options.once = true;
        return {};
    case kTable:
        options.table = true;
        return {};
    case kJson:
        options.json = true;
        return {};
    case kDiscover:
        options.discover = true;
        return {};
    case kState:
        if (value.empty())
            return missingValue(id);
        options.statePath = value;
        return {};
    case kIgnore:
        if (auto rule = parseIgnoreRule(value)) {
            options.ignore.add(std::move(*rule));
            return {};
        }
        return "--ignore takes an IPv4 or IPv6 address, a MAC address or a MAC prefix of 3 to 5 bytes, each "
               "maybe led by KIND@, or KIND@all, not '"
            + std::string(value) + "'";
    case kExec:
        if (value.empty())
            return missingValue(id);
        options.execProgram = value;
        return {};
    case kExecTimeout:
        if (const auto seconds = readNumber(value, 1, kMaxSeconds)) {
            options.execTimeoutSeconds = *seconds;
            return {};
        }
        return "--exec-timeout takes 1 to " + std::to_string(kMaxSeconds) + " seconds, not '"
            + std::string(value) + "'";
    case kResync:
        if (const auto seconds = readNumber(value, 1, kMaxSeconds)) {
            options.resyncSeconds = *seconds;
            return {};
        }
        return "--resync takes 1 to " + std::to_string(kMaxSeconds) + " seconds, not '" + std::string(value)
            + "'";
    case '4':
        options.ipv6 = false;
        return {};
    case '6':
        options.ipv4 = false;
        return {};
    case kMaxAddresses:
        if (const auto count = readNumber(value, 1, kMaxMaxAddresses)) {
            options.maxAddresses = *count;
            return {};
        }
        return "--max-addresses takes 1 to " + std::to_string(kMaxMaxAddresses) + ", not '"
            + std::string(value) + "'";
    }
    return "unexpected option";
}

}  // namespace

ParsedArguments parseWatchArguments(std::span<const std::string_view> arguments)
{
    // getopt_long wants a writable argv with a program name, and keeps its
    // place in globals: start it afresh for every command line read.
    std::vector<std::string> texts { "tevra-watch" };
    texts.insert(texts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& text : texts)
        argv.push_back(text.data());
    argv.push_back(nullptr);
    const int argc = int(texts.size());
    optind = 0;
    opterr = 0;

    WatchOptions options;
    std::optional<WatchOptions::Mode> request;  // --help or --version, the first one given
    // "+": stop at the first word that is not an option, so it is reported below.
    for (int id; (id = getopt_long(argc, argv.data(), "+:h46", kLongOptions.data(), nullptr)) != -1;) {
        if (id == ':')
            return wrong(missingValue(optopt));
        if (id == '?')
            return wrong("unknown argument '" + std::string(argv[optind - 1]) + "'");
        if (id == 'h' || id == kVersion) {
            request = request.value_or(id == 'h' ? WatchOptions::Mode::Help : WatchOptions::Mode::Version);
            continue;
        }
        if (std::string reason = apply(id, optarg != nullptr ? optarg : "", options); !reason.empty())
            return wrong(std::move(reason));
    }
    if (optind < argc)
        return wrong("unknown argument '" + texts[std::size_t(optind)] + "'");
    if (request)
        options.mode = *request;
    else if (options.table && !options.once)
        return wrong("--table goes with --once");
    else if (!options.ipv4 && !options.ipv6)
        return wrong("-4 and -6 exclude each other: give one of them, or neither to watch both families");
    return { options, {} };
}

std::string usageText()
{
    return "Usage: tevra-watch [--interval MS] [--resync SECONDS] [--once [--table]]\n"
           "                   [-4 | -6] [--discover] [--json] [--state FILE] [--max-addresses N]\n"
           "                   [--ignore [KIND@]ADDRESS|MAC|PREFIX | --ignore KIND@all]...\n"
           "                   [--exec PROGRAM [--exec-timeout SECONDS]]\n"
           "       tevra-watch --help | --version\n"
           "Watches the host's ARP table and IPv6 neighbours and prints an alert line\n"
           "when a mapping changes or an address gets a broadcast or multicast MAC\n"
           "address, when two addresses share a MAC, when the default route changes\n"
           "and when a neighbour is outside its interface's subnets.\n"
           "  -4, --ipv4       watch IPv4 neighbours and routes only\n"
           "  -6, --ipv6       watch IPv6 neighbours and routes only (default: both)\n"
           "  --interval MS    without the kernel's change notifications,\n"
           "                   read the table every MS milliseconds (100 to 60000, default 1500)\n"
           "  --resync SECONDS with them, compare the whole table with what was learned\n"
           "                   every SECONDS (default 60); changes are taken as they come\n"
           "  --once           read the table once, print its alerts and exit\n"
           "  --table          with --once: then print the mapping list, TAB-separated\n"
           "  --discover       first make the hosts of each adapter's subnet answer (a\n"
           "                   broadcast ping and a paced sweep); with --once, wait\n"
           "                   for the sweep to end (at most 30 s) before the one reading\n"
           "  --json           print alerts (and the --table rows) as JSON Lines\n"
           "  --state FILE     keep the learned table in FILE across restarts\n"
           "  --max-addresses N  keep at most N addresses (default 65536): past it, those\n"
           "                   never resolved go first, then those gone from the table longest\n"
           "  --ignore WHAT    print no alert about this IPv4 or IPv6 address, MAC address\n"
           "                   or MAC prefix of 3 to 5 bytes (00-00-5E-00-01); may be\n"
           "                   repeated; a link-local address without %INDEX is ignored\n"
           "                   on every interface;\n"
           "                   a change into an ignored MAC from another is still printed;\n"
           "                   KIND@WHAT silences one kind only, for this address or MAC\n"
           "                   (duplicate-mac@00-11-22-33-44-55), KIND@all all of it; kinds:\n"
           "                   mapping-changed duplicate-mac broadcast-mac multicast-mac\n"
           "                   default-route-changed not-in-subnet\n"
           "  --exec PROGRAM   run PROGRAM for each alert with the arguments kind, address,\n"
           "                   MAC, previous MAC and the second address or new gateway,\n"
           "                   and the line in TEVRA_ALERT; no shell\n"
           "  --exec-timeout SECONDS  stop a hook still running after SECONDS (default\n"
           "                   30) with SIGTERM, and kill it 5 s later\n"
           "  --help           print this text\n"
           "  --version        print the version\n"
           "Started by systemd with its output on the journal, alerts go to the journal\n"
           "with their fields. See tevra-watch(1).\n";
}

}  // namespace tevra::cli
