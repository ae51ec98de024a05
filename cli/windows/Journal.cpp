// SPDX-License-Identifier: GPL-3.0-or-later
// Windows has no journal: no output stream of ours is ever one, so alerts go
// to the stream itself.
#include "cli/Journal.h"

namespace tevra::cli {

bool isJournalStream(std::FILE*)
{
    return false;
}

bool journalSocketPresent()
{
    return false;
}

bool journalDebug(std::string_view, const std::string&)
{
    return false;
}

JournalSink::JournalSink(AlertFormat format, std::unique_ptr<AlertSink> fallback, std::FILE* err)
    : format_(format)
    , fallback_(std::move(fallback))
    , err_(err)
{
}

JournalSink::~JournalSink() = default;

void JournalSink::deliver(const Alert& alert)
{
    fallback_->deliver(alert);
}

void JournalSink::service(TimePoint)
{
}

void JournalSink::sendSummary(const JournalPace::Summary&)
{
}

}  // namespace tevra::cli
