// The mount table (/proc/self/mountinfo) and what it says about the medium
// that holds a folder: its device, label and serial.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct TMountEntry {
  std::string Root;        // the part of the file system mounted there
  std::string MountPoint;  // unescaped
  std::string Type;
  std::string Source;
};

// The entries of a mount table in /proc/self/mountinfo form; malformed lines
// are left out.
std::vector<TMountEntry> ParseMountInfo(std::string_view text);

enum { kVolumeLabel = 0, kVolumeSerial = 1 };

// The medium that holds the folder: what = 1 its serial as eight upper-case
// hex digits, otherwise its label; empty when it has none or cannot be read.
std::string GetVolumeInfo(const std::string& path, int what);
// The same, looking up mounts in mountInfoFile (in /proc/self/mountinfo
// form) and device links below diskDir (with by-label and by-uuid folders).
std::string GetVolumeInfo(const std::string& path, int what, const std::string& mountInfoFile,
                          const std::string& diskDir);
// The serial made from a file system UUID: dashes removed, 8 hex digits as
// they are, 16 the last 8, anything else its first 8 hex digits; upper
// case, zero-padded; empty for an empty UUID.
std::string SerialFromUuid(std::string_view uuid);
// The source device of the mount with the longest mount point that holds
// path (an absolute path without "." or ".." parts); empty when none does.
std::string MountSourceOf(std::string_view mountInfo, std::string_view path);
// Undoes the octal escapes ("\040") of mount table fields.
std::string UnescapeMountField(std::string_view field);
// Undoes the "\xNN" escapes of device link names.
std::string UnescapeLinkName(std::string_view name);

}  // namespace tw
