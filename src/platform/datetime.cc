#include "platform/datetime.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "platform/error.h"

namespace ab {
namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days from 1970-01-01 for a civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t y = static_cast<int64_t>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(y + (month <= 2));
}

// 1899-12-30 is day -25569 from the Unix epoch.
constexpr int64_t kEpochOffset = 25569;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

std::string Pad(int value, int width) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*d", width, value);
  return buf;
}

}  // namespace

FormatSettings& SystemFormats() {
  static FormatSettings settings;
  return settings;
}

bool IsValidDate(int year, int month, int day) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
  return day <= days;
}

DateTime EncodeDate(int year, int month, int day) {
  if (!IsValidDate(year, month, day)) throw ConvertError("Invalid argument to date encode");
  return static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month),
                                           static_cast<unsigned>(day)) +
                             kEpochOffset);
}

DateTime EncodeTime(int hour, int minute, int second, int millisecond) {
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
      millisecond < 0 || millisecond > 999) {
    throw ConvertError("Invalid argument to time encode");
  }
  return static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) /
         static_cast<double>(kMsPerDay);
}

DateTime EncodeDateTime(const DateParts& p) {
  DateTime date = EncodeDate(p.year, p.month, p.day);
  DateTime time = EncodeTime(p.hour, p.minute, p.second, p.millisecond);
  // Before the epoch the fraction still counts forward from midnight.
  return date >= 0 ? date + time : date - time;
}

DateParts DecodeDateTime(DateTime value) {
  DateParts p;
  double days = std::trunc(value);
  int64_t ms = static_cast<int64_t>(std::llround(std::fabs(value - days) * kMsPerDay));
  int64_t day_number = static_cast<int64_t>(days);
  if (ms >= kMsPerDay) {
    ms -= kMsPerDay;
    day_number += value >= 0 ? 1 : -1;
  }
  CivilFromDays(day_number - kEpochOffset, p.year, p.month, p.day);
  p.millisecond = static_cast<int>(ms % 1000);
  int64_t seconds = ms / 1000;
  p.second = static_cast<int>(seconds % 60);
  p.minute = static_cast<int>((seconds / 60) % 60);
  p.hour = static_cast<int>(seconds / 3600);
  return p;
}

DateTime DateOf(DateTime value) {
  DateParts p = DecodeDateTime(value);
  return EncodeDate(p.year, p.month, p.day);
}

bool HasTimeOfDay(DateTime value) {
  DateParts p = DecodeDateTime(value);
  return p.hour != 0 || p.minute != 0 || p.second != 0 || p.millisecond != 0;
}

std::string FormatDateTime(std::string_view format, DateTime value) {
  DateParts p = DecodeDateTime(value);
  std::string out;
  char last_letter = 0;  // an "m" right after an hour letter means minutes
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c == '\'' || c == '"') {
      size_t end = format.find(c, i + 1);
      if (end == std::string_view::npos) end = format.size();
      out.append(format.substr(i + 1, end - i - 1));
      i = end + 1;
      continue;
    }
    char lc = Lower(c);
    size_t run = 1;
    while (i + run < format.size() && Lower(format[i + run]) == lc) ++run;
    if (lc == 'm' && last_letter == 'h') lc = 'n';
    if (lc >= 'a' && lc <= 'z') last_letter = lc;
    switch (lc) {
      case 'y':
        out += run <= 2 ? Pad(p.year % 100, 2) : Pad(p.year, 4);
        break;
      case 'm':
        out += run >= 2 ? Pad(p.month, 2) : std::to_string(p.month);
        break;
      case 'd':
        out += run >= 2 ? Pad(p.day, 2) : std::to_string(p.day);
        break;
      case 'h':
        out += run >= 2 ? Pad(p.hour, 2) : std::to_string(p.hour);
        break;
      case 'n':
        out += run >= 2 ? Pad(p.minute, 2) : std::to_string(p.minute);
        break;
      case 's':
        out += run >= 2 ? Pad(p.second, 2) : std::to_string(p.second);
        break;
      case 'z':
        out += run >= 3 ? Pad(p.millisecond, 3) : std::to_string(p.millisecond);
        break;
      default:
        out.append(format.substr(i, run));
        break;
    }
    i += run;
  }
  return out;
}

std::string DateToStr(DateTime value) {
  return FormatDateTime(SystemFormats().short_date_format, value);
}

std::string TimeToStr(DateTime value) {
  return FormatDateTime(SystemFormats().long_time_format, value);
}

std::string DateTimeToStr(DateTime value) {
  std::string text = DateToStr(value);
  if (HasTimeOfDay(value)) text += " " + TimeToStr(value);
  return text;
}

namespace {

// Reads up to `max` digits at text[pos]; nullopt when there are none.
std::optional<int> ReadNumber(std::string_view text, size_t& pos, size_t max, size_t* count) {
  size_t start = pos;
  int value = 0;
  while (pos < text.size() && IsDigit(text[pos]) && pos - start < max) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
  }
  if (pos == start) return std::nullopt;
  if (count) *count = pos - start;
  return value;
}

void SkipBlanks(std::string_view text, size_t& pos) {
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
}

// The order of year, month and day in the short date format, e.g. "ymd".
std::string DateOrder() {
  std::string order;
  for (char c : SystemFormats().short_date_format) {
    char lc = Lower(c);
    if ((lc == 'y' || lc == 'm' || lc == 'd') && order.find(lc) == std::string::npos) {
      order += lc;
    }
  }
  return order.size() == 3 ? order : "ymd";
}

bool ParseDate(std::string_view text, size_t& pos, DateTime& out) {
  int fields[3];
  size_t digits[3];
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (pos >= text.size() || (text[pos] != '/' && text[pos] != '-' && text[pos] != '.')) {
        return false;
      }
      ++pos;
    }
    auto v = ReadNumber(text, pos, 4, &digits[k]);
    if (!v) return false;
    fields[k] = *v;
  }
  std::string order = DateOrder();
  int year = 0, month = 0, day = 0;
  size_t year_digits = 4;
  for (int k = 0; k < 3; ++k) {
    if (order[static_cast<size_t>(k)] == 'y') {
      year = fields[k];
      year_digits = digits[k];
    } else if (order[static_cast<size_t>(k)] == 'm') {
      month = fields[k];
    } else {
      day = fields[k];
    }
  }
  if (year_digits <= 2) year += year < 50 ? 2000 : 1900;
  if (!IsValidDate(year, month, day)) return false;
  out = EncodeDate(year, month, day);
  return true;
}

bool ParseTime(std::string_view text, size_t& pos, DateTime& out) {
  auto hour = ReadNumber(text, pos, 2, nullptr);
  if (!hour || pos >= text.size() || text[pos] != ':') return false;
  ++pos;
  auto minute = ReadNumber(text, pos, 2, nullptr);
  if (!minute) return false;
  int second = 0, ms = 0;
  if (pos < text.size() && text[pos] == ':') {
    ++pos;
    auto s = ReadNumber(text, pos, 2, nullptr);
    if (!s) return false;
    second = *s;
    if (pos < text.size() && text[pos] == '.') {
      ++pos;
      size_t count = 0;
      auto z = ReadNumber(text, pos, 3, &count);
      if (!z) return false;
      ms = *z * (count == 1 ? 100 : count == 2 ? 10 : 1);
      while (pos < text.size() && IsDigit(text[pos])) ++pos;
    }
  }
  if (*hour > 23 || *minute > 59 || second > 59) return false;
  out = EncodeTime(*hour, *minute, second, ms);
  return true;
}

}  // namespace

std::optional<DateTime> TryStrToDateTime(std::string_view text) {
  size_t pos = 0;
  SkipBlanks(text, pos);
  DateTime date = 0, time = 0;
  size_t save = pos;
  bool has_date = ParseDate(text, pos, date);
  if (!has_date) pos = save;
  SkipBlanks(text, pos);
  bool has_time = false;
  if (pos < text.size()) {
    has_time = ParseTime(text, pos, time);
    if (!has_time) return std::nullopt;
  }
  SkipBlanks(text, pos);
  if (pos != text.size() || (!has_date && !has_time)) return std::nullopt;
  return date >= 0 ? date + time : date - time;
}

DateTime StrToDateTime(std::string_view text) {
  auto v = TryStrToDateTime(text);
  if (!v) throw ConvertError("'" + std::string(text) + "' is not a valid date and time");
  return *v;
}

DateTime LocalDateTimeFromUnix(double seconds) {
  time_t whole = static_cast<time_t>(std::floor(seconds));
  double fraction = seconds - static_cast<double>(whole);
  std::tm tm{};
  localtime_r(&whole, &tm);
  DateParts p{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
              tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(fraction * 1000)};
  return EncodeDateTime(p);
}

double UnixFromLocalDateTime(DateTime value) {
  DateParts p = DecodeDateTime(value);
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;
  return static_cast<double>(mktime(&tm)) + p.millisecond / 1000.0;
}

}  // namespace ab
