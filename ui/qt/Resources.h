// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

namespace tevra {

// The application's id on the desktop: the name of its desktop entry
// (res/org.example.tevra.desktop) and of its installed icon.
inline constexpr char kApplicationId[] = "org.example.tevra";

// Compiled-in pictures (res/icons, res/pictures).
inline constexpr char kAppIconPath[] = ":/icons/tevra.png";  // 48 px; -32 and -16 beside it
inline constexpr char kAppIcon32Path[] = ":/icons/tevra-32.png";
inline constexpr char kAppIcon16Path[] = ":/icons/tevra-16.png";
// The application icon with a white diagonal cross, 32 px: the alerted look.
inline constexpr char kWarningIconPath[] = ":/icons/warning.png";
inline constexpr char kCheckImagePath[] = ":/icons/check.png";  // 16 px row image: no alert
inline constexpr char kCrossImagePath[] = ":/icons/cross.png";  // 16 px row image: alerted
inline constexpr char kSplashPicturePath[] = ":/pictures/splash.png";  // 320 x 240

// The application icon with its 48, 32 and 16 pixel images.
QIcon applicationIcon();

}  // namespace tevra
