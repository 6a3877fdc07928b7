#include "tags/VorbisComment.h"

#include <cstring>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "base/Utf8.h"
#include "tags/TagClasses.h"

namespace tw {

namespace {

constexpr size_t kItemKept = 250;

enum TSlot { kVendor, kTitle, kArtist, kAlbum, kTrack, kDate, kGenre, kComment, kSlots };

struct TCommentName {
  const char* Name;
  TSlot Slot;
};
constexpr TCommentName kCommentNames[] = {
    {"TITLE", kTitle}, {"ARTIST", kArtist}, {"ALBUM", kAlbum},     {"TRACKNUMBER", kTrack},
    {"DATE", kDate},   {"GENRE", kGenre},   {"COMMENT", kComment},
};

// Reads one length-prefixed item at pos, keeping at most kItemKept bytes up to
// the first zero byte; pos moves past the whole item.
bool ReadItem(const TFileInput& in, int64_t& pos, std::string& text) {
  uint8_t len[4];
  if (!in.ReadAt(pos, len, 4)) return false;
  const uint32_t size = Le32(len);
  const size_t kept = size < kItemKept ? size : kItemKept;
  char buf[kItemKept];
  if (!in.ReadAt(pos + 4, buf, kept)) return false;
  pos += 4 + static_cast<int64_t>(size);
  text.assign(buf, kept);
  text.resize(std::strlen(text.c_str()));
  return true;
}

void ReadComments(const TFileInput& in, int64_t pos, std::string (&slots)[kSlots]) {
  if (!ReadItem(in, pos, slots[kVendor])) return;
  uint8_t countBytes[4];
  if (!in.ReadAt(pos, countBytes, 4)) return;
  pos += 4;
  const uint32_t count = Le32(countBytes);
  std::string item;
  for (uint32_t i = 0; i < count; ++i) {
    if (!ReadItem(in, pos, item)) return;
    const size_t eq = item.find('=');
    if (eq == std::string::npos) {
      if (slots[kVendor].empty()) slots[kVendor] = item;
      continue;
    }
    std::string name = item.substr(0, eq);
    for (char& c : name)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    for (const auto& known : kCommentNames)
      if (name == known.Name) slots[known.Slot] = item.substr(eq + 1);
  }
}

// The well-formed one- to three-byte UTF-8 prefix of the text: decoding stops
// at the first sequence it does not know.
std::string DecodeComment(const std::string& s) {
  size_t i = 0;
  while (i < s.size()) {
    uint32_t cp;
    const size_t n = DecodeUtf8(s, i, cp);
    if (n == 0 || n > 3) break;
    i += n;
  }
  return s.substr(0, i);
}

bool IsTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

// Decimal with an optional sign, whole text, 32-bit range; 0 otherwise.
int32_t TrackNumber(std::string text) {
  size_t b = 0, e = text.size();
  while (b < e && IsTrimmed(text[b])) ++b;
  while (e > b && IsTrimmed(text[e - 1])) --e;
  text = text.substr(b, e - b);
  text = text.substr(0, text.find('/'));
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return 0;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return 0;
  return static_cast<int32_t>(value);
}

}  // namespace

TVorbisComments ReadVorbisComments(const TFileInput& in, int64_t pos) {
  std::string slots[kSlots];
  ReadComments(in, pos, slots);
  TVorbisComments c;
  c.Title = DecodeComment(slots[kTitle]);
  c.Artist = DecodeComment(slots[kArtist]);
  c.Album = DecodeComment(slots[kAlbum]);
  c.Date = DecodeComment(slots[kDate]);
  c.Genre = DecodeComment(slots[kGenre]);
  c.Comment = DecodeComment(slots[kComment]);
  c.Vendor = DecodeComment(slots[kVendor]);
  c.Track = static_cast<uint8_t>(TrackNumber(slots[kTrack]));
  return c;
}

void CopyVorbisComments(const TVorbisComments& c, TTagInfo& tags) {
  tags.AddTag("Artist", c.Artist);
  tags.AddTag("Title", c.Title);
  tags.AddTag("Album", c.Album);
  tags.AddTag("Year", c.Date);
  tags.AddTag("Genre", c.Genre);
  tags.AddTag("Comments", c.Comment);
  tags.AddTag("Track", static_cast<int64_t>(c.Track));
}

}  // namespace tw
