#include "platform/clock_locale.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace korvane::platform {
namespace {

TEST(ClockLocale, TimeSettingFromTimeFormat) {
  struct Case {
    const char* format;
    const char* expected;
  };
  // C and de_DE ("%H:%M:%S", "%T"), zh_CN, alternative digits ("%OH"), en_US ("%r"), 12-hour
  // with a flag ("%-I"); the first hour field decides, and "%%" is a percent sign.
  const Case cases[] = {
      {"%H:%M:%S", "1"}, {"%T", "1"},     {"%H时%M分%S秒", "1"}, {"%k:%M", "1"},     {"%R", "1"},
      {"%OH:%OM", "1"},  {"%r", "0"},     {"%I:%M:%S %p", "0"},  {"%-I:%M %p", "0"}, {"%l:%M", "0"},
      {"%p %I:%M", "0"}, {"%%H %I", "0"}, {"%M:%S", ""},         {"", ""},           {"%", ""},
      {"%O", ""},
  };

  for (const auto& c : cases)
    EXPECT_EQ(TimeSettingFromTimeFormat(c.format), c.expected) << c.format;
}

// Runs `body` with LC_ALL set to `value`, restoring the environment afterwards.
template <typename Body>
void WithLcAll(const char* value, Body body) {
  const char* old = std::getenv("LC_ALL");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("LC_ALL", value, 1);
  body();
  if (saved)
    setenv("LC_ALL", saved->c_str(), 1);
  else
    unsetenv("LC_ALL");
}

TEST(ClockLocale, SystemSettingFollowsTheEnvironmentsLocale) {
  // The C locale writes times as %H:%M:%S; a locale that is not installed falls back to it.
  WithLcAll("C", [] { EXPECT_EQ(SystemClockLocale().TimeSettingText(), "1"); });
  WithLcAll("xx_NOWHERE.UTF-8", [] { EXPECT_EQ(SystemClockLocale().TimeSettingText(), "1"); });
}

TEST(ClockLocale, SystemClockIsLocalTimeInWholeSeconds) {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ASSERT_NE(localtime_r(&now, &local), nullptr);
  const double expected = DateTimeFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                            local.tm_hour, local.tm_min, local.tm_sec);
  const double reading = SystemClockLocale().NowDateTime();
  EXPECT_GE(reading, expected);
  EXPECT_LE(reading - expected, 2.0 / 86400);
}

TEST(ClockLocale, DateTimeFromCivil) {
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(1899, 12, 30, 0, 0, 0), 0.0);
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(1899, 12, 29, 6, 0, 0), -1.25);
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(1900, 1, 1, 12, 0, 0), 2.5);
  EXPECT_NEAR(DateTimeFromCivil(2024, 3, 5, 14, 7, 9), 45356.58829861111, 1e-9);
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(100, 1, 1, 0, 0, 0), -657434.0);
  EXPECT_DOUBLE_EQ(DateTimeFromCivil(9999, 12, 31, 0, 0, 0), 2958465.0);
}

class Fixed final : public ClockLocale {
 public:
  explicit Fixed(double now) : now_(now) {}
  double NowDateTime() const override { return now_; }
  std::string TimeSettingText() const override { return "0"; }

 private:
  double now_;
};

TEST(ClockLocale, ScopesNestAndRestore) {
  const ClockLocale* system = &SystemClockLocale();
  EXPECT_EQ(&CurrentClockLocale(), system);
  Fixed outer(1.0);
  Fixed inner(2.0);
  {
    ScopedClockLocale a(outer);
    EXPECT_EQ(CurrentClockLocale().NowDateTime(), 1.0);
    {
      ScopedClockLocale b(inner);
      EXPECT_EQ(CurrentClockLocale().NowDateTime(), 2.0);
    }
    EXPECT_EQ(CurrentClockLocale().NowDateTime(), 1.0);
  }
  EXPECT_EQ(&CurrentClockLocale(), system);
}

}  // namespace
}  // namespace korvane::platform
