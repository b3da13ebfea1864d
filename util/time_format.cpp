#include "util/time_format.h"

#include <array>
#include <cmath>
#include <cstdio>

#include "platform/clock_locale.h"
#include "util/gbk_text.h"

namespace korvane {
namespace {

constexpr long long kFirstDay = -657434;  // 1 January 100
constexpr long long kLastDay = 2958465;   // 31 December 9999

// The proleptic Gregorian date `days` days after 1 January 1970.
void CivilFromDays(long long days, int& year, int& month, int& day) {
  days += 719468;
  const long long era = (days >= 0 ? days : days - 146096) / 146097;
  const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned monthIndex = (5 * dayOfYear + 2) / 153;
  day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
  month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
  year = static_cast<int>(static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0));
}

void AppendNumber(std::string& out, int value, int minDigits) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", minDigits, value);
  out += buffer;
}

// Appends the field that a run of `count` equal picture letters stands for; false when the
// letter is not a field of this kind of picture.
bool AppendField(std::string& out, char letter, size_t count, const CalendarTime& t, bool date) {
  const int width = count >= 2 ? 2 : 1;
  if (date) {
    switch (letter) {
      case 'y':
        if (count >= 3)
          AppendNumber(out, t.year, 4);
        else
          AppendNumber(out, t.year % 100, width);
        return true;
      case 'M':
        AppendNumber(out, t.month, width);
        return true;
      case 'd':
        AppendNumber(out, t.day, width);
        return true;
      default:
        return false;
    }
  }
  switch (letter) {
    case 'h':
      AppendNumber(out, t.hour % 12 == 0 ? 12 : t.hour % 12, width);
      return true;
    case 'H':
      AppendNumber(out, t.hour, width);
      return true;
    case 'm':
      AppendNumber(out, t.minute, width);
      return true;
    case 's':
      AppendNumber(out, t.second, width);
      return true;
    case 't':
      return true;  // the AM/PM marker: never printed
    default:
      return false;
  }
}

std::string ApplyPicture(std::string_view picture, const CalendarTime& t, bool date) {
  std::string out;
  size_t at = 0;
  while (at < picture.size()) {
    const char c = picture[at];
    const size_t length = gbk::CharLength(picture, at);
    if (length == 2) {
      out.append(picture.substr(at, 2));
      at += 2;
    } else if (c == '\'') {
      if (at + 1 < picture.size() && picture[at + 1] == '\'') {
        out.push_back('\'');
        at += 2;
        continue;
      }
      ++at;
      while (at < picture.size() && picture[at] != '\'') {
        const size_t step = gbk::CharLength(picture, at);
        out.append(picture.substr(at, step));
        at += step;
      }
      ++at;  // past the closing quote, if there is one
    } else {
      size_t run = 1;
      while (at + run < picture.size() && picture[at + run] == c)
        ++run;
      if (!AppendField(out, c, run, t, date))
        out.append(picture.substr(at, run));
      at += run;
    }
  }
  return out;
}

struct Pictures {
  std::string_view date, time, monthDay, hoursMinutes, minutesSeconds;
};

constexpr std::array<Pictures, 4> kPictures{{
    {"yyyy年MM月dd日 ", "hh时mm分ss秒", "MM月dd日", "hh时mm分", "mm分ss秒"},
    {"yyyy-MM-dd ", "hh:mm:ss", "MM-dd", "hh:mm", "mm:ss"},
    {"yyyy/MM/dd ", "hh/mm/ss", "MM/dd", "hh/mm", "mm/ss"},
    {"yyyyMMdd", "hhmmss", "MMdd", "hhmm", "mmss"},
}};

std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  size_t at = 0;
  for (size_t found; (found = gbk::FindFromBoundary(text, from, at)) != gbk::npos;) {
    out.append(text.substr(at, found - at));
    out.append(to);
    at = found + from.size();
  }
  out.append(text.substr(at));
  return out;
}

}  // namespace

std::optional<CalendarTime> DateTimeToCalendar(double dateTime) {
  // Reject far-out values before any conversion to an integer type.
  if (!(dateTime > static_cast<double>(kFirstDay - 1) &&
        dateTime < static_cast<double>(kLastDay + 1))) {
    return std::nullopt;
  }
  const double wholeDays = std::trunc(dateTime);
  long long day = static_cast<long long>(wholeDays);
  long long seconds = std::llround(std::fabs(dateTime - wholeDays) * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    ++day;
  }
  if (day < kFirstDay || day > kLastDay)
    return std::nullopt;
  CalendarTime t;
  CivilFromDays(day - 25569, t.year, t.month, t.day);  // day 25569 is 1 January 1970
  t.hour = static_cast<int>(seconds / 3600);
  t.minute = static_cast<int>(seconds / 60 % 60);
  t.second = static_cast<int>(seconds % 60);
  return t;
}

int LocaleTimeSetting() {
  const std::string text = platform::CurrentClockLocale().TimeSettingText();
  // The setting is a short number; read at most its first few digits, as a 4-byte buffer would.
  int value = 0;
  for (size_t i = 0; i < text.size() && i < 3 && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  return value;
}

std::string FormatWithPictures(double dateTime, std::string_view datePicture,
                               std::string_view timePicture) {
  const std::optional<CalendarTime> t = DateTimeToCalendar(dateTime);
  if (!t)
    return {};
  std::string out;
  if (!datePicture.empty())
    out = ApplyPicture(datePicture, *t, true);
  if (!timePicture.empty())
    out += ApplyPicture(timePicture, *t, false);
  return out;
}

std::string FormatTime(std::optional<double> time, int style, int part) {
  const double moment = time ? *time : platform::CurrentClockLocale().NowDateTime();
  const Pictures& row = kPictures[(style < 0 || style > 3) ? 0 : static_cast<size_t>(style)];
  std::string_view datePicture;
  std::string_view timePicture;
  switch (part) {
    case 1:
      datePicture = row.date;
      if (!datePicture.empty() && datePicture.back() == ' ')
        datePicture.remove_suffix(1);
      break;
    case 2:
      datePicture = row.monthDay;
      break;
    case 3:
      timePicture = row.time;
      break;
    case 4:
      timePicture = row.hoursMinutes;
      break;
    case 5:
      timePicture = row.minutesSeconds;
      break;
    default:
      datePicture = row.date;
      timePicture = row.time;
      break;
  }
  std::string clockPicture(timePicture);
  if (LocaleTimeSetting() == 1)
    clockPicture = ReplaceAll(clockPicture, "hh", "HH");
  return FormatWithPictures(moment, datePicture, clockPicture);
}

}  // namespace korvane
