#include "base/TextUtils.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <locale.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>

#include "base/CaseFold.h"
#include "base/FileUtils.h"

namespace tw {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::tm ToTm(const TDateParts& p) {
  using namespace std::chrono;
  const year_month_day date{year{p.year}, month{static_cast<unsigned>(p.month)}, day{static_cast<unsigned>(p.day)}};
  const sys_days days{date};
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_wday = static_cast<int>(weekday{days}.c_encoding());
  tm.tm_yday = static_cast<int>((days - sys_days{date.year() / January / 1}).count());
  return tm;
}

}  // namespace

std::string FormatSize(int unit, double size, const TTextFormat& format) {
  switch (unit) {
    case 0:
      return FormatNumber(size);
    case 1:
      return FormatNumber(size / 1024) + " " + format.KB;
    case 2:
      return FormatNumber(size / 1048576) + " " + format.MB;
    default:
      return {};
  }
}

double ScaleSize(int unit, double size) {
  if (unit == 1) return size / 1024;
  if (unit == 2) return size / 1048576;
  return size;
}

const std::locale& UserLocale() {
  static const std::locale locale = [] {
    try {
      return std::locale("");
    } catch (const std::runtime_error&) {
      return std::locale::classic();
    }
  }();
  return locale;
}

locale_t UserCLocale() {
  static const locale_t locale = [] {
    locale_t l = ::newlocale(LC_ALL_MASK, "", static_cast<locale_t>(0));
    return l ? l : ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  }();
  return locale;
}

namespace {

// The broken-down time of a date and whether it is exactly midnight; false
// for a value that is no date.
bool DateTm(TDateTime date, std::tm& tm, bool& midnight) {
  TDateParts parts;
  if (!TryDecodeDateTime(date, parts)) return false;
  tm = ToTm(parts);
  midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0 && parts.millisecond == 0;
  return true;
}

// ISO dates where the locale's short date has no century.
const char* DatePattern(bool isoDates, bool midnight) {
  if (isoDates) return midnight ? "%Y-%m-%d" : "%Y-%m-%d %H:%M:%S";
  return midnight ? "%x" : "%x %X";
}

}  // namespace

bool ShortDateHasTwoDigitYear(const std::locale& locale) {
  std::tm tm{};
  tm.tm_year = 2006 - 1900;
  tm.tm_mon = 0;
  tm.tm_mday = 2;
  std::ostringstream out;
  out.imbue(locale);
  const char pattern[] = "%x";
  std::use_facet<std::time_put<char>>(locale).put(std::ostreambuf_iterator<char>(out), out, ' ', &tm, pattern,
                                                   pattern + 2);
  return out.str().find("2006") == std::string::npos;
}

bool UserDatesAreIso() {
  static const bool iso = ShortDateHasTwoDigitYear(UserLocale());
  return iso;
}

// strftime_l with the user's locale made once gives the text of the stream
// facet without building a stream and looking up a facet per date: result
// lists format a million dates.
std::string FormatDate(TDateTime date) {
  std::tm tm;
  bool midnight = false;
  if (!DateTm(date, tm, midnight)) return {};
  char buffer[256];
  const char* pattern = DatePattern(UserDatesAreIso(), midnight);
  const size_t n = UserCLocale() ? ::strftime_l(buffer, sizeof buffer, pattern, &tm, UserCLocale()) : 0;
  if (n == 0) return FormatDate(date, UserLocale());
  return std::string(buffer, n);
}

std::string FormatDate(TDateTime date, const std::locale& locale) {
  std::tm tm;
  bool midnight = false;
  if (!DateTm(date, tm, midnight)) return {};
  const std::string pattern = DatePattern(ShortDateHasTwoDigitYear(locale), midnight);
  std::ostringstream out;
  out.imbue(locale);
  std::use_facet<std::time_put<char>>(locale).put(std::ostreambuf_iterator<char>(out), out, ' ', &tm,
                                                   pattern.data(), pattern.data() + pattern.size());
  return out.str();
}

std::string IsoDateTime(TDateTime date) {
  std::tm tm;
  bool midnight = false;
  if (!DateTm(date, tm, midnight)) return {};
  char buffer[64];
  const size_t n = std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%S", &tm);
  return std::string(buffer, n);
}

bool ParseUserDate(const std::string& text, const char* pattern, std::tm& tm) {
  tm = std::tm{};
  if (!UserCLocale()) return false;
  const char* end = ::strptime_l(text.c_str(), pattern, &tm, UserCLocale());
  if (!end) return false;
  while (*end == ' ') ++end;
  return *end == '\0';
}

bool IsArchiveName(std::string_view name) {
  const std::string ext = UpperAscii(FileExtension(name));
  return ext == ".RAR" || ext == ".ZIP";
}

bool HasExtension(std::string_view name, const std::vector<std::string>& extensions) {
  const std::string ext = UpperAscii(FileExtension(name));
  return std::any_of(extensions.begin(), extensions.end(), [&](const std::string& e) { return UpperAscii(e) == ext; });
}

std::string RemoveBlanks(std::string_view text) {
  std::string result;
  std::copy_if(text.begin(), text.end(), std::back_inserter(result), [](char c) { return c != ' '; });
  return result;
}

std::string Trim(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

std::string IncrementTitle(std::string_view title) {
  if (title.empty()) return {};
  size_t start = title.size();
  while (start > 1 && IsDigit(title[start - 1])) --start;
  std::string number(title.substr(start));
  // Decimal increment on the digits themselves: no width limit, and the
  // leading zeros stay.
  auto digit = number.rbegin();
  for (; digit != number.rend() && *digit == '9'; ++digit) *digit = '0';
  if (digit == number.rend())
    number.insert(number.begin(), '1');
  else
    ++*digit;
  return std::string(title.substr(0, start)) + number;
}

std::string JoinList(const std::vector<std::string>& lines, std::string_view separator) {
  std::string result;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) result += separator;
    result += lines[i];
  }
  return result;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(text.substr(start, i - start));
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text.substr(start));
  return lines;
}

std::string JoinLines(std::string_view text, std::string_view separator) {
  return JoinList(SplitLines(text), separator);
}

bool OpenUrl(const std::string& address) { return OpenWithDefaultHandler(address); }

std::string Enquote(std::string_view text, std::string_view quote) {
  const std::string q = Trim(quote);
  return q + std::string(text) + q;
}

std::string StripQuote(std::string_view text, char quote) {
  if (!text.empty() && text.front() == quote) text.remove_prefix(1);
  if (!text.empty() && text.back() == quote) text.remove_suffix(1);
  return std::string(text);
}

TStringParser::TStringParser(char delimiter, std::string_view quote) : delimiter_(delimiter), quote_(Trim(quote)) {}

void TStringParser::Parse(std::string_view text) {
  // A token is the text between two delimiters outside quotes, quotes
  // included, then stripped of one quote at each end.
  tokens_.clear();
  const bool quoted = !quote_.empty();
  const char quote = quoted ? quote_.front() : '\0';
  auto finish = [&](std::string_view token) {
    tokens_.push_back(quoted ? StripQuote(token, quote) : std::string(token));
  };
  size_t start = 0;
  bool inside = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == quote) {
      inside = !inside;
    } else if (!inside && c == delimiter_) {
      finish(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) finish(text.substr(start));
}

std::string TStringParser::GetToken(int n) const {
  return n >= 1 && n <= Count() ? tokens_[static_cast<size_t>(n - 1)] : std::string();
}

}  // namespace tw
