#pragma once

#include "engine/ActionFailure.h"

#include <QString>

#include <vector>

namespace tevra {

// The text of the one message box a command shows when actions of it failed:
// `what` ("Could not flush the system cache:"), then each failure with its
// reason (the first ten, and how many more), and, when the system refused for
// want of rights, that the action needs administrator rights.
QString actionFailureText(const QString& what, const std::vector<ActionFailure>& failures);

}  // namespace tevra
