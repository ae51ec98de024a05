// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

namespace tevra::cli {

// Something the watch loop can wait on, as the system names it: a descriptor
// that turns readable on Linux, a handle that turns signalled on Windows.
// Pointer-sized, so that a Windows handle travels whole, and a type of its
// own, so that it is never taken for a number; only the system's files
// (linux/, windows/) make one or look inside.
enum class WaitHandle : std::intptr_t { None = -1 };

// The handle of a descriptor the host interface gives (its change feed);
// None for -1.
WaitHandle descriptorWaitHandle(int descriptor);

}  // namespace tevra::cli
