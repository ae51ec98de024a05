// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostnet/windows/WindowsText.h"

namespace tevra::hostnet {

std::string systemMessage(DWORD code)
{
    char text[512];
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
        code, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == ' ' || text[length - 1] == '\r' || text[length - 1] == '\n'))
        --length;
    const std::string number = "error " + std::to_string(code);
    return length == 0 ? number : utf8FromAnsi({ text, length }) + " (" + number + ")";
}

std::string utf8FromAnsi(std::string_view ansi)
{
    if (ansi.empty())
        return {};
    const int size = static_cast<int>(ansi.size());
    const int wideLength = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), wideLength);
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

}  // namespace tevra::hostnet
