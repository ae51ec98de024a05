// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <string>

namespace tevra {

// The window's timings: the splash shows the version line for 1000 ms and the
// web address for 400 ms, then the refresh timer ticks every 1500 ms.
inline constexpr int kRefreshTimerId = 1;
inline constexpr int kRefreshPeriodMs = 1500;
inline constexpr int kVersionPauseMs = 1000;
inline constexpr int kAddressPauseMs = 400;

inline constexpr const char* kWebAddress = "https://tevra.example.org";

// The splash screen's first line: "Tevra Version <version>".
std::string splashVersionLine();

// A place on a dialog, in dialog units.
struct DialogRect {
    int x;
    int y;
    int width;
    int height;
};

// One static line of the about box, placed as on the dialog's drawing board.
struct AboutLine {
    const char* text;
    DialogRect where;
};

inline constexpr const char* kAboutTitle = "About Tevra";
// "Tevra v", then the version right after it on the same line.
inline constexpr AboutLine kAboutProduct { "Tevra v", { 232, 7, 22, 8 } };
inline constexpr std::array<AboutLine, 7> kAboutLines { {
    { "The Tevra developers", { 232, 23, 86, 8 } },
    { "https://tevra.example.org", { 232, 33, 75, 8 } },
    { "tevra@example.org", { 232, 43, 75, 8 } },
    { "Credits:", { 232, 113, 26, 8 } },
    { "The IEEE Registration Authority", { 232, 124, 72, 8 } },
    { "https://standards.ieee.org/", { 245, 134, 135, 8 } },
    { "the OUI vendor list", { 245, 143, 74, 8 } },
} };

}  // namespace tevra
