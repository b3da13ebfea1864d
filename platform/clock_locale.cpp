#include "platform/clock_locale.h"

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <ctime>

namespace korvane::platform {
namespace {

// The number of days from 1 January 1970 to a date of the proleptic Gregorian calendar.
long long DaysFromCivil(long long year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const long long era = (year >= 0 ? year : year - 399) / 400;
  const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

class SystemImpl final : public ClockLocale {
 public:
  double NowDateTime() const override {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr)
      return 0;
    return DateTimeFromCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                             local.tm_min, local.tm_sec);
  }

  std::string TimeSettingText() const override {
    // The process's own LC_TIME may never have been set (it stays "C" unless the program calls
    // setlocale), so ask for the locale the environment names, without touching global state.
    locale_t user = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr))
      user = newlocale(LC_TIME_MASK, "C", static_cast<locale_t>(nullptr));
    if (user == static_cast<locale_t>(nullptr))
      return {};
    std::string setting = TimeSettingFromTimeFormat(nl_langinfo_l(T_FMT, user));
    freelocale(user);
    return setting;
  }
};

std::atomic<const ClockLocale*> g_override{nullptr};

}  // namespace

const ClockLocale& SystemClockLocale() {
  static const SystemImpl system;
  return system;
}

const ClockLocale& CurrentClockLocale() {
  const ClockLocale* replacement = g_override.load();
  return replacement != nullptr ? *replacement : SystemClockLocale();
}

ScopedClockLocale::ScopedClockLocale(const ClockLocale& replacement)
    : previous_(g_override.exchange(&replacement)) {}

ScopedClockLocale::~ScopedClockLocale() {
  g_override.store(previous_);
}

std::string TimeSettingFromTimeFormat(std::string_view timeFormat) {
  for (size_t at = 0; at < timeFormat.size(); ++at) {
    if (timeFormat[at] != '%')
      continue;
    ++at;
    // Flags, a field width and the E/O modifiers may stand between % and the field letter.
    while (at < timeFormat.size() &&
           std::string_view("_-0^#+123456789EO").find(timeFormat[at]) != std::string_view::npos) {
      ++at;
    }
    if (at >= timeFormat.size())
      break;
    switch (timeFormat[at]) {
      case 'H':
      case 'k':
      case 'T':
      case 'R':
        return "1";
      case 'I':
      case 'l':
      case 'r':
        return "0";
      default:
        break;  // "%%" and every other field: go on after it
    }
  }
  return {};
}

double DateTimeFromCivil(int year, int month, int day, int hour, int minute, int second) {
  const long long days =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
      DaysFromCivil(1899, 12, 30);
  const double seconds = hour * 3600.0 + minute * 60.0 + second;
  // Before the epoch the fraction counts forward from the (negative) day's midnight as well:
  // -1.25 is 29 December 1899, 06:00.
  if (days < 0)
    return static_cast<double>(days) - seconds / 86400.0;
  return static_cast<double>(days) + seconds / 86400.0;
}

}  // namespace korvane::platform
