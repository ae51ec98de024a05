// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/windows/WideText.h"

namespace tevra::cli {

std::wstring wideFromUtf8(std::string_view utf8)
{
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string utf8FromWide(std::wstring_view wide)
{
    if (wide.empty())
        return {};
    const int size = static_cast<int>(wide.size());
    const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string systemMessage(DWORD code)
{
    wchar_t text[512];
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK, nullptr,
        code, 0, text, sizeof text / sizeof text[0], nullptr);
    while (length > 0 && (text[length - 1] == L' ' || text[length - 1] == L'\r' || text[length - 1] == L'\n'))
        --length;
    return length == 0 ? "error " + std::to_string(code) : utf8FromWide({ text, length });
}

}  // namespace tevra::cli
