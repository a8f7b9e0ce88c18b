#include <cstdio>

#include "platform/Clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace rheo {
namespace {

constexpr UINT kWindows1252 = 1252;

// Both calls take the same arguments: ask for the length first, then fill a buffer of that size.
// They are asked in UTF-16 and the result put in Windows-1252, the engine's own text, whatever
// the ANSI code page; none when the call fails or a character has no byte in Windows-1252.
using FormatFunction = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCWSTR, LPWSTR, int);

std::optional<Text> UserText(FormatFunction format, DWORD flags, const SYSTEMTIME& now) {
    const int needed = format(LOCALE_USER_DEFAULT, flags, &now, nullptr, nullptr, 0);
    if (needed <= 1) {
        return std::nullopt;
    }
    std::wstring wide(static_cast<std::size_t>(needed), L'\0');
    const int written = format(LOCALE_USER_DEFAULT, flags, &now, nullptr, wide.data(), needed);
    if (written <= 1) {
        return std::nullopt;
    }
    const int length = written - 1;  // the count includes the closing zero
    BOOL lost = FALSE;
    const int bytes = WideCharToMultiByte(kWindows1252, WC_NO_BEST_FIT_CHARS, wide.data(), length,
                                          nullptr, 0, nullptr, &lost);
    if (bytes <= 0 || lost) {
        return std::nullopt;
    }
    Text text(static_cast<std::size_t>(bytes), '\0');
    if (WideCharToMultiByte(kWindows1252, WC_NO_BEST_FIT_CHARS, wide.data(), length, text.data(),
                            bytes, nullptr, &lost) != bytes ||
        lost) {
        return std::nullopt;
    }
    return text;
}

Text Numbers(const char* pattern, unsigned first, unsigned second, unsigned third) {
    char buffer[32];
    const int length = std::snprintf(buffer, sizeof buffer, pattern, first, second, third);
    return Text(buffer, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace

// The user's short date format (Control Panel, Region).
Text SystemClock::DateText() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const ClockTexts texts{UserText(GetDateFormatW, DATE_SHORTDATE, now),
                           Numbers("%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay),
                           Numbers("%04u%02u%02u", now.wYear, now.wMonth, now.wDay)};
    return texts.For(configuration_.FieldSeparator);
}

Text SystemClock::IsoDateText() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return Numbers("%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
}

// The user's time format, with hours, minutes and seconds.
Text SystemClock::TimeText() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const ClockTexts texts{UserText(GetTimeFormatW, 0, now),
                           Numbers("%02u:%02u:%02u", now.wHour, now.wMinute, now.wSecond),
                           Numbers("%02u%02u%02u", now.wHour, now.wMinute, now.wSecond)};
    return texts.For(configuration_.FieldSeparator);
}

}  // namespace rheo
