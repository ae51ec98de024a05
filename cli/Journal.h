// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/AlertOutput.h"
#include "cli/JournalPace.h"

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace tevra::cli {

// Whether `stream` is the journal: systemd names the stream it connected a
// service's output to in JOURNAL_STREAM ("device:inode"). An inherited
// variable whose stream was redirected elsewhere does not match.
bool isJournalStream(std::FILE* stream);

// Whether the journal's socket is there. libsystemd drops entries silently
// when it is not; then the output stream is the only way left.
bool journalSocketPresent();

// One line of the host layer's trace as a journal entry at debug priority;
// false when the journal did not take it.
bool journalDebug(std::string_view topic, const std::string& line);

// Each alert as a journal entry at warning priority with its own fields
// (TEVRA_KIND, TEVRA_ADDRESS, TEVRA_MAC, TEVRA_PREVIOUS_MAC, ...); its message
// is the line the stream output would print. An alert the journal does not
// take goes to `fallback`, and `err` is told once. Past JournalPace's rate,
// alerts are counted instead, and each second's count becomes one entry of
// kind "alerts-not-logged" (TEVRA_COUNT, TEVRA_COUNT_<KIND>), said at the
// latest at the end.
class JournalSink : public AlertSink {
public:
    JournalSink(AlertFormat format, std::unique_ptr<AlertSink> fallback, std::FILE* err);
    ~JournalSink() override;
    JournalSink(const JournalSink&) = delete;
    JournalSink& operator=(const JournalSink&) = delete;

    void deliver(const Alert& alert) override;
    std::optional<TimePoint> dueAt() const override { return pace_.dueAt(); }
    void service(TimePoint now) override;

private:
    void sendSummary(const JournalPace::Summary& summary);

    AlertFormat format_;
    std::unique_ptr<AlertSink> fallback_;
    std::FILE* err_;
    bool toldFallback_ = false;
    JournalPace pace_;
};

}  // namespace tevra::cli
