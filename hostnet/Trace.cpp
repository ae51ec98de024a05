// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/Trace.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace tevra::hostnet {
namespace {

struct TraceState {
    std::mutex lock;
    TraceSink sink;
};

TraceState& state()
{
    static TraceState traceState;
    return traceState;
}

// Read once: the environment is the program's start-up setting, not a switch.
const std::string& tracedTopics()
{
    static const std::string topics = [] {
        const char* value = std::getenv("TEVRA_TRACE");
        return std::string(value != nullptr ? value : "");
    }();
    return topics;
}

}  // namespace

bool tracing(std::string_view topic)
{
    std::string_view rest = tracedTopics();
    while (!rest.empty()) {
        const std::size_t comma = rest.find(',');
        if (rest.substr(0, comma) == topic || rest.substr(0, comma) == "all")
            return true;
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return false;
}

void trace(std::string_view topic, const std::string& line)
{
    if (!tracing(topic))
        return;
    TraceState& traceState = state();
    const std::lock_guard guard(traceState.lock);
    std::fprintf(
        stderr, "tevra trace: %.*s: %s\n", static_cast<int>(topic.size()), topic.data(), line.c_str());
    if (traceState.sink)
        traceState.sink(topic, line);
}

void setTraceSink(TraceSink sink)
{
    TraceState& traceState = state();
    const std::lock_guard guard(traceState.lock);
    traceState.sink = std::move(sink);
}

}  // namespace tevra::hostnet
