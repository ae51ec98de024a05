// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "cli/WaitHandle.h"

#include <windows.h>

#include <cstdint>

namespace tevra::cli {

// A handle as the loop carries it, and back, whole.
inline WaitHandle waitHandle(HANDLE handle)
{
    return WaitHandle { reinterpret_cast<std::intptr_t>(handle) };
}

inline HANDLE nativeHandle(WaitHandle handle)
{
    return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(handle));
}

}  // namespace tevra::cli
