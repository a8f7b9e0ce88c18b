#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/Clock.h"
#include "vocabulary/Windows1252.h"

namespace rheo {
namespace {

// The user's LC_TIME locale. Where none is set (the C or POSIX locale), a fixed day/month/year
// date with four-digit year and a 24-hour time with seconds.
locale_t UserTimeLocale() {
    static locale_t locale = [] {
        locale_t l = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(0));
        return l;
    }();
    return locale;
}

bool IsPlainLocale() {
    const char* name = nullptr;
    if (const char* all = std::getenv("LC_ALL"); all != nullptr && *all) {
        name = all;
    } else if (const char* time = std::getenv("LC_TIME"); time != nullptr && *time) {
        name = time;
    } else if (const char* lang = std::getenv("LANG"); lang != nullptr && *lang) {
        name = lang;
    }
    return name == nullptr || std::strcmp(name, "C") == 0 || std::strcmp(name, "POSIX") == 0 ||
           std::strncmp(name, "C.", 2) == 0 || UserTimeLocale() == static_cast<locale_t>(0);
}

// The texts of the current second, formatted once per second: the decoder asks for the date
// twice per message, and formatting is dearer than decoding the message.
class SecondCache {
  public:
    struct Formats {
        const char* user;      // in the user's locale
        const char* plain;     // where the user has none
        const char* extended;  // ISO 8601, extended and basic forms
        const char* basic;
    };

    explicit SecondCache(const Formats& formats) : formats_(formats) {}

    Text Get(std::string_view separator) {
        std::lock_guard<std::mutex> lock(mutex_);
        return Current().For(separator);
    }

    Text Extended() {
        std::lock_guard<std::mutex> lock(mutex_);
        return Current().extended;
    }

  private:
    const ClockTexts& Current() {
        const std::time_t now = std::time(nullptr);
        if (now != second_ || texts_.extended.empty()) {
            second_ = now;
            texts_ = Format(now);
        }
        return texts_;
    }

    ClockTexts Format(std::time_t now) const {
        static const bool plain = IsPlainLocale();
        std::tm local{};
        localtime_r(&now, &local);
        char buffer[128];
        const auto format = [&](const char* pattern) {
            return std::string_view(buffer, std::strftime(buffer, sizeof buffer, pattern, &local));
        };
        ClockTexts texts;
        texts.extended = format(formats_.extended);
        texts.basic = format(formats_.basic);
        // The user's locale writes UTF-8; a character that Windows-1252 lacks, or a byte that is
        // no UTF-8, becomes a "?" of its own, which tells that the text lost something.
        const std::string_view user =
            plain ? format(formats_.plain)
                  : std::string_view(buffer, strftime_l(buffer, sizeof buffer, formats_.user,
                                                        &local, UserTimeLocale()));
        Text converted = Utf8ToWindows1252(user);
        if (!user.empty() && std::count(converted.begin(), converted.end(), '?') ==
                                 std::count(user.begin(), user.end(), '?')) {
            texts.user = std::move(converted);
        }
        return texts;
    }

    Formats formats_;
    std::mutex mutex_;
    std::time_t second_ = 0;
    ClockTexts texts_;
};

SecondCache& DateCache() {
    static SecondCache cache({"%x", "%d/%m/%Y", "%Y-%m-%d", "%Y%m%d"});
    return cache;
}

}  // namespace

Text SystemClock::DateText() const {
    return DateCache().Get(configuration_.FieldSeparator);
}

Text SystemClock::IsoDateText() const {
    return DateCache().Extended();
}

Text SystemClock::TimeText() const {
    static SecondCache cache({"%X", "%H:%M:%S", "%H:%M:%S", "%H%M%S"});
    return cache.Get(configuration_.FieldSeparator);
}

}  // namespace rheo
