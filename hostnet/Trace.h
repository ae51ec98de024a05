// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tevra::hostnet {

// The host layer's account of what it could not follow (lost or unreadable
// notifications, overruns, whole reads made to recover), so that a missing
// alert can be explained. Off unless the environment variable TEVRA_TRACE
// names the topic ("netlink"; several are separated by commas). Each line goes
// to stderr and to the sink a program installs, such as the journal.

// Whether lines of `topic` are written.
bool tracing(std::string_view topic);
// Writes one line of `topic` when it is traced.
void trace(std::string_view topic, const std::string& line);

using TraceSink = std::function<void(std::string_view topic, const std::string& line)>;
// Also hands every traced line to `sink`; an empty one removes it.
void setTraceSink(TraceSink sink);

}  // namespace tevra::hostnet
