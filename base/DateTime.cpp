#include "base/DateTime.h"

#include <cmath>
#include <cstdint>
#include <time.h>

#include "base/Error.h"

namespace tw {
namespace {

constexpr int64_t kMsPerDay = 86400000;

// Days since 1970-01-01 of a proleptic Gregorian date.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (month <= 2));
}

constexpr int64_t kZeroDate = DaysFromCivil(1899, 12, 30);
constexpr int64_t kFirstDay = DaysFromCivil(1, 1, 1) - kZeroDate;
constexpr int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kZeroDate;

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeapYear(y) ? 29 : kDays[m - 1];
}

TDateTime FromTm(const std::tm& tm, long millisecond, bool& ok) {
  TDateTime result = 0;
  // A leap second is folded into the second before it.
  ok = TryEncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min,
                         tm.tm_sec > 59 ? 59 : tm.tm_sec, static_cast<int>(millisecond), result);
  return result;
}

}  // namespace

bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& result) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) return false;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
      millisecond > 999)
    return false;
  const int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) - kZeroDate;
  const double time =
      static_cast<double>(((hour * 60 + minute) * 60 + second) * 1000 + millisecond) / static_cast<double>(kMsPerDay);
  const auto whole = static_cast<double>(days);
  result = days >= 0 ? whole + time : whole - time;
  return true;
}

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond) {
  TDateTime result = 0;
  if (!TryEncodeDateTime(year, month, day, hour, minute, second, millisecond, result)) throw EError("Invalid date");
  return result;
}

bool TryDecodeDateTime(TDateTime value, TDateParts& parts) {
  if (!std::isfinite(value) || value < static_cast<double>(kFirstDay - 1) ||
      value >= static_cast<double>(kLastDay + 1))
    return false;
  const double whole = std::trunc(value);
  auto days = static_cast<int64_t>(whole);
  auto ms = static_cast<int64_t>(std::llround(std::fabs(value - whole) * static_cast<double>(kMsPerDay)));
  if (ms >= kMsPerDay) {
    // Rounded up to the next midnight; whatever the sign, that is the next day.
    ms -= kMsPerDay;
    ++days;
  }
  if (days < kFirstDay || days > kLastDay) return false;
  CivilFromDays(days + kZeroDate, parts.year, parts.month, parts.day);
  parts.millisecond = static_cast<int>(ms % 1000);
  parts.second = static_cast<int>(ms / 1000 % 60);
  parts.minute = static_cast<int>(ms / 60000 % 60);
  parts.hour = static_cast<int>(ms / 3600000);
  return true;
}

TDateParts DecodeDateTime(TDateTime value) {
  TDateParts parts;
  if (!TryDecodeDateTime(value, parts)) throw EError("Invalid date");
  return parts;
}

TDateTime NowDateTime() {
  std::timespec ts{};
  if (std::timespec_get(&ts, TIME_UTC) == 0) return 0;
  std::tm tm{};
  if (localtime_r(&ts.tv_sec, &tm) == nullptr) return 0;
  bool ok = false;
  const TDateTime now = FromTm(tm, ts.tv_nsec / 1000000, ok);
  return ok ? now : 0;
}

bool TryUnixToDateTimeUtc(std::time_t seconds, long nanoseconds, TDateTime& result) {
  if (nanoseconds < 0 || nanoseconds >= 1000000000) return false;
  std::tm tm{};
  if (gmtime_r(&seconds, &tm) == nullptr) return false;
  bool ok = false;
  result = FromTm(tm, nanoseconds / 1000000, ok);
  return ok;
}

TDateTime UnixToDateTimeUtc(std::time_t seconds, long nanoseconds) {
  TDateTime result = 0;
  if (!TryUnixToDateTimeUtc(seconds, nanoseconds, result)) throw EError("Invalid date");
  return result;
}

}  // namespace tw
