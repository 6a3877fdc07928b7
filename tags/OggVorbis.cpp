#include "tags/OggVorbis.h"

#include <cmath>
#include <cstring>
#include <exception>

#include "core/Utf8.h"
#include "tags/FileInput.h"
#include "tags/TagClasses.h"

namespace tw {

namespace {

uint32_t LeU32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

constexpr size_t kIdHeaderOffset = 28;
constexpr size_t kIdHeaderSize = 30;
constexpr size_t kWindow = 250;       // start window, item prefix and tail window
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
  unsigned char len[4];
  if (!in.ReadAt(pos, len, 4)) return false;
  const uint32_t size = LeU32(len);
  const size_t kept = size < kItemKept ? size : kItemKept;
  char buf[kItemKept];
  if (!in.ReadAt(pos + 4, buf, kept)) return false;
  pos += 4 + static_cast<int64_t>(size);
  text.assign(buf, kept);
  text.resize(std::strlen(text.c_str()));
  return true;
}

void ReadComments(const TFileInput& in, std::string (&slots)[kSlots]) {
  unsigned char head[kWindow];
  const size_t got = in.ReadUpTo(0, head, kWindow);
  static const unsigned char kSignature[7] = {3, 'v', 'o', 'r', 'b', 'i', 's'};
  int64_t pos = 0;
  for (size_t p = 0; p + 7 <= got && p <= 243; ++p)
    if (std::memcmp(head + p, kSignature, 7) == 0) {
      pos = static_cast<int64_t>(p) + 7;
      break;
    }

  if (!ReadItem(in, pos, slots[kVendor])) return;
  unsigned char countBytes[4];
  if (!in.ReadAt(pos, countBytes, 4)) return;
  pos += 4;
  const uint32_t count = LeU32(countBytes);
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

uint32_t LastGranule(const TFileInput& in, uint32_t fileSize) {
  unsigned char window[kWindow];
  for (int64_t i = 1; i <= 50; ++i) {
    const int64_t start = static_cast<int64_t>(fileSize) - 240 * i - 10;
    if (!in.ReadAt(start, window, kWindow)) return 0;
    for (size_t q = 0; q <= 240; ++q)
      if (std::memcmp(window + q, "OggS", 4) == 0) {
        unsigned char granule[4];
        if (!in.ReadAt(start + static_cast<int64_t>(q) + 6, granule, 4)) return 0;
        return LeU32(granule);
      }
  }
  return 0;
}

}  // namespace

void TOggVorbis::Reset() { *this = TOggVorbis(); }

bool TOggVorbis::ReadFromFile(const std::string& fileName) {
  Reset();
  try {
    TFileInput in(fileName);
    unsigned char id[kIdHeaderSize];
    if (!in.Ok() || !in.ReadAt(kIdHeaderOffset, id, kIdHeaderSize)) return false;
    if (std::memcmp(id, "\x01vorbis", 7) != 0) return true;

    Valid = true;
    FileSize = static_cast<uint32_t>(in.Size());
    const uint8_t channels = id[11];
    ChannelModeID = channels == 1 || channels == 2 ? channels : 0;
    const int32_t rate = static_cast<int32_t>(LeU32(id + 12));
    SampleRate = rate >= 8000 && rate <= 48000 ? static_cast<uint16_t>(rate) : 0;
    const int32_t nominal = static_cast<int32_t>(LeU32(id + 20)) / 1000;
    BitRateNominal = nominal >= 16 && nominal <= 350 ? static_cast<uint16_t>(nominal) : 0;

    std::string slots[kSlots];
    ReadComments(in, slots);
    Title = DecodeComment(slots[kTitle]);
    Artist = DecodeComment(slots[kArtist]);
    Album = DecodeComment(slots[kAlbum]);
    Date = DecodeComment(slots[kDate]);
    Genre = DecodeComment(slots[kGenre]);
    Comment = DecodeComment(slots[kComment]);
    Vendor = DecodeComment(slots[kVendor]);
    Track = static_cast<uint8_t>(TrackNumber(slots[kTrack]));

    Samples = LastGranule(in, FileSize);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

std::string TOggVorbis::ChannelMode() const {
  static const char* const kNames[] = {"Unknown", "Mono", "Stereo"};
  return kNames[ChannelModeID <= 2 ? ChannelModeID : 0];
}

double TOggVorbis::Duration() const {
  if (Samples != 0) return SampleRate != 0 ? static_cast<double>(Samples) / SampleRate : 0;
  if (BitRateNominal > 0 && ChannelModeID > 0)
    return static_cast<double>(FileSize) / BitRateNominal / ChannelModeID / 125 * 2;
  return 0;
}

int TOggVorbis::BitRate() const {
  const double duration = Duration();
  if (duration <= 0) return 0;
  return static_cast<int>(std::nearbyint(static_cast<double>(FileSize) / duration / 125));
}

void RunOGGHandler(const std::string& file, TTagInfo& tags) {
  TOggVorbis ogg;
  if (!ogg.ReadFromFile(file)) return;
  tags.AddTag("Artist", ogg.Artist);
  tags.AddTag("Title", ogg.Title);
  tags.AddTag("Album", ogg.Album);
  tags.AddTag("Year", ogg.Date);
  tags.AddTag("Genre", ogg.Genre);
  tags.AddTag("Comments", ogg.Comment);
  tags.AddTag("Track", static_cast<int64_t>(ogg.Track));
  tags.AddTag("ChannelModeid", static_cast<int64_t>(ogg.ChannelModeID));
  tags.AddTag("ChannelModeName", ogg.ChannelMode());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(ogg.SampleRate));
  tags.AddTag("BitRateKBS", static_cast<int64_t>(ogg.BitRate()));
  tags.AddTag("DurationSec", ogg.Duration());
  tags.AddTag("Vendor", ogg.Vendor);
}

}  // namespace tw
