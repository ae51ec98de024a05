#pragma once

#include "cli/Alert.h"
#include "engine/MappingEntry.h"
#include "engine/NetworkConfig.h"

#include <string>

namespace tevra::cli {

// One alert as a single line of JSON, without the line end.
std::string alertJson(const Alert& alert);

// One mapping list row as a single line of JSON, without the line end.
std::string mappingJson(const MappingEntry& entry, const NetworkConfig& networkConfig);

}  // namespace tevra::cli
