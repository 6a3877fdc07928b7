#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/Utf8.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagClasses.h"
#include "tags/TagCopies.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

using Strings = std::vector<std::string>;
using Bytes = std::string;

const fs::path kAudio = fs::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "fixtures" / "audio";

class ID3Files : public testing::Test {
 public:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-id3-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir); }
  std::string Write(const Bytes& bytes, const std::string& name = "t.mp3") {
    std::string path = dir + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir;
};

// ---- writers --------------------------------------------------------------

Bytes BigEndian(uint32_t v, int n) {
  Bytes b;
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return b;
}
Bytes SyncSafe(uint32_t v) {
  Bytes b;
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<char>((v >> (7 * i)) & 0x7F));
  return b;
}
Bytes Frame22(const std::string& id, const Bytes& data) { return id + BigEndian(data.size(), 3) + data; }
Bytes Frame(const std::string& id, const Bytes& data, uint8_t flags2 = 0) {
  return id + BigEndian(data.size(), 4) + Bytes(1, '\0') + Bytes(1, static_cast<char>(flags2)) + data;
}
// A whole tag: header with the body's size, body, footer when flagged.
Bytes Tag(int version, const Bytes& body, uint8_t flags = 0) {
  Bytes t = "ID3" + Bytes(1, static_cast<char>(version)) + Bytes(1, '\0') + Bytes(1, static_cast<char>(flags)) +
            SyncSafe(body.size()) + body;
  if (flags & 0x10) t += "3DI" + Bytes(1, static_cast<char>(version)) + Bytes(2, '\0') + SyncSafe(body.size());
  return t;
}
Bytes Latin(const std::string& s) { return Bytes(1, '\0') + s; }
Bytes Utf16Le(const std::u16string& s, bool bom = true) {
  Bytes b(1, '\1');
  if (bom) b += "\xFF\xFE";
  for (char16_t c : s) b += Bytes{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return b + Bytes(2, '\0');
}
Bytes Utf16Be(const std::u16string& s) {
  Bytes b(1, '\2');
  for (char16_t c : s) b += Bytes{static_cast<char>(c >> 8), static_cast<char>(c & 0xFF)};
  return b;
}
Bytes V1Tag(const std::string& title, const std::string& artist, const std::string& album, const std::string& year,
            const Bytes& comment30, uint8_t genre) {
  auto pad = [](std::string s, size_t n) { return s.append(n - s.size(), '\0'); };
  return "TAG" + pad(title, 30) + pad(artist, 30) + pad(album, 30) + pad(year, 4) + pad(comment30, 30) +
         Bytes(1, static_cast<char>(genre));
}

TID3v2 ReadV2(ID3Files& f, const Bytes& bytes) {
  TID3v2 t;
  EXPECT_TRUE(t.ReadFromFile(f.Write(bytes)));
  return t;
}

// ---- shared fixtures ------------------------------------------------------

struct V1Expect {
  const char* file;
  bool read, exists;
  int version;
  const char *title, *artist, *album, *year, *comment;
  int track, genreId;
  const char* genre;
};

TEST(ID3SharedFixtures, ID3v1ValueByValue) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const V1Expect cases[] = {
      {"silence-44-s-v1.mp3", true, true, 2, "Silence", "piman", "Quod Libet Test Data", "2004", "", 2, 50, "Darkwave"},
      {"silence-44-s.mp3", true, true, 2, "Silence", "piman", "Quod Libet Test Data", "2004", "", 2, 255, ""},
      {"id3v1v2-combined.mp3", true, true, 2, "cosmic american", "Anais Mitchell", "Hymns for the Exiled", "1337",
       "v1 comment", 3, 255, ""},
      {"id3v22-test.mp3", true, false, 1, "", "", "", "", "", 0, 255, ""},
      {"too-short.mp3", true, false, 1, "", "", "", "", "", 0, 255, ""},
      {"no-tags.mp3", true, false, 1, "", "", "", "", "", 0, 255, ""},
      {"emptyfile.mp3", false, false, 1, "", "", "", "", "", 0, 255, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TID3v1 t;
    EXPECT_EQ(t.ReadFromFile((kAudio / c.file).string()), c.read);
    EXPECT_EQ(t.Exists, c.exists);
    EXPECT_EQ(t.VersionID, c.version);
    EXPECT_EQ(t.Title, c.title);
    EXPECT_EQ(t.Artist, c.artist);
    EXPECT_EQ(t.Album, c.album);
    EXPECT_EQ(t.Year, c.year);
    EXPECT_EQ(t.Comment, c.comment);
    EXPECT_EQ(t.Track, c.track);
    EXPECT_EQ(t.GenreID, c.genreId);
    EXPECT_EQ(t.Genre(), c.genre);
  }
}

struct V2Expect {
  const char* file;
  bool read, exists;
  int version, size;
  const char *title, *artist, *album, *trackString;
  int track;
  const char *year, *genre, *comment;
};

TEST(ID3SharedFixtures, ID3v2ValueByValue) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const char* cddb = "9D09130B+174405+11+150+14097+27391+43983+65786+84877+99399+113226+132452+146426+163829";
  const V2Expect cases[] = {
      // The last of several COM frames wins: the one described iTunes_CDDB_TrackNumber.
      {"id3v22-test.mp3", true, true, 2, 2225, "cosmic american", "Anais Mitchell", "Hymns for the Exiled", "3/11",
       3, "2004", "", "3"},
      // TYER in UTF-8 (encoding 3) is read; there is no album frame.
      {"id3v1v2-combined.mp3", true, true, 4, 2225, "cosmic american", "Anais Mitchell", "", "3/11", 3, "2004", "",
       cddb},
      // The second TPE1 replaces the first.
      {"silence-44-s.mp3", true, true, 3, 1314, "Silence", "jzig", "Quod Libet Test Data", "02/10", 2, "2004",
       "Silence", ""},
      {"too-short.mp3", true, true, 2, 2147, "Track 10", "Hieroglyph", "Hieroglyph", "10/10", 10, "", "", "10"},
      // The extended header (12 bytes) is skipped; the genre text ends in ")" so nothing of it is left.
      {"id3v24_extended_header.id3", true, true, 4, 194, "One Second of Silence", "Snild Dolkow",
       "Mutagen Bug Reports", "1", 1, "2023", "", "This is a comment!"},
      {"silence-44-s-v1.mp3", true, false, 0, 0, "", "", "", "", 0, "", "", ""},
      {"no-tags.mp3", true, false, 0, 0, "", "", "", "", 0, "", "", ""},
      {"emptyfile.mp3", false, false, 0, 0, "", "", "", "", 0, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TID3v2 t;
    EXPECT_EQ(t.ReadFromFile((kAudio / c.file).string()), c.read);
    EXPECT_EQ(t.Exists, c.exists);
    EXPECT_EQ(t.VersionID, c.version);
    EXPECT_EQ(t.Size, c.size);
    EXPECT_EQ(t.Title, c.title);
    EXPECT_EQ(t.Artist, c.artist);
    EXPECT_EQ(t.Album, c.album);
    EXPECT_EQ(t.TrackString, c.trackString);
    EXPECT_EQ(t.Track, c.track);
    EXPECT_EQ(t.Year, c.year);
    EXPECT_EQ(t.Genre, c.genre);
    EXPECT_EQ(t.Comment, c.comment);
  }
}

// Encoding 1 reads pairs low byte first whatever the byte-order mark says: the
// big-endian texts of this tag come out with their bytes swapped.
TEST(ID3SharedFixtures, UnsynchronisedTagIsReadAfterRemovingTheStuffedZeros) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TID3v2 t;
  ASSERT_TRUE(t.ReadFromFile((kAudio / "id3v23_unsynch.id3").string()));
  // Its texts are UTF-16 with a big-endian byte-order mark.
  EXPECT_EQ(t.VersionID, 3);
  EXPECT_EQ(t.Size, 186);
  EXPECT_EQ(t.Title, "My babe just cares for me");
  EXPECT_EQ(t.Artist, "Nina Simone");
  EXPECT_EQ(t.Album, "100% Jazz");
  EXPECT_EQ(t.TrackString, "03");
  EXPECT_EQ(t.Track, 3);
}

TEST(ID3SharedFixtures, MP3HandlerCopiesID3v1ThenID3v2) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunMP3Handler((kAudio / "id3v1v2-combined.mp3").string(), tags);
  EXPECT_EQ(tags.Tags, (Strings{"Artist=Anais Mitchell", "Title=cosmic american", "Album=Hymns for the Exiled",
                                "Year=2004", "Comments=9D09130B+174405+11+150+14097+27391+43983+65786+84877+99399+"
                                             "113226+132452+146426+163829",
                                "Track=3"}));
  TTagInfo v1only;
  RunMP3Handler((kAudio / "silence-44-s-v1.mp3").string(), v1only);
  EXPECT_EQ(v1only.Tags, (Strings{"Artist=piman", "Title=Silence", "Album=Quod Libet Test Data", "Year=2004",
                                  "Genre=Darkwave", "Track=2"}));
  TTagInfo none;
  RunMP3Handler((kAudio / "emptyfile.mp3").string(), none);
  EXPECT_TRUE(none.Tags.empty());
}

// ---- ID3v1 written here ---------------------------------------------------

TEST_F(ID3Files, ID3v1ShortFileFails) {
  TID3v1 t;
  EXPECT_FALSE(t.ReadFromFile(Write(Bytes(127, 'x'))));
  EXPECT_FALSE(t.ReadFromFile(dir + "/missing.mp3"));
}

TEST_F(ID3Files, ID3v1WithoutSignatureIsReadAsAbsent) {
  TID3v1 t;
  EXPECT_TRUE(t.ReadFromFile(Write(Bytes(200, 'x'))));
  EXPECT_FALSE(t.Exists);
  EXPECT_EQ(t.GenreID, 255);
  EXPECT_EQ(t.Genre(), "");
}

struct V1VersionCase {
  uint8_t b125, b126;
  int version, track;
  const char* comment;
};

TEST_F(ID3Files, ID3v1VersionAndTrack) {
  const V1VersionCase cases[] = {
      {0, 5, 2, 5, "Twenty-eight bytes of comme"},  // 28 bytes, no zero within
      {0, 0, 1, 0, "Twenty-eight bytes of comme"},   // zeros end the 30-byte comment
      {' ', 7, 2, 7, "Twenty-eight bytes of comme"},
      {'X', 'Y', 1, 0, "Twenty-eight bytes of comme XY"},
      {' ', ' ', 1, 0, "Twenty-eight bytes of comme"},  // trailing blanks go
  };
  for (const auto& c : cases) {
    Bytes comment = "Twenty-eight bytes of comme ";  // 28 bytes, the last a blank
    comment += Bytes{static_cast<char>(c.b125), static_cast<char>(c.b126)};
    TID3v1 t;
    ASSERT_TRUE(t.ReadFromFile(Write("audio" + V1Tag("T", "A", "B", "1999", comment, 12))));
    SCOPED_TRACE(int(c.b126));
    EXPECT_TRUE(t.Exists);
    EXPECT_EQ(t.VersionID, c.version);
    EXPECT_EQ(t.Track, c.track);
    EXPECT_EQ(t.Comment, c.comment);
  }
}

TEST_F(ID3Files, ID3v1TextsStopAtZeroAndLoseTrailingBlanks) {
  Bytes title = "Hello\tworld  \x01";
  title += Bytes("\0junk", 5);
  TID3v1 t;
  ASSERT_TRUE(t.ReadFromFile(Write(V1Tag(title, "  Lead", "Album", "2001", "", 147))));
  EXPECT_EQ(t.Title, "Hello\tworld");
  EXPECT_EQ(t.Artist, "  Lead");
  EXPECT_EQ(t.Year, "2001");
  EXPECT_EQ(t.Genre(), "Synthpop");
}

TEST(ID3v1Genres, NamesAsTheListSpellsThem) {
  const std::pair<unsigned, const char*> cases[] = {
      {0, "Blues"},        {12, "Other"},         {67, "Psychadelic"}, {79, "Hard Rock"},
      {80, "Folk"},        {92, "Progessive Rock"}, {123, "A capella"}, {133, "Negerpunk"},
      {147, "Synthpop"},   {148, ""},             {255, ""},
  };
  for (const auto& [id, name] : cases) EXPECT_EQ(ID3v1GenreName(id), name) << id;
}

// ---- ID3v2 written here ---------------------------------------------------

TEST_F(ID3Files, ID3v2ShortFileFails) {
  TID3v2 t;
  EXPECT_FALSE(t.ReadFromFile(Write("ID3\3\0\0\0\0\0")));
  EXPECT_FALSE(t.Exists);
}

TEST_F(ID3Files, ID3v2WithoutSignatureIsReadAsAbsent) {
  TID3v2 t = ReadV2(*this, Bytes(64, 'x'));
  EXPECT_FALSE(t.Exists);
  EXPECT_EQ(t.Size, 0);
}

TEST_F(ID3Files, ID3v2SizeCountsHeaderAndFooter) {
  const Bytes body = Frame("TIT2", Latin("Foot")) + Bytes(20, '\0');
  TID3v2 with = ReadV2(*this, Tag(4, body, 0x10) + "audio");
  EXPECT_EQ(with.Size, static_cast<int>(body.size()) + 20);
  EXPECT_EQ(with.Title, "Foot");
  TID3v2 without = ReadV2(*this, Tag(4, body) + "audio");
  EXPECT_EQ(without.Size, static_cast<int>(body.size()) + 10);
}

TEST_F(ID3Files, ID3v2DeclaredSizeBeyondTheFileReadsNoFrames) {
  Bytes t = Tag(3, Frame("TIT2", Latin("Lost")));
  t[8] = 0x7F;  // ~16 KB declared in a file of a few bytes
  TID3v2 r = ReadV2(*this, t);
  EXPECT_TRUE(r.Exists);
  EXPECT_EQ(r.VersionID, 3);
  EXPECT_EQ(r.Size, 0);
  EXPECT_EQ(r.Title, "");
}

TEST_F(ID3Files, ID3v2UnknownVersionReadsNoFrames) {
  TID3v2 r = ReadV2(*this, Tag(5, Frame("TIT2", Latin("Later"))));
  EXPECT_TRUE(r.Exists);
  EXPECT_EQ(r.VersionID, 5);
  EXPECT_GT(r.Size, 0);
  EXPECT_EQ(r.Title, "");
}

struct TextCase {
  const char* name;
  Bytes data;
  std::string title;
};

TEST_F(ID3Files, ID3v2TextEncodings) {
  const TextCase cases[] = {
      {"latin with padding", Latin("  Song  ") + Bytes(4, '\0'), "Song"},
      {"utf-16 with mark", Bytes("\1\xFF\xFE" "A\0B\0", 7), "AB"},
      {"utf-16 without mark", Utf16Le(u"Caf\u00E9", false), "Caf\xC3\xA9"},
      {"utf-16 surrogate pair", Utf16Le(u"\U0001F600x"), "\xF0\x9F\x98\x80x"},
      {"utf-16 drops a character whose low byte is FF", Utf16Le(u"a\u01FFb"), "ab"},
      {"utf-16 stops at a zero pair", Utf16Le(u"ab") + "c\0", "ab"},
      {"utf-16 big-endian", Utf16Be(u"\u00C5ngstr\u00F6m"), "\xC3\x85ngstr\xC3\xB6m"},
      {"utf-8", Bytes(1, '\3') + "\xC3\xA9t\xC3\xA9\0", "\xC3\xA9t\xC3\xA9"},
      {"unknown encoding ignored", Bytes(1, '\4') + "Nope", ""},
      {"text ends at a zero", Latin("Left\0Right"), "Left"},
  };
  for (const auto& c : cases) {
    TID3v2 r = ReadV2(*this, Tag(3, Frame("TIT2", c.data)));
    EXPECT_EQ(r.Title, c.title) << c.name;
  }
}

struct TrackCase {
  std::string text;
  int track;
};

TEST_F(ID3Files, ID3v2TrackNumber) {
  const TrackCase cases[] = {{"3/12", 3}, {"x", 0}, {"7", 7}, {"/9", 0}, {"12a/3", 0}, {"65537", 1}, {"-1", 65535}};
  for (const auto& c : cases) {
    TID3v2 r = ReadV2(*this, Tag(4, Frame("TRCK", Latin(c.text))));
    EXPECT_EQ(r.TrackString, c.text);
    EXPECT_EQ(r.Track, c.track) << c.text;
  }
}

TEST_F(ID3Files, ID3v2Genre) {
  // A number of the ID3v1 list alone gives its name; otherwise everything up
  // to the last ")" goes.
  const std::pair<std::string, std::string> cases[] = {
      {"(17)Rock", "Rock"},  {"(17)", "Rock"},     {"17", "Rock"},  {"(0)", "Blues"},
      {"(147)", "Synthpop"}, {"(148)", ""},        {"148", "148"},  {"(4)(17)Rock & Roll", "Rock & Roll"},
      {"Jazz", "Jazz"},      {"1984", "1984"},     {"(17", "(17"}};
  for (const auto& [text, genre] : cases) EXPECT_EQ(ReadV2(*this, Tag(3, Frame("TCON", Latin(text)))).Genre, genre);
}

TEST_F(ID3Files, ID3v2Comments) {
  const TextCase cases[] = {
      {"empty description", Latin("eng") + Bytes(1, '\0') + "Hi", "Hi"},
      {"latin description", Latin("eng") + Bytes("Note\0Body text", 14), "Body text"},
      {"utf-16 description",
       Bytes(1, '\1') + "eng" + Utf16Le(u"Desc").substr(1) + Utf16Le(u"Body").substr(1), "Body"},
      {"utf-16 empty description", Bytes(1, '\1') + "eng" + Bytes("\xFF\xFE\0\0", 4) + Utf16Le(u"Hi").substr(1),
       "Hi"},
      {"utf-8 description", Bytes(1, '\3') + "deu" + Bytes("d\0\xC3\xBC", 4), "\xC3\xBC"},
  };
  for (const auto& c : cases) {
    TID3v2 r = ReadV2(*this, Tag(3, Frame("COMM", c.data)));
    EXPECT_EQ(r.Comment, c.title) << c.name;
  }
}

TEST_F(ID3Files, ID3v2Version22Frames) {
  Bytes body = Frame22("TT2", Latin("Two")) + Frame22("TP1", Utf16Le(u"Art")) + Frame22("TAL", Latin("Alb")) +
               Frame22("TRK", Latin("4/9")) + Frame22("TYE", Latin("1987")) + Frame22("TCO", Latin("(8)Jazz")) +
               Frame22("COM", Latin("engd") + Bytes(1, '\0') + "Talk") + Frame22("TIT2", Latin("no")) +
               Bytes(30, '\0');
  TID3v2 r = ReadV2(*this, Tag(2, body));
  EXPECT_EQ(r.Title, "Two");
  EXPECT_EQ(r.Artist, "Art");
  EXPECT_EQ(r.Album, "Alb");
  EXPECT_EQ(r.Track, 4);
  EXPECT_EQ(r.Year, "1987");
  EXPECT_EQ(r.Genre, "Jazz");
  EXPECT_EQ(r.Comment, "Talk");
}

TEST_F(ID3Files, ID3v2FallbackSlots) {
  Bytes v3 = Frame("TIT1", Latin("Group")) + Frame("TOPE", Latin("Orig")) + Frame("TOAL", Latin("OrigAlb")) +
             Frame("TDRC", Latin("2019-04-01"));
  TID3v2 r = ReadV2(*this, Tag(4, v3));
  EXPECT_EQ(r.Title, "Group");
  EXPECT_EQ(r.Artist, "Orig");
  EXPECT_EQ(r.Album, "OrigAlb");
  EXPECT_EQ(r.Year, "2019");
  // The main frames win over the fallbacks whatever their order.
  TID3v2 both = ReadV2(*this, Tag(3, v3 + Frame("TIT2", Latin("Main")) + Frame("TYER", Latin("1999"))));
  EXPECT_EQ(both.Title, "Main");
  EXPECT_EQ(both.Year, "1999");
  TID3v2 v22 = ReadV2(*this, Tag(2, Frame22("TT1", Latin("G")) + Frame22("TOR", Latin("1970"))));
  EXPECT_EQ(v22.Title, "G");
  EXPECT_EQ(v22.Year, "1970");
}

TEST_F(ID3Files, ID3v2LongFrameKeepsItsStartAndTheNextFrameIsRead) {
  Bytes longText = Latin(std::string(599, 'x'));  // 600 bytes of frame data
  longText[498] = 'A';
  longText[499] = 'B';  // the last kept byte
  longText[500] = 'C';
  TID3v2 r = ReadV2(*this, Tag(3, Frame("TIT2", longText) + Frame("TPE1", Latin("Next"))));
  EXPECT_EQ(r.Title, std::string(497, 'x') + "AB");
  EXPECT_EQ(r.Artist, "Next");
}

TEST_F(ID3Files, ID3v2SkipsCompressedAndUnknownFrames) {
  TID3v2 r = ReadV2(*this, Tag(3, Frame("TIT2", Latin("Plain")) + Frame("TIT2", Latin("Packed"), 0x80) +
                                      Frame("TXXX", Latin("other")) + Frame("TPE1", Latin("Who"))));
  EXPECT_EQ(r.Title, "Plain");
  EXPECT_EQ(r.Artist, "Who");
}

TEST_F(ID3Files, ID3v2WalkStopsAtANonLetter) {
  TID3v2 r = ReadV2(*this, Tag(3, Frame("TIT2", Latin("One")) + Bytes(10, '\0') + Frame("TPE1", Latin("Hidden"))));
  EXPECT_EQ(r.Title, "One");
  EXPECT_EQ(r.Artist, "");
}

TEST_F(ID3Files, ID3v2LaterFrameReplacesEarlier) {
  TID3v2 r = ReadV2(*this, Tag(4, Frame("TALB", Latin("First")) + Frame("TALB", Latin("Second"))));
  EXPECT_EQ(r.Album, "Second");
}

TEST_F(ID3Files, ID3v2ExtendedHeadersAreSkipped) {
  Bytes frames = Frame("TIT2", Latin("Ext"));
  // 2.3: a 4-byte size that leaves itself out, here 6 bytes follow.
  Bytes v3 = BigEndian(6, 4) + Bytes(6, '\0') + frames;
  EXPECT_EQ(ReadV2(*this, Tag(3, v3, 0x40)).Title, "Ext");
  // 2.4: a 7-bit coded size that counts itself.
  Bytes v4 = SyncSafe(6) + Bytes("\1\0", 2) + frames;
  EXPECT_EQ(ReadV2(*this, Tag(4, v4, 0x40)).Title, "Ext");
  // The flag set by writers that wrote no extended header: a frame follows
  // the tag header at once, or the size given does not fit the tag. Either
  // way the frames are read from offset 10.
  for (const uint8_t version : {3, 4}) {
    SCOPED_TRACE(version);
    EXPECT_EQ(ReadV2(*this, Tag(version, frames, 0x40)).Title, "Ext");
    EXPECT_EQ(ReadV2(*this, Tag(version, Frame("TPE1", Latin("Band")) + frames, 0x40)).Artist, "Band");
    // A frame whose ID is no ID (a blank in it): as a size it reaches far past the tag.
    EXPECT_EQ(ReadV2(*this, Tag(version, Frame("TYE ", Latin("1999")) + frames, 0x40)).Title, "Ext");
  }
}

TEST_F(ID3Files, ID3v2UnsynchronisedTag23) {
  // "\xFF\xFE" in the UTF-16 mark is stuffed to FF 00 FE.
  Bytes body = Frame("TIT2", Bytes("\1\xFF\x00\xFE" "A\0B\0\0\0", 10)) + Frame("TPE1", Latin("Z"));
  // The frame size counts the bytes after unsynchronisation is removed.
  body.replace(4, 4, BigEndian(9, 4));
  TID3v2 r = ReadV2(*this, Tag(3, body, 0x80));
  EXPECT_EQ(r.Title, "AB");
  EXPECT_EQ(r.Artist, "Z");
}

TEST_F(ID3Files, ID3v2Utf16FollowsItsByteOrderMark) {
  struct Case {
    Bytes data;
    std::string text;
  } cases[] = {
      {Bytes("\1\xFF\xFE\xE9\x00" "A\0", 7), "\xC3\xA9" "A"},  // little-endian mark
      {Bytes("\1\xFE\xFF\x00\xE9\0" "A", 7), "\xC3\xA9" "A"},  // big-endian mark
      {Bytes("\2\x00\xE9\0" "A", 5), "\xC3\xA9" "A"},             // encoding 2 has no mark
  };
  for (const auto& c : cases) {
    TID3v2 r = ReadV2(*this, Tag(3, Frame("TIT2", c.data)));
    EXPECT_EQ(r.Title, c.text);
  }
}

TEST_F(ID3Files, ID3v2UnsynchronisedFrame24) {
  // Frame flags: unsynchronisation (02) with a data length indicator (01).
  Bytes data = SyncSafe(9) + Bytes("\1\xFF\x00\xFE" "A\0B\0\0\0", 10);
  TID3v2 r = ReadV2(*this, Tag(4, Frame("TIT2", data, 0x03) + Frame("TPE1", Latin("Z"))));
  EXPECT_EQ(r.Title, "AB");
  EXPECT_EQ(r.Artist, "Z");
}

TEST_F(ID3Files, ID3v2FrameSizeBeyondTheTagReadsOnlyWhatTheFileHas) {
  Bytes body = Frame("TIT2", Latin("T"));
  body += "TPE1" + BigEndian(0xFFFFFFF0u, 4) + Bytes(2, '\0') + Latin("Huge");
  TID3v2 r = ReadV2(*this, Tag(3, body) + "tail");
  EXPECT_EQ(r.Title, "T");
  // The kept bytes run past the tag into the audio, up to the end of the file.
  EXPECT_EQ(r.Artist, "Hugetail");
}

TEST_F(ID3Files, MP3HandlerID3v2WinsAndGlobalsGetNames) {
  Bytes file = Tag(3, Frame("TIT2", Latin("V2 title")) + Frame("TRCK", Latin("0"))) + "audio" +
               V1Tag("V1 title", "V1 artist", "", "", Bytes(28, '\0') + Bytes("\0\x05", 2), 17);
  TTagInfo tags;
  RunMP3Handler(Write(file), tags);
  EXPECT_EQ(tags.Tags, (Strings{"Artist=V1 artist", "Title=V2 title", "Genre=Rock", "Track=5"}));
}

TEST_F(ID3Files, FifoIsNeverOpened) {
  std::string fifo = dir + "/x.mp3";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  // A reader that opened the FIFO would block here: nobody writes to it.
  TID3v1 v1;
  EXPECT_FALSE(v1.ReadFromFile(fifo));
  TID3v2 v2;
  EXPECT_FALSE(v2.ReadFromFile(fifo));
  TTagInfo tags;
  RunMP3Handler(fifo, tags);
  EXPECT_TRUE(tags.Tags.empty());
}

}  // namespace
}  // namespace tw
