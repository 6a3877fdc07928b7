#include "tags/APEtag.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <string_view>

#include "base/ByteOrder.h"
#include "base/CaseFold.h"
#include "base/FileInput.h"
#include "base/Utf8.h"
#include "tags/TagClasses.h"

namespace tw {
namespace {

constexpr int64_t kID3v1Size = 128;
constexpr size_t kFooterSize = 32;
constexpr uint32_t kMaxValueKept = 250;

// Slot order of the known keys.
enum TSlot { sTitle, sArtist, sAlbum, sTrack, sYear, sGenre, sComment, sCopyright, sCount };
constexpr std::array<std::string_view, sCount> kKeys = {"Title", "Artist", "Album", "Track",
                                                        "Year",  "Genre",  "Comment", "Copyright"};

// The working record of one read.
struct TTagInfoRecord {
  std::array<unsigned char, kFooterSize> Footer{};
  int64_t DataShift = 0;
  int64_t FileSize = 0;
  std::array<std::string, sCount> Fields;
};

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return std::string(s.substr(b, e - b));
}

// The system code page is UTF-8: sequences of one to three bytes are kept,
// and the text ends at the first sequence that is not one of them.
std::string DecodeUtf8Prefix(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    uint32_t cp;
    size_t len = DecodeUtf8(s, i, cp);
    if (len == 0 || len > 3) break;
    i += len;
  }
  return std::string(s.substr(0, i));
}

// Decimal integer with an optional sign that fits 32 bits; 0 otherwise.
int64_t IntOrZero(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > int64_t(1) << 31) return 0;
  }
  v = negative ? -v : v;
  return (v > INT32_MAX || v < INT32_MIN) ? 0 : v;
}

void ReadItems(const TFileInput& file, TTagInfoRecord& info, uint32_t version, uint32_t size) {
  int64_t pos = info.FileSize - info.DataShift - static_cast<int64_t>(size);
  const uint32_t count = Le32(&info.Footer[16]);
  for (uint32_t n = 0; n < count; ++n) {
    unsigned char head[8];
    if (!file.ReadAt(pos, head, sizeof head)) return;
    const uint32_t valueLength = Le32(head);
    pos += 8;
    std::string key;
    for (char c;; ++pos) {
      if (!file.ReadAt(pos, &c, 1)) return;
      if (c == '\0') break;
      key += c;
    }
    ++pos;
    std::string value(std::min(valueLength, kMaxValueKept), '\0');
    if (!file.ReadAt(pos, value.data(), value.size())) return;
    pos += valueLength;
    value = Trim(std::string_view(value.c_str()));
    key = Trim(key);
    for (size_t slot = 0; slot < sCount; ++slot)
      if (SameText(key, kKeys[slot])) info.Fields[slot] = version > 1000 ? DecodeUtf8Prefix(value) : value;
  }
}

}  // namespace

void TAPEtag::ResetData() { *this = TAPEtag(); }

bool TAPEtag::ReadFromFile(const std::string& fileName) {
  ResetData();
  try {
    TFileInput file(fileName);
    if (!file.Ok()) return false;
    TTagInfoRecord info;
    info.FileSize = file.Size();
    char id3[3];
    if (!file.ReadAt(info.FileSize - kID3v1Size, id3, sizeof id3)) return false;
    info.DataShift = std::memcmp(id3, "TAG", 3) == 0 ? kID3v1Size : 0;
    if (!file.ReadAt(info.FileSize - info.DataShift - int64_t(kFooterSize), info.Footer.data(), kFooterSize))
      return false;
    if (std::memcmp(info.Footer.data(), "APETAGEX", 8) != 0) return true;

    Exists = true;
    Version = Le32(&info.Footer[8]);
    Size = Le32(&info.Footer[12]);
    ReadItems(file, info, Version, Size);

    Title = info.Fields[sTitle];
    Artist = info.Fields[sArtist];
    Album = info.Fields[sAlbum];
    Year = info.Fields[sYear];
    Genre = info.Fields[sGenre];
    Comment = info.Fields[sComment];
    Copyright = info.Fields[sCopyright];
    const std::string& track = info.Fields[sTrack];
    Track = static_cast<uint8_t>(IntOrZero(std::string_view(track).substr(0, track.find('/'))));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

void RunAPEHandler(const std::string& file, TTagInfo& tags) {
  TAPEtag ape;
  if (ape.ReadFromFile(file)) CopyAPEtag(ape, tags);
}

void CopyAPEtag(const TAPEtag& ape, TTagInfo& tags) {
  tags.AddTag("Artist", ape.Artist);
  tags.AddTag("Title", ape.Title);
  tags.AddTag("Album", ape.Album);
  tags.AddTag("Year", ape.Year);
  tags.AddTag("Genre", ape.Genre);
  tags.AddTag("Comments", ape.Comment);
  tags.AddTag("Track", static_cast<int64_t>(ape.Track));
  tags.AddTag("Copyright", ape.Copyright);
}

}  // namespace tw
