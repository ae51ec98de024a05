// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace tevra {

// One registry's blocks: prefixes ascending, each with the offset of its
// NUL-terminated organisation name in a name pool.
struct RegistryBlocks {
    std::span<const std::uint64_t> prefixes;
    std::span<const std::uint32_t> nameOffsets;
};

// The four lists compiled into the program, as tools/make-vendor-registry.py
// generates them from ieee-data: ready to search, nothing to parse at start.
struct EmbeddedRegistry {
    RegistryBlocks mal;  // MA-L, 24-bit prefixes
    RegistryBlocks mam;  // MA-M, 28 bits
    RegistryBlocks mas;  // MA-S, 36 bits
    RegistryBlocks iab;  // IAB, 36 bits
    const char* names;
    const char* lastUpdate;  // ieee-data's .lastupdate stamp of the lists used
};

const EmbeddedRegistry& embeddedRegistry();

}  // namespace tevra
