// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/win32/WideText.h"

#include <windows.h>

namespace tevra::win32 {

std::wstring wideFromUtf8(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(std::size_t(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), size);
    return wide;
}

std::string utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size
        = WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(std::size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

}  // namespace tevra::win32
