// Date-time values as stored in library files: days since 1899-12-30 with the
// time of day as fraction; 0 means "no date". Before 1899-12-30 the integer
// part counts days backwards while the fraction still adds time, so -1.25 is
// 1899-12-29 06:00.
#pragma once

#include <ctime>

namespace tw {

using TDateTime = double;

struct TDateParts {
  int year = 0;
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// False when a field is out of range (years 1 to 9999).
bool TryEncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       TDateTime& result);
// Raises EError when a field is out of range.
TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second, int millisecond);

// Rounds to the nearest millisecond. False for values outside years 1 to 9999
// and for non-finite values.
bool TryDecodeDateTime(TDateTime value, TDateParts& parts);
// Raises EError for the values TryDecodeDateTime refuses.
TDateParts DecodeDateTime(TDateTime value);

// Local time, to the millisecond.
TDateTime NowDateTime();

// A file system time: the UTC broken-down fields taken one by one, without
// any time-zone conversion; nanoseconds are truncated to milliseconds.
bool TryUnixToDateTimeUtc(std::time_t seconds, long nanoseconds, TDateTime& result);
// Raises EError when the time has no date-time (year beyond 9999).
TDateTime UnixToDateTimeUtc(std::time_t seconds, long nanoseconds);

}  // namespace tw
