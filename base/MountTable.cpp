#include "base/MountTable.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/CaseFold.h"
#include "base/TextUtils.h"

namespace tw {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsHexText(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return HexValue(c) >= 0; });
}

bool SameDevice(const std::filesystem::path& link, const std::filesystem::path& device) {
  std::error_code ec1, ec2;
  const auto a = std::filesystem::canonical(link, ec1);
  const auto b = std::filesystem::canonical(device, ec2);
  if (!ec1 && !ec2 && a == b) return true;
  struct stat sa{}, sb{};
  return stat(link.c_str(), &sa) == 0 && stat(device.c_str(), &sb) == 0 && S_ISBLK(sa.st_mode) &&
         S_ISBLK(sb.st_mode) && sa.st_rdev == sb.st_rdev;
}

// The name of the first link in dir (in name order) that leads to device.
std::string LinkNameFor(const std::filesystem::path& dir, const std::string& device) {
  std::error_code ec;
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  for (const auto& name : names)
    if (SameDevice(dir / name, device)) return name;
  return {};
}

}  // namespace

std::vector<TMountEntry> ParseMountInfo(std::string_view text) {
  std::vector<TMountEntry> mounts;
  for (const auto& line : SplitLines(text)) {
    std::vector<std::string_view> fields;
    const std::string_view view = line;
    size_t start = 0;
    while (start <= view.size()) {
      const size_t end = std::min(view.find(' ', start), view.size());
      if (end > start) fields.push_back(view.substr(start, end - start));
      start = end + 1;
    }
    // Six fixed fields, optional ones up to "-", then type and source.
    if (fields.size() < 6) continue;
    const auto dash = std::find(fields.begin() + 6, fields.end(), "-");
    if (dash == fields.end() || fields.end() - dash < 3) continue;
    mounts.push_back({UnescapeMountField(fields[3]), UnescapeMountField(fields[4]), UnescapeMountField(*(dash + 1)),
                      UnescapeMountField(*(dash + 2))});
  }
  return mounts;
}

std::string GetVolumeInfo(const std::string& path, int what) {
  return GetVolumeInfo(path, what, "/proc/self/mountinfo", "/dev/disk");
}

std::string GetVolumeInfo(const std::string& path, int what, const std::string& mountInfoFile,
                          const std::string& diskDir) {
  std::error_code ec;
  const auto folder = std::filesystem::canonical(path, ec);
  if (ec) return {};
  std::ifstream in(mountInfoFile, std::ios::binary);
  if (!in) return {};
  const std::string mountInfo{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::string device = MountSourceOf(mountInfo, folder.string());
  if (device.empty()) return {};
  const std::filesystem::path disks(diskDir);
  if (what == kVolumeSerial) return SerialFromUuid(UnescapeLinkName(LinkNameFor(disks / "by-uuid", device)));
  return UnescapeLinkName(LinkNameFor(disks / "by-label", device));
}

std::string SerialFromUuid(std::string_view uuid) {
  std::string plain;
  for (char c : uuid)
    if (c != '-') plain += c;
  std::string serial;
  if (plain.size() == 8 && IsHexText(plain)) {
    serial = plain;
  } else if (plain.size() == 16 && IsHexText(plain)) {
    serial = plain.substr(8);
  } else {
    for (char c : plain)
      if (HexValue(c) >= 0 && serial.size() < 8) serial += c;
    if (serial.empty()) return {};
    serial.insert(0, 8 - serial.size(), '0');
  }
  return UpperAscii(serial);
}

std::string MountSourceOf(std::string_view mountInfo, std::string_view path) {
  std::string best;
  size_t bestLength = 0;
  for (const TMountEntry& mount : ParseMountInfo(mountInfo)) {
    const std::string& point = mount.MountPoint;
    const bool holds = point == "/" || path == point ||
                       (path.size() > point.size() && path.substr(0, point.size()) == point && path[point.size()] == '/');
    // Equal mount points: the later mount hides the earlier one.
    if (holds && point.size() >= bestLength) {
      best = mount.Source;
      bestLength = point.size();
    }
  }
  return best;
}

std::string UnescapeMountField(std::string_view field) {
  std::string result;
  for (size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '\\' && i + 3 < field.size()) {
      const auto octal = field.substr(i + 1, 3);
      if (std::all_of(octal.begin(), octal.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        result += static_cast<char>((octal[0] - '0') * 64 + (octal[1] - '0') * 8 + (octal[2] - '0'));
        i += 3;
        continue;
      }
    }
    result += field[i];
  }
  return result;
}

std::string UnescapeLinkName(std::string_view name) {
  std::string result;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
      const int high = HexValue(name[i + 2]);
      const int low = HexValue(name[i + 3]);
      if (high >= 0 && low >= 0) {
        result += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    result += name[i];
  }
  return result;
}

void AddUnique(TSortedStrings& list, TSortedStrings* second, const std::string& text) {
  if (text.empty()) return;
  if (!list.Contains(text)) list.Add(text);
  if (second != nullptr && !second->Contains(text)) second->Add(text);
}

}  // namespace tw
