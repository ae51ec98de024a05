// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tevra {

// What the user did to the notification-area icon.
enum class TrayClick {
    LeftButtonPress,
    RightButton,
    DoubleClick,
    MiddleButton,
    Other,
};

// The picture in a balloon's corner.
enum class BalloonIcon {
    None,
    Information,
    Warning,
    Error,
};

// The icon's two looks: normal, and warning while an alert is unseen.
enum class TrayPicture { Normal, Warning };

}  // namespace tevra
