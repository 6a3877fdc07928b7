// Path, number and time helpers, and opening things with the desktop's
// default handler.
//
// Two kinds of path meet here. Library paths (a folder's path inside the
// library, stored in library files and exports) use "\"; source paths (where
// a volume was scanned on the medium) use "/". Neither kind is ever changed
// in case: paths on the medium are case-sensitive.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "base/DateTime.h"

namespace tw {

// Size text: the truncated integer part in groups of three digits separated
// by " ", then "." and the truncated hundredths when they are not 0
// (1234567 -> "1 234 567", 1.5 -> "1.50", 2.003 -> "2").
std::string FormatNumber(double x);

// A file's last-write time, field by field from its UTC broken-down form;
// the current local date and time when it has no date-time.
TDateTime FileTimeToDate(const struct timespec& time);

// high * 2^32 + low, as a signed 64-bit count.
int64_t MakeInt64(uint32_t high, uint32_t low);

// The extension of a file name from its last "." on, dot included; empty
// when the last part of the name has no ".".
std::string FileExtension(std::string_view name);

// The text after its last "/" (all of it when there is none).
std::string StripToLastSlash(std::string_view text);

// --- library paths ("\") ---

// Without its last character, then cut back to the last "\"; empty when no
// "\" is left ("CD1\Music\" -> "CD1\", "CD1\" -> "").
std::string ParentPath(std::string_view path);
// Without one trailing "\", then the part after the last "\" or ":".
std::string LastComponent(std::string_view path);
std::string AddBackslash(std::string_view path);
// As AddBackslash, but an empty path stays empty.
std::string AddBackslashIfAny(std::string_view path);
std::string RemoveLeadingBackslash(std::string_view path);
// The drive part up to the first ":" and the character after it, a path
// ending with that ":" taking a "\" first ("E:\MUSIC" and "E:" -> "E:\");
// empty when there is no ":".
std::string DrivePart(std::string_view path);
// AddBackslashIfAny(a) + AddBackslashIfAny(RemoveLeadingBackslash(b)) + c
// without up to two leading "\".
std::string JoinPath(std::string_view a, std::string_view b, std::string_view c);

// --- source paths ("/") ---

std::string AddSlash(std::string_view path);
std::string AddSlashIfAny(std::string_view path);
std::string RemoveLeadingSlash(std::string_view path);
// Without its last character, then cut back to the last "/"; empty when no
// "/" is left ("/media/cd/MUSIC/" -> "/media/cd/", "/" -> "").
std::string ParentSourcePath(std::string_view path);
// Without one trailing "/", then the part after the last "/".
std::string LastSourceComponent(std::string_view path);
// AddSlashIfAny(a) + AddSlashIfAny(RemoveLeadingSlash(b)) + c without up to
// two leading "/".
std::string JoinSourcePath(std::string_view a, std::string_view b, std::string_view c);

// --- the desktop's default handler ---

// Starts "xdg-open" on the target, detached, in the given working folder
// (the current one when empty); true when it was started. The handler's own
// outcome is not awaited.
bool OpenWithDefaultHandler(const std::string& target, const std::string& workingDir = {});

// Opens a file or folder with its associated program, working in the file's
// folder. True when that failed (the file does not exist or no handler could
// be started).
bool ShellOpen(const std::string& fileName);

}  // namespace tw
