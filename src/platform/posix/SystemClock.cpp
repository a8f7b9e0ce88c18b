#include <clocale>
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

// The text of the current second, formatted once per second: the decoder asks for the date
// twice per message, and formatting is dearer than decoding the message.
class SecondCache {
  public:
    SecondCache(const char* userFormat, const char* plainFormat)
        : userFormat_(userFormat), plainFormat_(plainFormat) {}

    Text Get() {
        const std::time_t now = std::time(nullptr);
        std::lock_guard<std::mutex> lock(mutex_);
        if (now != second_ || text_.empty()) {
            second_ = now;
            text_ = Format(now);
        }
        return text_;
    }

  private:
    Text Format(std::time_t now) const {
        static const bool plain = IsPlainLocale();
        std::tm local{};
        localtime_r(&now, &local);
        char buffer[128];
        const std::size_t length =
            plain ? std::strftime(buffer, sizeof buffer, plainFormat_, &local)
                  : strftime_l(buffer, sizeof buffer, userFormat_, &local, UserTimeLocale());
        return Utf8ToWindows1252(std::string_view(buffer, length));
    }

    const char* userFormat_;
    const char* plainFormat_;
    std::mutex mutex_;
    std::time_t second_ = 0;
    Text text_;
};

}  // namespace

Text SystemClock::DateText() const {
    static SecondCache cache("%x", "%d/%m/%Y");
    return cache.Get();
}

Text SystemClock::TimeText() const {
    static SecondCache cache("%X", "%H:%M:%S");
    return cache.Get();
}

}  // namespace rheo
