#include "cli/AlertOutput.h"

namespace tevra::cli {

std::string alertText(const Alert& alert)
{
    return alert.line;
}

StreamSink::StreamSink(std::FILE* stream, AlertFormat format)
    : stream_(stream)
    , format_(format)
{
}

void StreamSink::deliver(const Alert& alert)
{
    const std::string text = format_(alert) + '\n';
    std::fwrite(text.data(), 1, text.size(), stream_);
    std::fflush(stream_);
}

AlertOutput::AlertOutput(IgnoreList ignore)
    : ignore_(std::move(ignore))
{
}

void AlertOutput::add(std::unique_ptr<AlertSink> sink)
{
    sinks_.push_back(std::move(sink));
}

void AlertOutput::deliver(const Alert& alert) const
{
    if (ignore_.matches(alert.address, alert.mac))
        return;
    for (const auto& sink : sinks_)
        sink->deliver(alert);
}

}  // namespace tevra::cli
