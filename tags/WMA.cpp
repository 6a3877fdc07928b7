#include "tags/WMA.h"

#include <array>
#include <cstring>
#include <exception>

#include "base/ByteOrder.h"
#include "base/FileInput.h"
#include "base/Utf8.h"
#include "tags/TagClasses.h"

namespace tw {

namespace {

// Raised by a read that runs past the end of the file.
struct TReadError {};

// The file read at a moving position.
class TStream {
 public:
  explicit TStream(const std::string& fileName) : file_(fileName) {}

  bool Ok() const { return file_.Ok(); }
  int64_t Size() const { return file_.Size(); }
  int64_t Position() const { return pos_; }
  void Seek(int64_t pos) { pos_ = pos; }
  void Skip(int64_t n) { pos_ += n; }

  // Exactly n bytes at the position, or a TReadError.
  void Read(void* buf, size_t n) {
    if (!file_.ReadAt(pos_, buf, n)) throw TReadError{};
    pos_ += static_cast<int64_t>(n);
  }
  uint16_t U16() {
    unsigned char b[2];
    Read(b, 2);
    return static_cast<uint16_t>(b[0] | b[1] << 8);
  }
  uint32_t U32() {
    uint8_t b[4];
    Read(b, 4);
    return Le32(b);
  }
  uint64_t U64() {
    uint8_t b[8];
    Read(b, 8);
    return Le64(b);
  }

 private:
  TFileInput file_;
  int64_t pos_ = 0;
};

using TGuid = std::array<unsigned char, 16>;

// A GUID in its file layout: the first three fields little-endian.
constexpr TGuid Guid(uint32_t a, uint16_t b, uint16_t c, uint16_t d, uint64_t e) {
  TGuid g{};
  for (int i = 0; i < 4; ++i) g[i] = static_cast<unsigned char>(a >> (8 * i));
  for (int i = 0; i < 2; ++i) g[4 + i] = static_cast<unsigned char>(b >> (8 * i));
  for (int i = 0; i < 2; ++i) g[6 + i] = static_cast<unsigned char>(c >> (8 * i));
  g[8] = static_cast<unsigned char>(d >> 8);
  g[9] = static_cast<unsigned char>(d);
  for (int i = 0; i < 6; ++i) g[10 + i] = static_cast<unsigned char>(e >> (8 * (5 - i)));
  return g;
}

constexpr TGuid kHeaderObject = Guid(0x75B22630, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6C);
constexpr TGuid kFilePropertiesObject = Guid(0x8CABDCA1, 0xA947, 0x11CF, 0x8EE4, 0x00C00C205365);
constexpr TGuid kStreamPropertiesObject = Guid(0xB7DC0791, 0xA9B7, 0x11CF, 0x8EE6, 0x00C00C205365);
constexpr TGuid kContentDescriptionObject = Guid(0x75B22633, 0x668E, 0x11CF, 0xA6D9, 0x00AA0062CE6C);
constexpr TGuid kExtendedContentDescriptionObject = Guid(0xD2D0A440, 0xE307, 0x11D2, 0x97F0, 0x00A0C95EA850);

// WM/TrackNumber (counted from 1, what current writers use) has its own slot:
// it wins over the older WM/Track, whichever comes first.
enum TSlot { kTitle, kArtist, kAlbum, kTrack, kYear, kGenre, kComment, kTrackNumber, kSlots };

struct TDescriptorName {
  const char16_t* Name;
  TSlot Slot;
};
constexpr TDescriptorName kDescriptorNames[] = {
    {u"WM/TITLE", kTitle}, {u"WM/AUTHOR", kArtist}, {u"WM/ALBUMTITLE", kAlbum},    {u"WM/TRACK", kTrack},
    {u"WM/YEAR", kYear},   {u"WM/GENRE", kGenre},   {u"WM/DESCRIPTION", kComment},   {u"WM/TRACKNUMBER", kTrackNumber},
};

// Descriptor value types.
enum : uint16_t { kTypeString = 0, kTypeBool = 2, kTypeDword = 3, kTypeQword = 4, kTypeWord = 5 };

struct TFileData {
  uint32_t FileSize = 0;
  uint32_t MaxBitRate = 0;
  uint32_t Channels = 0;
  uint32_t SampleRate = 0;
  uint32_t ByteRate = 0;
  uint64_t PlayDuration = 0;  // 100-nanosecond units, preroll included
  uint64_t Preroll = 0;       // milliseconds
  std::u16string TagData[kSlots];
};

constexpr size_t kMaxChars = 250;

// A string of n bytes: its first min(n div 2, 250) characters; the rest of
// the n bytes is skipped.
std::u16string ReadString(TStream& in, uint32_t n) {
  const size_t chars = n / 2 < kMaxChars ? n / 2 : kMaxChars;
  unsigned char buf[kMaxChars * 2];
  in.Read(buf, chars * 2);
  std::u16string s(chars, u'\0');
  for (size_t i = 0; i < chars; ++i) s[i] = static_cast<char16_t>(buf[2 * i] | buf[2 * i + 1] << 8);
  in.Skip(static_cast<int64_t>(n) - static_cast<int64_t>(chars * 2));
  return s;
}

std::u16string Trimmed(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] <= 32) ++b;
  while (e > b && s[e - 1] <= 32) --e;
  return s.substr(b, e - b);
}

std::u16string UpperAscii(std::u16string s) {
  for (char16_t& c : s)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return s;
}

// Decimal with an optional sign, whole text, 32-bit range; 0 otherwise.
int32_t ToInt(const std::u16string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  if (i == text.size()) return 0;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < u'0' || text[i] > u'9') return 0;
    value = value * 10 + (text[i] - u'0');
    if (value > 2147483648LL) return 0;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return 0;
  return static_cast<int32_t>(value);
}

void ReadContentDescription(TStream& in, int64_t start, TFileData& data) {
  in.Seek(start + 24);
  uint16_t lengths[5];
  for (auto& n : lengths) n = in.U16();
  // title, author, copyright, description, rating
  const int slots[5] = {kTitle, kArtist, -1, kComment, -1};
  for (int i = 0; i < 5; ++i) {
    if (lengths[i] == 0) continue;
    std::u16string s = ReadString(in, lengths[i]);
    if (slots[i] >= 0) data.TagData[slots[i]] = std::move(s);
  }
}

bool IsNumber(uint16_t type) {
  return type == kTypeBool || type == kTypeDword || type == kTypeQword || type == kTypeWord;
}

// A number value of 2, 4 or 8 bytes as decimal text.
std::u16string NumberText(TStream& in, uint16_t length) {
  uint8_t b[8] = {};
  in.Read(b, length);
  const std::string digits = std::to_string(Le64(b));
  return std::u16string(digits.begin(), digits.end());
}

void ReadExtendedContentDescription(TStream& in, int64_t start, TFileData& data) {
  in.Seek(start + 24);
  const uint16_t count = in.U16();
  for (uint16_t i = 0; i < count; ++i) {
    const std::u16string name = UpperAscii(Trimmed(ReadString(in, in.U16())));
    const uint16_t type = in.U16();
    const uint16_t length = in.U16();
    std::u16string value;
    if (type == kTypeString) {
      value = ReadString(in, length);
    } else if (IsNumber(type) && length >= 2 && length <= 8) {
      value = NumberText(in, length);
    } else {
      in.Skip(length);
      continue;
    }
    for (const auto& known : kDescriptorNames)
      if (name == known.Name) data.TagData[known.Slot] = value;
  }
}

// False on a read past the end; a file that is not ASF leaves data as it is.
bool ReadFileData(TStream& in, TFileData& data) {
  try {
    TGuid guid;
    in.Read(guid.data(), guid.size());
    if (guid != kHeaderObject) return true;
    in.Skip(8);
    const uint32_t objects = in.U32();
    in.Skip(2);
    for (uint32_t i = 0; i < objects; ++i) {
      const int64_t start = in.Position();
      in.Read(guid.data(), guid.size());
      const uint32_t size = in.U32();
      if (guid == kFilePropertiesObject) {
        in.Seek(start + 64);
        data.PlayDuration = in.U64();
        in.Skip(8);  // send duration
        data.Preroll = in.U64();
        in.Seek(start + 100);
        data.MaxBitRate = in.U32();
      } else if (guid == kStreamPropertiesObject) {
        in.Seek(start + 80);
        data.Channels = in.U16();
        data.SampleRate = in.U32();
        data.ByteRate = in.U32();
      } else if (guid == kContentDescriptionObject) {
        ReadContentDescription(in, start, data);
      } else if (guid == kExtendedContentDescriptionObject) {
        ReadExtendedContentDescription(in, start, data);
      }
      // A zero size would read the same object again and again to the same
      // effect: one reading is enough.
      if (size == 0) break;
      in.Seek(start + size);
    }
    return true;
  } catch (const TReadError&) {
    return false;
  }
}

}  // namespace

std::string WideToUtf8(const std::u16string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    AppendUtf8(out, cp);
  }
  return out;
}

void TWMAfile::Reset() { *this = TWMAfile(); }

bool TWMAfile::ReadFromFile(const std::string& fileName) {
  Reset();
  TFileData data;
  try {
    TStream in(fileName);
    if (!in.Ok()) return false;
    data.FileSize = static_cast<uint32_t>(in.Size());
    if (!ReadFileData(in, data)) return false;
  } catch (const std::exception&) {
    return false;
  }
  // The texts count whatever the stream values are.
  Title = Trimmed(data.TagData[kTitle]);
  Artist = Trimmed(data.TagData[kArtist]);
  Album = Trimmed(data.TagData[kAlbum]);
  const std::u16string track = Trimmed(data.TagData[kTrackNumber]);
  // "6/15": the track before the count of tracks.
  const std::u16string trackText = track.empty() ? Trimmed(data.TagData[kTrack]) : track;
  Track = ToInt(trackText.substr(0, trackText.find(u'/')));
  Year = Trimmed(data.TagData[kYear]);
  Genre = Trimmed(data.TagData[kGenre]);
  Comment = Trimmed(data.TagData[kComment]);

  const bool plausible = data.MaxBitRate >= 1 && data.MaxBitRate <= 319999 &&
                         (data.Channels == 1 || data.Channels == 2) && data.SampleRate >= 8000 &&
                         data.SampleRate <= 96000 && data.ByteRate >= 1 && data.ByteRate <= 39999;
  if (!plausible) return true;
  Valid = true;
  FileSize = data.FileSize;
  ChannelModeID = static_cast<uint8_t>(data.Channels);
  SampleRate = data.SampleRate;
  // The play duration counts the preroll; without one the size at the
  // maximum rate is the estimate.
  const double played = static_cast<double>(data.PlayDuration) / 1e7 - static_cast<double>(data.Preroll) / 1000;
  Duration = played > 0 ? played : static_cast<double>(data.FileSize) * 8 / data.MaxBitRate;
  BitRate = data.ByteRate * 8 / 1000;
  return true;
}

std::string TWMAfile::ChannelMode() const {
  static const char* const kNames[] = {"Unknown", "Mono", "Stereo"};
  return kNames[ChannelModeID <= 2 ? ChannelModeID : 0];
}

void RunWMAHandler(const std::string& file, TTagInfo& tags) {
  TWMAfile wma;
  if (!wma.ReadFromFile(file)) return;
  tags.AddTag("Artist", WideToUtf8(wma.Artist));
  tags.AddTag("Title", WideToUtf8(wma.Title));
  tags.AddTag("Album", WideToUtf8(wma.Album));
  tags.AddTag("Year", WideToUtf8(wma.Year));
  tags.AddTag("Genre", WideToUtf8(wma.Genre));
  tags.AddTag("Comments", WideToUtf8(wma.Comment));
  tags.AddTag("Track", static_cast<int64_t>(wma.Track));
  tags.AddTag("ChannelModeid", static_cast<int64_t>(wma.ChannelModeID));
  tags.AddTag("ChannelModeName", wma.ChannelMode());
  tags.AddTag("SampleRateHZ", static_cast<int64_t>(wma.SampleRate));
  tags.AddTag("BitRateKBS", static_cast<int64_t>(wma.BitRate));
  tags.AddTag("DurationSec", wma.Duration);
}

}  // namespace tw
