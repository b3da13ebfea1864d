// Turns a date-time value (an OLE Automation date: days since 30 December 1899, the fraction the
// time of day, local time) into text in one of four fixed styles and six parts, with the hour on
// the user's 12- or 24-hour clock. The worker names its files by FormatTime(now, 3, 3).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvane {

// A date-time broken into its calendar fields, in whole seconds (month and day count from 1).
struct CalendarTime {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  bool operator==(const CalendarTime&) const = default;
};

// Splits a date-time into calendar fields, rounded to the nearest second. Returns nullopt for NaN,
// an infinity, or a value whose day (after rounding) lies outside 1 January 100 to 31 December
// 9999 (day numbers -657434 to 2958465). A negative value counts whole days back from
// 30 December 1899 and its fraction forward from that day's midnight (-1.25 is 29 December 1899,
// 06:00), as the date-time type defines it.
std::optional<CalendarTime> DateTimeToCalendar(double dateTime);

// The user's clock setting: 1 for a 24-hour clock, 0 for a 12-hour clock (the number the
// locale's setting text starts with; 0 when it starts with no digit).
int LocaleTimeSetting();

// Formats `dateTime` with a date picture and a time picture and returns the two results joined.
// Date pictures know yyyy/yy/y (year), MM/M (month), dd/d (day); time pictures know hh/h (12-hour),
// HH/H (24-hour), mm/m, ss/s, and t/tt, which print nothing. Longer runs of a letter print like its
// longest form. Text in single quotes ('' for a quote) and every other character, double-byte
// characters as a whole, is copied. An empty picture gives an empty side. A date-time without a
// calendar time (see DateTimeToCalendar) gives an empty text.
std::string FormatWithPictures(double dateTime, std::string_view datePicture,
                               std::string_view timePicture);

// `time` (the current local time when nullopt) in `style` 0 (Chinese date and time words), 1
// (dashes and colons), 2 (slashes) or 3 (digits only; any other style counts as 0), showing
// `part` 1 (date), 2 (month and day), 3 (time), 4 (hours and minutes), 5 (minutes and seconds) or
// anything else for date and time. Hours follow the user's clock setting; no AM/PM marker is
// printed. A `time` outside the date-time range gives an empty text.
std::string FormatTime(std::optional<double> time = std::nullopt, int style = 0, int part = 0);

}  // namespace korvane
