// The clock and the user's clock setting as the time formatting sees them: the current local time
// as a date-time value and the 12/24-hour choice of the user's locale. One real implementation
// reads the system; tests install their own for the length of a scope.
#pragma once

#include <string>
#include <string_view>

namespace korvane::platform {

// What the time formatting asks of the system.
class ClockLocale {
 public:
  virtual ~ClockLocale() = default;

  // The current local time as a date-time value (days since 30 December 1899, the fraction the
  // time of day), in whole seconds.
  virtual double NowDateTime() const = 0;

  // The user's clock setting as text: "1" for a 24-hour clock, "0" for a 12-hour clock, or an
  // empty text when it cannot be read.
  virtual std::string TimeSettingText() const = 0;
};

// The system's clock and locale. The clock is the local wall-clock time (localtime_r). The clock
// setting comes from the time format (nl_langinfo T_FMT) of the LC_TIME locale the environment
// names (LC_ALL, LC_TIME, LANG; the C locale when it names none or one that is not installed).
const ClockLocale& SystemClockLocale();

// The implementation in use: the innermost ScopedClockLocale's, else the system's.
const ClockLocale& CurrentClockLocale();

// Makes `replacement` the implementation in use until the scope ends, then restores the one
// before. Meant for tests; scopes must nest (end in the reverse order of their start).
class ScopedClockLocale {
 public:
  explicit ScopedClockLocale(const ClockLocale& replacement);
  ~ScopedClockLocale();
  ScopedClockLocale(const ScopedClockLocale&) = delete;
  ScopedClockLocale& operator=(const ScopedClockLocale&) = delete;

 private:
  const ClockLocale* previous_;
};

// The clock setting a strftime time format implies: "1" when its first hour field is a 24-hour
// one (%H, %k, %T, %R), "0" when it is a 12-hour one (%I, %l, %r), an empty text when the format
// has no hour field. Modifiers and flags between % and the field letter (%OH, %-I) are allowed.
std::string TimeSettingFromTimeFormat(std::string_view timeFormat);

// The date-time value of a local calendar time given as broken-down fields (month 1 to 12).
double DateTimeFromCivil(int year, int month, int day, int hour, int minute, int second);

}  // namespace korvane::platform
