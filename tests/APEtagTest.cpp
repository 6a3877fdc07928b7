#include "tags/APEtag.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tags/TagClasses.h"

namespace tw {
namespace {

namespace fs = std::filesystem;

const fs::path kAudio = fs::path(__FILE__).parent_path().parent_path() / ".." / "shared" / "fixtures" / "audio";

// Builds APE tags byte by byte: items, then the 32-byte footer.
class TApeWriter {
 public:
  explicit TApeWriter(uint32_t version = 2000) : version_(version) {}
  TApeWriter& Item(const std::string& key, const std::string& value) {
    return RawItem(key, value, static_cast<uint32_t>(value.size()));
  }
  TApeWriter& RawItem(const std::string& key, const std::string& value, uint32_t declaredLength) {
    Le32(items_, declaredLength);
    Le32(items_, 0);
    items_ += key;
    items_ += '\0';
    items_ += value;
    ++count_;
    return *this;
  }
  TApeWriter& Count(uint32_t count) {
    count_ = count;
    return *this;
  }
  std::string Bytes() const {
    std::string tag = items_;
    tag += "APETAGEX";
    Le32(tag, version_);
    Le32(tag, static_cast<uint32_t>(items_.size() + 32));
    Le32(tag, count_);
    Le32(tag, 0);
    tag += std::string(8, '\0');
    return tag;
  }

 private:
  static void Le32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
  }
  uint32_t version_;
  uint32_t count_ = 0;
  std::string items_;
};

std::string Id3v1() {
  std::string tag = "TAG";
  tag.resize(128, '\0');
  return tag;
}

class APEtagTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-ape-XXXXXX").string();
    dir_ = ::mkdtemp(tmpl.data());
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Write(const std::string& bytes, const std::string& name = "t.ape") {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Audio data in front of the tag, enough to reach 128 bytes.
  static std::string Audio() { return std::string(200, '\x55'); }

  std::string dir_;
};

struct TFixtureCase {
  const char* File;
  bool Result;
  bool Exists;
  uint32_t Version, Size;
  const char *Title, *Artist, *Album, *Year, *Genre;
  int Track;
};

TEST_F(APEtagTest, SharedFixtures) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  const TFixtureCase cases[] = {
      {"brokentag.apev2", true, true, 2000, 120, "Some Music", "AnArtist", "A test case", "", "", 7},
      {"oldtag.apev2", true, true, 2000, 120, "Some Music", "AnArtist", "A test case", "", "", 7},
      // 18 items announced, 17 present: the 18th runs into the footer and ends the reading.
      {"145-invalid-item-count.apev2", true, true, 2000, 568, "High Hopes", "Pink Floyd", "Division Bell", "1994",
       "Rock", 11},
      // The APE tag sits before a Lyrics3v2 block, so not right before ID3v1.
      {"apev2-lyricsv2.mp3", true, false, 0, 0, "", "", "", "", "", 0},
      {"mac-390-hdr.ape", true, false, 0, 0, "", "", "", "", "", 0},  // exactly 128 bytes
      {"mac-399.ape", true, false, 0, 0, "", "", "", "", "", 0},
      {"click.mpc", true, false, 0, 0, "", "", "", "", "", 0},
      {"mac-396.ape", false, false, 0, 0, "", "", "", "", "", 0},     // 104 bytes
      {"sv8_header.mpc", false, false, 0, 0, "", "", "", "", "", 0},  // 114 bytes
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.File);
    TAPEtag ape;
    EXPECT_EQ(ape.ReadFromFile((kAudio / c.File).string()), c.Result);
    EXPECT_EQ(ape.Exists, c.Exists);
    EXPECT_EQ(ape.Version, c.Version);
    EXPECT_EQ(ape.Size, c.Size);
    EXPECT_EQ(ape.Title, c.Title);
    EXPECT_EQ(ape.Artist, c.Artist);
    EXPECT_EQ(ape.Album, c.Album);
    EXPECT_EQ(ape.Year, c.Year);
    EXPECT_EQ(ape.Genre, c.Genre);
    EXPECT_EQ(ape.Comment, "");
    EXPECT_EQ(ape.Copyright, "");
    EXPECT_EQ(ape.Track, c.Track);
  }
}

TEST_F(APEtagTest, SharedFileHandlerWritesTheApeCopyInOrder) {
  if (!fs::is_directory(kAudio)) GTEST_SKIP() << "shared audio fixtures not found at " << kAudio;
  TTagInfo tags;
  RunAPEHandler((kAudio / "145-invalid-item-count.apev2").string(), tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"Artist=Pink Floyd", "Title=High Hopes", "Album=Division Bell",
                                                 "Year=1994", "Genre=Rock", "Track=11"}));
}

TEST_F(APEtagTest, HandlerCopiesCommentAsCommentsAndCopyrightLast) {
  auto file = Write(Audio() + TApeWriter()
                                  .Item("Copyright", "(c) Q")
                                  .Item("Comment", "nice")
                                  .Item("Track", "3")
                                  .Item("Artist", "A")
                                  .Bytes());
  TTagInfo tags;
  RunAPEHandler(file, tags);
  EXPECT_EQ(tags.Tags, (std::vector<std::string>{"Artist=A", "Comments=nice", "Track=3", "Copyright=(c) Q"}));
}

TEST_F(APEtagTest, HandlerWritesNothingWhenTheReadFails) {
  TTagInfo tags;
  RunAPEHandler(Write(TApeWriter().Item("Artist", "A").Bytes()), tags);  // 53 bytes: too short
  RunAPEHandler(dir_ + "/missing.ape", tags);
  EXPECT_TRUE(tags.Tags.empty());
}

TEST_F(APEtagTest, TagInFrontOfId3v1IsFoundInBothVersions) {
  for (uint32_t version : {1000u, 2000u}) {
    SCOPED_TRACE(version);
    TAPEtag ape;
    ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter(version).Item("Title", "T").Bytes() + Id3v1())));
    EXPECT_TRUE(ape.Exists);
    EXPECT_EQ(ape.Version, version);
    EXPECT_EQ(ape.Size, 32u + 8 + 6 + 1);
    EXPECT_EQ(ape.Title, "T");
  }
}

TEST_F(APEtagTest, TagNotDirectlyInFrontOfId3v1IsNotFound) {
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter().Item("Title", "T").Bytes() + "pad" + Id3v1())));
  EXPECT_FALSE(ape.Exists);
  EXPECT_EQ(ape.Title, "");
}

// Only the last 128 bytes decide about ID3v1: a tag that ends the file
// behind an ID3v1 tag is read as a plain last tag.
TEST_F(APEtagTest, TagEndingTheFileBehindId3v1IsReadAsLastTag) {
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + Id3v1() + TApeWriter().Item("Title", "T").Bytes())));
  EXPECT_TRUE(ape.Exists);
  EXPECT_EQ(ape.Title, "T");
}

TEST_F(APEtagTest, Utf8IsDecodedOnlyAboveVersion1000) {
  const std::string oe = "\xC3\xB6";  // o with diaeresis
  TAPEtag v2, v1;
  ASSERT_TRUE(v2.ReadFromFile(Write(Audio() + TApeWriter(2000).Item("Artist", oe).Bytes(), "v2.ape")));
  ASSERT_TRUE(v1.ReadFromFile(Write(Audio() + TApeWriter(1000).Item("Artist", oe).Bytes(), "v1.ape")));
  EXPECT_EQ(v2.Artist, oe);  // the system code page is UTF-8
  EXPECT_EQ(v1.Artist, oe);
}

TEST_F(APEtagTest, Utf8DecodingEndsAtTheFirstMalformedSequence) {
  struct {
    std::string Value, Version2000, Version1000;
  } cases[] = {
      {"ab\xFF" "cd", "ab", "ab\xFF" "cd"},
      {"x\xC3", "x", "x\xC3"},                                        // cut sequence
      {"\xE2\x82\xAC!", "\xE2\x82\xAC!", "\xE2\x82\xAC!"},            // three bytes: kept
      {"a\xF0\x9F\x98\x80" "b", "a", "a\xF0\x9F\x98\x80" "b"},       // four bytes: not decoded
  };
  for (const auto& c : cases) {
    TAPEtag v2, v1;
    ASSERT_TRUE(v2.ReadFromFile(Write(Audio() + TApeWriter(2000).Item("Album", c.Value).Bytes(), "v2.ape")));
    ASSERT_TRUE(v1.ReadFromFile(Write(Audio() + TApeWriter(1000).Item("Album", c.Value).Bytes(), "v1.ape")));
    EXPECT_EQ(v2.Album, c.Version2000);
    EXPECT_EQ(v1.Album, c.Version1000);
  }
}

TEST_F(APEtagTest, KeysCompareWithoutCaseAndLaterItemsWin) {
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(
      Write(Audio() + TApeWriter().Item("ARTIST", "first").Item("artist", "second").Item("gEnRe", "Jazz").Bytes())));
  EXPECT_EQ(ape.Artist, "second");
  EXPECT_EQ(ape.Genre, "Jazz");
}

TEST_F(APEtagTest, LongValueKeeps250BytesAndTheNextItemIsRead) {
  std::string value(300, 'v');
  value.replace(249, 2, "XY");
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter().Item("Comment", value).Item("Album", "Next").Bytes())));
  ASSERT_EQ(ape.Comment.size(), 250u);
  EXPECT_EQ(ape.Comment.back(), 'X');
  EXPECT_EQ(ape.Album, "Next");
}

TEST_F(APEtagTest, TrackIsTheNumberBeforeTheSlash) {
  struct {
    const char* Value;
    int Track;
  } cases[] = {{"4/10", 4}, {"A4", 0}, {"12", 12}, {" 7 ", 7}, {"/5", 0}, {"300", 44}, {"-1", 255}, {"", 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Value);
    TAPEtag ape;
    ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter().Item("Track", c.Value).Bytes())));
    EXPECT_EQ(ape.Track, c.Track);
  }
}

TEST_F(APEtagTest, ValuesAreTrimmedAndEndAtTheirFirstZero) {
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter()
                                                   .Item(" Title\t", "  Name \r\n")
                                                   .Item("Year", std::string("1999\0junk", 9))
                                                   .Item("Genre", std::string(" \0Pop", 5))
                                                   .Bytes())));
  EXPECT_EQ(ape.Title, "Name");
  EXPECT_EQ(ape.Year, "1999");
  EXPECT_EQ(ape.Genre, "");
}

TEST_F(APEtagTest, ItemsBeyondTheFileEndTheReadingQuietly) {
  // The last item claims more bytes than remain; the footer's count is huge.
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(
      Write(Audio() + TApeWriter().Item("Artist", "A").RawItem("Title", "T", 0x7FFFFFFF).Count(0xFFFFFFFF).Bytes())));
  EXPECT_TRUE(ape.Exists);
  EXPECT_EQ(ape.Artist, "A");
  EXPECT_EQ(ape.Title, "");
}

TEST_F(APEtagTest, TagSizeLargerThanTheFileReadsNoItems) {
  std::string tag = TApeWriter().Item("Artist", "A").Bytes();
  tag[tag.size() - 20] = '\xFF';  // size field, low byte
  tag[tag.size() - 17] = '\x7F';  // size field, high byte
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + tag)));
  EXPECT_TRUE(ape.Exists);
  EXPECT_EQ(ape.Artist, "");
}

TEST_F(APEtagTest, ShortOrIrregularFilesFail) {
  TAPEtag ape;
  EXPECT_FALSE(ape.ReadFromFile(Write(std::string(127, 'x'))));
  EXPECT_TRUE(ape.ReadFromFile(Write(std::string(128, 'x'))));
  EXPECT_FALSE(ape.Exists);
  EXPECT_FALSE(ape.ReadFromFile(dir_));
  EXPECT_FALSE(ape.ReadFromFile(dir_ + "/missing.ape"));
}

TEST_F(APEtagTest, ReadResetsThePreviousValues) {
  TAPEtag ape;
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio() + TApeWriter().Item("Artist", "A").Item("Track", "2").Bytes())));
  ASSERT_TRUE(ape.ReadFromFile(Write(Audio(), "plain.ape")));
  EXPECT_FALSE(ape.Exists);
  EXPECT_EQ(ape.Artist, "");
  EXPECT_EQ(ape.Track, 0);
}

}  // namespace
}  // namespace tw
