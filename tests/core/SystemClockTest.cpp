// The user's date and time texts in real locales, through rheotrack-replay without --date and
// --time (the locale is read once per process): the session-file row and the event-log line
// stay whole. A locale the system lacks is built with localedef into a temporary LOCPATH.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <regex>

#include "support/Fakes.h"

namespace rheo {
namespace {

TEST(SystemClockTest, TextsThatWouldBreakARowAreIsoForms) {
    const std::string isoDate = R"(\d{4}-\d\d-\d\d)", isoTime = R"(\d\d:\d\d:\d\d)";
    const std::string hkTime = R"((0\d|1[0-2]):\d\d:\d\d [AP]M UTC)";
    const struct {
        std::string locale, separator, date, time;
    } cases[] = {
        {"", ",", R"(\d\d/\d\d/\d{4})", isoTime},  // the C locale, as before
        {"en_US", ",", R"(\d\d/\d\d/\d{4})", R"((0\d|1[0-2]):\d\d:\d\d [AP]M)"},
        {"en_HK", ",", isoDate, hkTime},  // "Monday, December 07, 2026" holds the separator
        {"en_HK", ";", R"([A-Z][a-z]+day, [A-Z][a-z]+ \d\d, \d{4})", hkTime},
        {"ar_EG", ",", isoDate, isoTime},     // Arabic month and hour letters
        {"ja_JP", ",", isoDate, isoTime},     // CJK signs after the numbers
        {"ja_JP", "-", R"(\d{8})", isoTime},  // the separator in the ISO date too
    };
    test::TempDir dir;
    const std::string in = dir.File("in"), out = dir.File("out"), log = dir.File("log");
    test::WriteFile(in, test::Message());
    for (const auto& c : cases) {
        SCOPED_TRACE(c.locale + " " + c.separator);
        const std::string name = c.locale + ".UTF-8", built = dir.File(name);
        std::string environment = "TZ=UTC";
        if (locale_t installed = newlocale(LC_TIME_MASK, name.c_str(), locale_t{})) {
            freelocale(installed);
            environment += " LC_ALL=" + name;
        } else if (!c.locale.empty()) {
            if (!std::filesystem::exists(built + "/LC_TIME")) {  // localedef may warn and build
                std::system(("localedef -i " + c.locale + " -f UTF-8 " + built + " >/dev/null 2>&1")
                                .c_str());
            }
            if (!std::filesystem::exists(built + "/LC_TIME")) {
                GTEST_SKIP() << "no locale " << name << ", and localedef cannot build it: the "
                             << "locale sources (Debian package locales) are missing";
            }
            environment += " LOCPATH=" + dir.Path().string() + " LC_ALL=" + name;
        }
        test::WriteFile(dir.File("vcfg"), "csv\r\n" + c.separator + "\r\n.\r\n");
        std::filesystem::remove(log);
        ASSERT_EQ(std::system(("env -u LANG -u LC_ALL -u LC_TIME -u LOCPATH " + environment +
                               " " RHEO_REPLAY_TOOL " --config " + dir.File("vcfg") + " --output " +
                               out + " --log " + log + " " + in)
                                  .c_str()),
                  0);
        std::string row = c.date;
        for (const char* field :
             {"14:05:33", "LCP", "100", "27\\.5", "", "00001250", "", "10\\.2"}) {
            row += c.separator + field;
        }
        const std::string rows = test::ReadFile(out), entry = test::ReadFile(log);
        EXPECT_TRUE(std::regex_match(rows, std::regex("Date[^\n]*\n" + row + "\r\n"))) << rows;
        EXPECT_TRUE(
            std::regex_match(entry, std::regex(c.date + " " + c.time + " Start of process\r\n")))
            << entry;
    }
}

}  // namespace
}  // namespace rheo
