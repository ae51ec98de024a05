#pragma once

#include "engine/ActionFailure.h"

#include <string>
#include <vector>

namespace tevra::win32 {

// The message box text of a command whose actions failed, as the Qt window
// words it: `what`, each failure with its reason (the first ten, and how many
// more) and, when the system refused for want of rights, that the action
// needs administrator rights.
std::string actionFailureText(const std::string& what, const std::vector<ActionFailure>& failures);

}  // namespace tevra::win32
