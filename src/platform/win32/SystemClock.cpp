#include "platform/Clock.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

namespace rheo {
namespace {

// Both calls take the same arguments: ask for the length first, then fill a buffer of that size.
// The result is in the ANSI code page, the engine's own text.
using FormatFunction = int(WINAPI*)(LCID, DWORD, const SYSTEMTIME*, LPCSTR, LPSTR, int);

Text Format(FormatFunction format, DWORD flags) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int needed = format(LOCALE_USER_DEFAULT, flags, &now, nullptr, nullptr, 0);
    if (needed <= 0) {
        return {};
    }
    Text text(static_cast<std::size_t>(needed), '\0');
    const int written = format(LOCALE_USER_DEFAULT, flags, &now, nullptr, text.data(), needed);
    if (written <= 0) {
        return {};
    }
    text.resize(static_cast<std::size_t>(written) - 1);  // the count includes the closing zero
    return text;
}

}  // namespace

// The user's short date format (Control Panel, Region).
Text SystemClock::DateText() const {
    return Format(GetDateFormatA, DATE_SHORTDATE);
}

// The user's time format, with hours, minutes and seconds.
Text SystemClock::TimeText() const {
    return Format(GetTimeFormatA, 0);
}

}  // namespace rheo
