// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Journal.h"

#include "cli/AlertJson.h"
#include "engine/Address.h"

#include <sys/stat.h>
#include <sys/uio.h>
#include <systemd/sd-journal.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace tevra::cli {

bool isJournalStream(std::FILE* stream)
{
    const char* value = std::getenv("JOURNAL_STREAM");
    struct stat status { };
    if (value == nullptr || fstat(fileno(stream), &status) != 0)
        return false;
    unsigned long long device = 0;
    unsigned long long inode = 0;
    char extra = 0;
    if (std::sscanf(value, "%llu:%llu%c", &device, &inode, &extra) != 2)
        return false;
    return device == status.st_dev && inode == status.st_ino;
}

bool journalSocketPresent()
{
    struct stat status { };
    return stat("/run/systemd/journal/socket", &status) == 0 && S_ISSOCK(status.st_mode);
}

bool journalDebug(std::string_view topic, const std::string& line)
{
    const std::string message = std::string(topic) + ": " + line;
    return sd_journal_send("MESSAGE=%s", message.c_str(), "PRIORITY=7", "SYSLOG_IDENTIFIER=tevra-watch",
               "TEVRA_TRACE=%.*s", static_cast<int>(topic.size()), topic.data(), nullptr)
        == 0;
}

JournalSink::JournalSink(AlertFormat format, std::unique_ptr<AlertSink> fallback, std::FILE* err)
    : format_(format)
    , fallback_(std::move(fallback))
    , err_(err)
{
}

JournalSink::~JournalSink()
{
    if (const auto summary = pace_.takeSummary(std::chrono::steady_clock::now(), true))
        sendSummary(*summary);
}

void JournalSink::service(TimePoint now)
{
    if (const auto summary = pace_.takeSummary(now))
        sendSummary(*summary);
}

namespace {

// A journal field name for a kind: TEVRA_COUNT_MAPPING_CHANGED.
std::string countField(std::string_view kind)
{
    std::string name = "TEVRA_COUNT_";
    for (const char c : kind)
        name += c == '-' ? '_' : char(std::toupper(static_cast<unsigned char>(c)));
    return name;
}

// A summary the journal does not take is not repeated elsewhere: the
// alerts it counts were not printed either.
void sendFields(std::vector<std::string>& fields)
{
    std::vector<iovec> vector;
    for (std::string& field : fields)
        vector.push_back({ field.data(), field.size() });
    sd_journal_sendv(vector.data(), int(vector.size()));
}

}  // namespace

void JournalSink::sendSummary(const JournalPace::Summary& summary)
{
    std::map<std::string, std::uint64_t> byName;
    std::string counts;
    for (const auto& [kind, count] : summary.byKind) {
        byName[alertKindName(kind)] += count;
        counts += std::string(counts.empty() ? "" : ", ") + alertKindName(kind) + " " + std::to_string(count);
    }
    const std::string text = std::to_string(summary.total)
        + " alerts of the last second are not in the journal one by one (at most "
        + std::to_string(JournalPace::kEntriesPerSecond) + " a second): " + counts;
    std::vector<std::string> fields {
        "MESSAGE="
            + (format_ == alertText
                    ? text
                    : alertsNotLoggedJson(summary.total, byName, std::chrono::system_clock::now(), text)),
        "PRIORITY=4",  // LOG_WARNING, as the alerts it stands for
        "SYSLOG_IDENTIFIER=tevra-watch",
        "TEVRA_KIND=alerts-not-logged",
        "TEVRA_COUNT=" + std::to_string(summary.total),
    };
    for (const auto& [name, count] : byName)
        fields.push_back(countField(name) + "=" + std::to_string(count));
    sendFields(fields);
}

void JournalSink::deliver(const Alert& alert)
{
    const TimePoint now = std::chrono::steady_clock::now();
    service(now);
    if (!pace_.admit(alert.kind, now))
        return;
    std::vector<std::string> fields {
        "MESSAGE=" + format_(alert),
        "PRIORITY=4",  // LOG_WARNING
        "SYSLOG_IDENTIFIER=tevra-watch",
        "TEVRA_SERIAL=" + std::to_string(alert.serial),
        std::string("TEVRA_KIND=") + alertKindName(alert.kind),
        "TEVRA_ADDRESS=" + addressText(alert.address),
    };
    if (alert.mac)
        fields.push_back("TEVRA_MAC=" + macText(alert.mac->data()));
    if (alert.previousMac)
        fields.push_back("TEVRA_PREVIOUS_MAC=" + macText(alert.previousMac->data()));
    if (alert.vendor)
        fields.push_back("TEVRA_VENDOR=" + *alert.vendor);
    if (alert.interface)
        fields.push_back("TEVRA_INTERFACE=" + *alert.interface);
    if (alert.secondAddress)
        fields.push_back("TEVRA_SECOND_ADDRESS=" + addressText(*alert.secondAddress));
    if (alert.gateway)
        fields.push_back("TEVRA_GATEWAY=" + addressText(*alert.gateway));
    if (alert.previousGateway)
        fields.push_back("TEVRA_PREVIOUS_GATEWAY=" + addressText(*alert.previousGateway));
    if (alert.router)
        fields.push_back(std::string("TEVRA_ROUTER=") + (*alert.router ? "1" : "0"));
    if (alert.wasRouter)
        fields.push_back(std::string("TEVRA_WAS_ROUTER=") + (*alert.wasRouter ? "1" : "0"));
    std::vector<iovec> vector;
    for (std::string& field : fields)
        vector.push_back({ field.data(), field.size() });
    const int result = sd_journal_sendv(vector.data(), int(vector.size()));
    if (result >= 0)
        return;
    if (!toldFallback_)
        std::fprintf(err_, "tevra-watch: the journal did not take an alert (%s); printing them instead\n",
            std::strerror(-result));
    toldFallback_ = true;
    fallback_->deliver(alert);
}

}  // namespace tevra::cli
