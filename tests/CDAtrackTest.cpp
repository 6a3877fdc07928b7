#include "tags/CDAtrack.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/LibClasses.h"
#include "tags/HandlerClasses.h"
#include "tags/TagClasses.h"
#include "tests/Fixture.h"

namespace tw {
namespace {

void Le(std::string& s, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}

// The 44-byte track file the system shows for an audio CD track.
std::string TrackFile(uint16_t track, uint32_t serial, uint32_t startSector, uint32_t sectors) {
  std::string t = "RIFF";
  Le(t, 36, 4);
  t += "CDDAfmt ";
  Le(t, 24, 4);
  Le(t, 1, 2);  // version
  Le(t, track, 2);
  Le(t, serial, 4);
  Le(t, startSector, 4);
  Le(t, sectors, 4);
  Le(t, 0, 8);  // start and length as minute, second, frame
  return t;
}

class CDAtrackTest : public test::TLibraryTest {
 protected:
  std::string Write(const std::string& bytes, const std::string& name) {
    std::ofstream(Path(name), std::ios::binary) << bytes;
    return Path(name);
  }
  std::string Database(const std::string& text) { return Write(text, "cdplayer.ini"); }
};

TEST_F(CDAtrackTest, TitlesComeFromTheDiscSection) {
  const std::string db = Database(
      "[1A2B3C4D]\r\nartist=The Band\r\ntitle=The Disc\r\n2=Second\r\n3=Third\r\n"
      "[0A]\r\n1=Other disc\r\n");
  struct {
    const char* Name;
    std::string File;
    const char* Title;
    const char* Artist;
    const char* Album;
    uint16_t Track;
    double Duration, Position;
  } cases[] = {
      {"track 3, 16 seconds", TrackFile(3, 0x1A2B3C4D, 150 * 75, 1200), "Third", "The Band", "The Disc", 3, 16, 150},
      {"a track the section lacks", TrackFile(4, 0x1A2B3C4D, 0, 75), "", "The Band", "The Disc", 4, 1, 0},
      {"serials take at least two digits", TrackFile(1, 0x0A, 30, 150), "Other disc", "", "", 1, 2, 0.4},
      {"a disc the database lacks", TrackFile(1, 0xFFFFFFFF, 0, 0), "", "", "", 1, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TCDAtrack cda(db);
    ASSERT_TRUE(cda.ReadFromFile(Write(c.File, "Track.cda")));
    EXPECT_TRUE(cda.Valid);
    EXPECT_EQ(cda.Title, c.Title);
    EXPECT_EQ(cda.Artist, c.Artist);
    EXPECT_EQ(cda.Album, c.Album);
    EXPECT_EQ(cda.Track, c.Track);
    EXPECT_DOUBLE_EQ(cda.Duration, c.Duration);
    EXPECT_DOUBLE_EQ(cda.Position, c.Position);
  }
}

TEST_F(CDAtrackTest, OtherFiles) {
  const std::string db = Database("[00]\r\n0=Zero\r\n");
  TCDAtrack cda(db);
  // Without the signature the read succeeds with no values.
  std::string wrong = TrackFile(3, 0, 0, 1200);
  wrong.replace(8, 4, "WAVE");
  ASSERT_TRUE(cda.ReadFromFile(Write(wrong, "a.cda")));
  EXPECT_FALSE(cda.Valid);
  EXPECT_EQ(cda.Duration, 0);
  ASSERT_TRUE(cda.ReadFromFile(Write("RIFF", "short.cda")));
  EXPECT_FALSE(cda.Valid);
  EXPECT_EQ(cda.Title, "");
  // A missing database gives empty titles.
  TCDAtrack noDb(Path("none.ini"));
  ASSERT_TRUE(noDb.ReadFromFile(Write(TrackFile(2, 0x1A2B3C4D, 0, 750), "b.cda")));
  EXPECT_TRUE(noDb.Valid);
  EXPECT_EQ(noDb.Title, "");
  EXPECT_DOUBLE_EQ(noDb.Duration, 10);
  EXPECT_FALSE(cda.ReadFromFile(Path("missing.cda")));
  ASSERT_EQ(::mkfifo(Path("pipe.cda").c_str(), 0600), 0);
  EXPECT_FALSE(cda.ReadFromFile(Path("pipe.cda")));
}

TEST_F(CDAtrackTest, HandlerReadsTheDatabaseInTheDataFolder) {
  std::filesystem::create_directories(g->ProgramDir());
  std::ofstream(g->ProgramDir() + "cdplayer.ini") << "[1A2B3C4D]\nartist=A\ntitle=Disc\n3=Song\n";
  TLibFolderItem item;
  g->Handlers.LoadDefaultHandlers(g->Registry());
  g->Handlers.ProcessFile(Write(TrackFile(3, 0x1A2B3C4D, 750, 1200), "Track03.cda"), item.TagInfo, nullptr);
  EXPECT_EQ(item.TagInfo.Tags, (std::vector<std::string>{"Artist=A", "Title=Song", "Album=Disc", "DurationSec=16",
                                                         "Track=3", "TrackPositionSec=10"}));
}

}  // namespace
}  // namespace tw
