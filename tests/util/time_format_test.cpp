#include "util/time_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "platform/clock_locale.h"

namespace korvane {
namespace {

// A clock that reads a fixed moment and a locale whose clock setting a test chooses.
class FakeClockLocale final : public platform::ClockLocale {
 public:
  FakeClockLocale(std::string setting, double now) : setting_(std::move(setting)), now_(now) {}
  double NowDateTime() const override { return now_; }
  std::string TimeSettingText() const override { return setting_; }

 private:
  std::string setting_;
  double now_;
};

constexpr double kExample = 45356.58829861111;  // 5 March 2024, 14:07:09

// Every cell of the styles-by-parts table for the example moment, hours written as "HH".
const char* const kExampleTable[4][6] = {
    {"2024年03月05日 HH时07分09秒", "2024年03月05日", "03月05日", "HH时07分09秒", "HH时07分",
     "07分09秒"},
    {"2024-03-05 HH:07:09", "2024-03-05", "03-05", "HH:07:09", "HH:07", "07:09"},
    {"2024/03/05 HH/07/09", "2024/03/05", "03/05", "HH/07/09", "HH/07", "07/09"},
    {"20240305HH0709", "20240305", "0305", "HH0709", "HH07", "0709"},
};

std::string WithHour(std::string cell, const std::string& hour) {
  const size_t at = cell.find("HH");
  if (at != std::string::npos)
    cell.replace(at, 2, hour);
  return cell;
}

TEST(FormatTime, ExampleTableOnBothClocks) {
  for (const auto& [setting, hour] : {std::pair{"1", "14"}, std::pair{"0", "02"}}) {
    FakeClockLocale locale(setting, 0);
    platform::ScopedClockLocale scope(locale);
    for (int style = 0; style < 4; ++style) {
      for (int part = 0; part < 6; ++part) {
        EXPECT_EQ(FormatTime(kExample, style, part), WithHour(kExampleTable[style][part], hour))
            << "setting " << setting << " style " << style << " part " << part;
      }
    }
  }
}

TEST(FormatTime, OutOfRangeStyleAndPartFallBack) {
  FakeClockLocale locale("1", 0);
  platform::ScopedClockLocale scope(locale);
  for (int style : {4, -1, 1000})
    EXPECT_EQ(FormatTime(kExample, style, 3), "14时07分09秒") << style;
  for (int part : {6, -1, 1000})
    EXPECT_EQ(FormatTime(kExample, 1, part), "2024-03-05 14:07:09") << part;
  EXPECT_EQ(FormatTime(kExample), "2024年03月05日 14时07分09秒");
}

TEST(FormatTime, MidnightHourOnEachClock) {
  const double justAfterMidnight = 45356.0 + 5.0 / 86400;  // 00:00:05
  for (const auto& [setting, expected] :
       {std::pair{"1", "000005"}, std::pair{"0", "120005"}, std::pair{"", "120005"},
        std::pair{"x1", "120005"}, std::pair{"2", "120005"}}) {
    FakeClockLocale locale(setting, 0);
    platform::ScopedClockLocale scope(locale);
    EXPECT_EQ(FormatTime(justAfterMidnight, 3, 3), expected) << "setting '" << setting << "'";
  }
}

TEST(FormatTime, OmittedTimeReadsTheClockAtTheCall) {
  FakeClockLocale locale("1", kExample);
  platform::ScopedClockLocale scope(locale);
  EXPECT_EQ(FormatTime(std::nullopt, 3, 3), "140709");
  EXPECT_EQ(FormatTime(), "2024年03月05日 14时07分09秒");
}

TEST(FormatTime, SystemClockGivesTheCurrentSecond) {
  // Two readings of the real clock in a row agree to within a second or two.
  const double before = platform::SystemClockLocale().NowDateTime();
  const std::string text = FormatTime(std::nullopt, 1, 0);
  const double after = platform::SystemClockLocale().NowDateTime();
  ASSERT_EQ(text.size(), 19u) << text;
  EXPECT_LE(after - before, 2.0 / 86400);
  EXPECT_EQ(before, std::round(before * 86400) / 86400);  // whole seconds
  EXPECT_GT(before, 45000.0);                             // later than 2023
}

TEST(DateTimeToCalendar, RangeAndRounding) {
  struct Case {
    double value;
    std::optional<CalendarTime> expected;
  };
  const Case cases[] = {
      {0.0, CalendarTime{1899, 12, 30, 0, 0, 0}},
      {0.5, CalendarTime{1899, 12, 30, 12, 0, 0}},
      {-1.25, CalendarTime{1899, 12, 29, 6, 0, 0}},  // fraction counts forward from midnight
      {-1.9999999, CalendarTime{1899, 12, 30, 0, 0, 0}},
      {60.0, CalendarTime{1900, 2, 28, 0, 0, 0}},
      {61.0, CalendarTime{1900, 3, 1, 0, 0, 0}},
      {45351.0, CalendarTime{2024, 2, 29, 0, 0, 0}},
      {45356.99999999, CalendarTime{2024, 3, 6, 0, 0, 0}},  // rounds up into the next day
      {-657434.0, CalendarTime{100, 1, 1, 0, 0, 0}},
      {-657434.5, CalendarTime{100, 1, 1, 12, 0, 0}},
      {2958465.0, CalendarTime{9999, 12, 31, 0, 0, 0}},
      {2958465.9999, CalendarTime{9999, 12, 31, 23, 59, 51}},
      {2958465.999999999, std::nullopt},  // rounds to 1 January 10000
      {2958466.0, std::nullopt},
      {-657435.0, std::nullopt},
      {1e300, std::nullopt},
      {-1e300, std::nullopt},
      {std::numeric_limits<double>::infinity(), std::nullopt},
      {std::numeric_limits<double>::quiet_NaN(), std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DateTimeToCalendar(c.value), c.expected) << c.value;
}

TEST(FormatTime, DatesOutsideTheRangeGiveEmptyText) {
  FakeClockLocale locale("1", 1e300);
  platform::ScopedClockLocale scope(locale);
  EXPECT_EQ(FormatTime(2958466.0, 1, 0), "");
  EXPECT_EQ(FormatTime(-1e18, 3, 3), "");
  EXPECT_EQ(FormatTime(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(FormatTime(), "");  // a clock reading outside the range as well
  EXPECT_EQ(FormatTime(-657434.0, 1, 0), "0100-01-01 00:00:00");
}

TEST(FormatWithPictures, PictureLanguage) {
  const double t = 45356.0 + (9 * 3600 + 4 * 60 + 3) / 86400.0;  // 2024-03-05 09:04:03
  struct Case {
    std::string date, time, expected;
  };
  const Case cases[] = {
      {"yyyy-MM-dd", "", "2024-03-05"},
      {"yy/M/d", "", "24/3/5"},
      {"y", "", "24"},
      {"'yyyy' d", "", "yyyy 5"},  // quoted text is copied
      {"d''d", "", "5'5"},
      {"hh mm ss", "", "hh mm ss"},  // time letters mean nothing in a date picture
      {"", "H:m:s", "9:4:3"},
      {"", "hh tt", "09 "},  // no AM/PM marker
      {"", "yyyy", "yyyy"},
      {"", "", ""},
      {"dd日 ", "HH时", "05日 09时"},
      // The second bytes of these characters are 'd' and 'H': copied, not read as fields.
      {"\xB0\x64", "\xB0H", "\xB0\x64\xB0H"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatWithPictures(t, c.date, c.time), c.expected) << c.date << " | " << c.time;
}

}  // namespace
}  // namespace korvane
