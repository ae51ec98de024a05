#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tevra::hostnet {

// Starts `arguments[0]` (looked up on PATH) with the rest as its arguments,
// input and output on /dev/null, and returns without waiting for it. The
// program is started by a short-lived intermediate child that exits at once,
// so it is adopted by init (or the nearest subreaper) and never becomes a
// zombie of ours; the caller's signal handlers are not touched. 0 when the
// program was started, -1 when it could not be.
std::int32_t startDetachedProcess(const std::vector<std::string>& arguments);

}  // namespace tevra::hostnet
