// Small text routines shared across the program: the size and date texts of
// lists, dialogs and exports; the serial and label of a medium; the title
// increment of the add-volume dialog; joining and splitting lines; upkeep of
// the category and location lists; quoting; and the field splitter of the
// text import.
#pragma once

#include <locale.h>

#include <ctime>
#include <locale>
#include <string>
#include <string_view>
#include <vector>

#include "base/DateTime.h"
#include "base/StringList.h"

namespace tw {

// --- sizes and dates ---

// What the texts of sizes and of values of several lines depend on: the
// unit names of the message table and the separator the options put
// between lines. Made by the program state, handed to what formats.
struct TTextFormat {
  std::string KB = "KB";
  std::string MB = "MB";
  std::string NewLineSeparator = ";";
};

// unit 0: bytes; 1: "<n> KB"; 2: "<n> MB" (unit names from the message
// table); any other unit: empty text.
std::string FormatSize(int unit, double size, const TTextFormat& format);
// size / 1024 for unit 1, size / 1048576 for unit 2, unchanged otherwise.
double ScaleSize(int unit, double size);

// Short date and long time of the user's locale, the time left out when it
// is exactly midnight; empty for a value that is no date. A locale whose
// short date has a two-digit year (the C locale) gets ISO dates instead,
// "2026-12-11 10:20:30", so that no century is lost.
std::string FormatDate(TDateTime date);
std::string FormatDate(TDateTime date, const std::locale& locale);
// Whether the locale's short date leaves out the century.
bool ShortDateHasTwoDigitYear(const std::locale& locale);
// The same for the user's locale, worked out once.
bool UserDatesAreIso();
// ISO 8601 for programs, "2026-12-11T10:20:30"; empty for a value that is no date.
std::string IsoDateTime(TDateTime date);
// The user's locale, or the classic one when the environment names none
// that exists.
const std::locale& UserLocale();
// The same locale for the C library's strftime_l and strptime_l.
locale_t UserCLocale();
// Reads a date with a strptime pattern in the user's locale; true when the
// text is used up but for trailing blanks.
bool ParseUserDate(const std::string& text, const char* pattern, std::tm& tm);

// --- file names ---

// The extension, compared in upper case, is ".RAR" or ".ZIP".
bool IsArchiveName(std::string_view name);
// The extension, in upper case, equals one of the entries in upper case (dot
// included).
bool HasExtension(std::string_view name, const std::vector<std::string>& extensions);

// --- lists and lines ---

// Adds the text to list unless present there, and to second (when given)
// unless present there; an empty text changes nothing.
void AddUnique(TSortedStrings& list, TSortedStrings* second, const std::string& text);
std::string RemoveBlanks(std::string_view text);
// Without leading and trailing blanks and control characters.
std::string Trim(std::string_view text);
// The trailing number (never the first character) plus one, keeping its
// width with leading zeros: "CD 009" -> "CD 010", "Backup" -> "Backup1".
std::string IncrementTitle(std::string_view title);
std::string JoinList(const std::vector<std::string>& lines, std::string_view separator);
// Lines split at CR LF, lone CR and lone LF; a final line break adds no
// empty line, and an empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);
// The lines joined with the NewLineSeparator option (";" when no global
// state exists).
std::string JoinLines(std::string_view text, std::string_view separator);

// Opens an address (web page, mail address) with the desktop's default
// handler; true when the handler was started.
bool OpenUrl(const std::string& address);

// --- quoting and fields ---

// Trimmed quote + text + trimmed quote.
std::string Enquote(std::string_view text, std::string_view quote);
// Without a first character equal to quote and without a last one equal to
// it.
std::string StripQuote(std::string_view text, char quote);

// Splits a line into fields at a delimiter; delimiters between quotes
// belong to the field, and each field loses one surrounding quote. An empty
// middle field gives an empty token, an empty last field none.
class TStringParser {
 public:
  // The quote is stored trimmed; its first character is the quote, and an
  // empty quote means fields are never quoted.
  TStringParser(char delimiter, std::string_view quote);

  void Parse(std::string_view text);
  // Token n counted from 1; empty for 0 or beyond the last token.
  std::string GetToken(int n) const;
  const std::vector<std::string>& Tokens() const { return tokens_; }
  int Count() const { return static_cast<int>(tokens_.size()); }

  char Delimiter() const { return delimiter_; }
  const std::string& Quote() const { return quote_; }

 private:
  char delimiter_;
  std::string quote_;
  std::vector<std::string> tokens_;
};

}  // namespace tw
