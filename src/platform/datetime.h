#pragma once
// Date-times are doubles: days since 1899-12-30 00:00, the fraction being the time of day; 0 is
// the zero date. The system's short date and long time formats live here, in one place: the card
// checksum must equal the one the counter programs compute, the reminder texts show them, and a
// date column read as text is written in them. Defaults are "yyyy/m/d" and "h:nn:ss" (2024/3/5,
// 9:05:00); Config.xml section Locale (ShortDateFormat, LongTimeFormat) may change them at
// start-up.
//
// Format letters (any letter case): y (yy two-digit year, yyyy four), m/mm month (minutes when it
// follows an hour), d/dd day, h/hh hour (24-hour), n/nn minute, s/ss second, z/zzz milliseconds;
// text in '…' or "…" is copied; every other character stands for itself.

#include <optional>
#include <string>
#include <string_view>

namespace ab {

using DateTime = double;

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0, millisecond = 0;
};

struct FormatSettings {
  std::string short_date_format = "yyyy/m/d";
  std::string long_time_format = "h:nn:ss";
};

// The process-wide formats; set at start-up, read everywhere on the user-interface thread.
FormatSettings& SystemFormats();

bool IsValidDate(int year, int month, int day);
// Throws ConvertError for an impossible date or time.
DateTime EncodeDate(int year, int month, int day);
DateTime EncodeTime(int hour, int minute, int second, int millisecond = 0);
DateTime EncodeDateTime(const DateParts& parts);
DateParts DecodeDateTime(DateTime value);

DateTime DateOf(DateTime value);
// True when the value has a time of day (a non-zero fraction, to the millisecond).
bool HasTimeOfDay(DateTime value);

std::string FormatDateTime(std::string_view format, DateTime value);
// The short date.
std::string DateToStr(DateTime value);
// The long time.
std::string TimeToStr(DateTime value);
// The short date, followed by a blank and the long time when the value has a time of day.
std::string DateTimeToStr(DateTime value);

// Parses a date, a date and time, or a time in the system's formats: the date's field order
// follows the short date format; "/", "-" and "." separate date fields; the time is
// h:n[:s[.z]]. Returns nullopt for anything else.
std::optional<DateTime> TryStrToDateTime(std::string_view text);
// Throws ConvertError "'<text>' is not a valid date and time".
DateTime StrToDateTime(std::string_view text);

// Conversions to and from seconds since the Unix epoch in the machine's local time zone.
DateTime LocalDateTimeFromUnix(double seconds);
double UnixFromLocalDateTime(DateTime value);

}  // namespace ab
