#pragma once

namespace tevra {

// The one version text, shown by the splash screen, the about box and tevra-watch.
inline constexpr char kVersion[] = "0.1.5";

}  // namespace tevra
