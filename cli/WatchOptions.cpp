#include "cli/WatchOptions.h"

#include <charconv>

namespace tevra::cli {
namespace {

// A whole decimal number within the allowed period, or nothing.
std::optional<int> readInterval(std::string_view text)
{
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < kMinIntervalMs
        || value > kMaxIntervalMs)
        return std::nullopt;
    return value;
}

ParsedArguments wrong(std::string reason)
{
    return { std::nullopt, std::move(reason) };
}

}  // namespace

ParsedArguments parseWatchArguments(std::span<const std::string_view> arguments)
{
    WatchOptions options;
    std::optional<WatchOptions::Mode> request;  // --help or --version, the first one given
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string_view argument = arguments[i];
        if (argument == "--once") {
            options.once = true;
        } else if (argument == "--table") {
            options.table = true;
        } else if (argument == "--interval") {
            if (i + 1 == arguments.size())
                return wrong("--interval needs a number of milliseconds");
            const auto interval = readInterval(arguments[++i]);
            if (!interval)
                return wrong("--interval takes " + std::to_string(kMinIntervalMs) + " to "
                    + std::to_string(kMaxIntervalMs) + " milliseconds, not '" + std::string(arguments[i])
                    + "'");
            options.intervalMs = *interval;
        } else if (argument == "--help" || argument == "-h") {
            request = request.value_or(WatchOptions::Mode::Help);
        } else if (argument == "--version") {
            request = request.value_or(WatchOptions::Mode::Version);
        } else {
            return wrong("unknown argument '" + std::string(argument) + "'");
        }
    }
    if (request)
        options.mode = *request;
    else if (options.table && !options.once)
        return wrong("--table goes with --once");
    return { options, {} };
}

std::string usageText()
{
    return "Usage: tevra-watch [--interval MS] [--once [--table]]\n"
           "       tevra-watch --help | --version\n"
           "Watches the host's ARP table and prints an alert line when a mapping\n"
           "changes or an address gets a broadcast or multicast MAC address.\n"
           "  --interval MS  read the table every MS milliseconds (100 to 60000, default 1500)\n"
           "  --once         read the table once, print its alerts and exit\n"
           "  --table        with --once: then print the mapping list, TAB-separated\n"
           "  --help         print this text\n"
           "  --version      print the version\n";
}

}  // namespace tevra::cli
