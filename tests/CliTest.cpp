// tarnwex-cli as a user runs it: exit codes, outputs and files.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "tests/ByteWriter.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

class CliTest : public TLibraryTest {
 protected:
  TRun Cli(const std::string& args) { return RunCli(args, Path("stderr.txt")); }

  // A library with two volumes, a nested folder and a tagged file.
  std::string MakeLibrary(const std::string& name, const std::string& prefix) {
    TTestHost h;
    TGlobalData other(h, dir + "/data/");
    TLibObj& lib = *other.CurrentLibrary;
    auto vol = std::make_unique<TLibFolder>();
    vol->Name = prefix + " 1";
    vol->Serial = "1234ABCD";
    vol->Location = "Shelf";
    vol->SourcePath = "/media/cd/";
    TFolderNode* v = lib.AddFolderRecord(nullptr, std::move(vol));
    auto entry = std::make_unique<TLibFolderItem>();
    entry->Name = "Music";
    entry->IsFolder = true;
    lib.AddItem(v->Data(), std::move(entry));
    auto music = std::make_unique<TLibFolder>();
    music->Name = "Music";
    music->IsFolder = 1;
    TFolderNode* m = lib.AddFolderRecord(v, std::move(music));
    auto song = std::make_unique<TLibFolderItem>();
    song->Name = "song.mp3";
    song->Size = 4096;
    song->Category = "Rock";
    song->TagInfo.Tags = {"Artist=Band", "Title=Song"};
    lib.AddItem(m->Data(), std::move(song));
    auto second = std::make_unique<TLibFolder>();
    second->Name = prefix + " 2";
    lib.AddFolderRecord(nullptr, std::move(second));
    std::string file = Path(name);
    TQuietOperation quiet;
    lib.SaveLibrary(file, quiet);
    return file;
  }
};

TEST_F(CliTest, UsageAndErrorsHaveTheirExitCodes) {
  EXPECT_EQ(Cli("").status, 2);
  EXPECT_EQ(Cli("--help").status, 0);
  EXPECT_EQ(Cli("frobnicate").status, 2);
  for (const char* cmd : {"new", "info", "ls", "resave", "merge"}) {
    TRun help = Cli(std::string(cmd) + " --help");
    EXPECT_EQ(help.status, 0) << cmd;
    EXPECT_NE(help.out.find(std::string("tarnwex-cli ") + cmd), std::string::npos) << cmd;
    EXPECT_EQ(Cli(cmd).status, 2) << cmd;  // missing arguments
  }
  EXPECT_EQ(Cli("info a b").status, 2);
  EXPECT_EQ(Cli("info --bogus x").status, 2);

  TRun missing = Cli("info " + Q(Path("none.twl")));
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("File not found: " + Path("none.twl")), std::string::npos) << missing.err;

  TByteWriter w;
  w.Header("Other 1.0", "", 0, 0, "", 0).Save(Path("other.twl"));
  TRun unknown = Cli("info " + Q(Path("other.twl")));
  EXPECT_EQ(unknown.status, 1);
  EXPECT_NE(unknown.err.find("Unknown File Version!"), std::string::npos) << unknown.err;
}

TEST_F(CliTest, NewRefusesToOverwriteWithoutForce) {
  std::string file = Path("new.twl");
  EXPECT_EQ(Cli("new " + Q(file)).status, 0);
  EXPECT_EQ(ReadFile(file).size(), 35u);
  std::string lib = MakeLibrary("full.twl", "CD");
  std::string before = ReadFile(lib);
  EXPECT_EQ(Cli("new " + Q(lib)).status, 1);
  EXPECT_EQ(ReadFile(lib), before);
  EXPECT_EQ(Cli("new --force " + Q(lib)).status, 0);
  EXPECT_EQ(ReadFile(lib).size(), 35u);
}

TEST_F(CliTest, InfoAndLs) {
  std::string lib = MakeLibrary("lib.twl", "CD");
  TRun info = Cli("info " + Q(lib));
  ASSERT_EQ(info.status, 0) << info.err;
  EXPECT_NE(info.out.find("Files:       1"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("CD 1\t1234ABCD\tShelf\t/media/cd/\t\t1 folders\t1 files\t4096 bytes"), std::string::npos)
      << info.out;

  nlohmann::json j = nlohmann::json::parse(Cli("info --json " + Q(lib)).out);
  EXPECT_EQ(j["version"], "Tarnwex 2.3");
  EXPECT_EQ(j["statistics"]["files"], 1);
  EXPECT_EQ(j["volumes"].size(), 2u);
  EXPECT_EQ(j["volumes"][0]["serial"], "1234ABCD");

  TRun ls = Cli("ls " + Q(lib) + " 'CD 1\\Music'");
  ASSERT_EQ(ls.status, 0) << ls.err;
  EXPECT_NE(ls.out.find("F\t4096\t\tsong.mp3\tRock\t\n\t\tArtist=Band\n\t\tTitle=Song\n"), std::string::npos) << ls.out;
  nlohmann::json items = nlohmann::json::parse(Cli("ls --json " + Q(lib) + " 'CD 1\\'").out);
  ASSERT_EQ(items.size(), 1u);
  EXPECT_EQ(items[0]["name"], "Music");
  EXPECT_EQ(items[0]["folder"], true);
  EXPECT_EQ(nlohmann::json::parse(Cli("ls --json " + Q(lib)).out).size(), 2u);
  EXPECT_EQ(Cli("ls " + Q(lib) + " 'CD 9\\'").status, 1);
}

TEST_F(CliTest, ResaveWritesTheSameBytes) {
  std::string lib = MakeLibrary("lib.twl", "CD");
  std::string copy = Path("copy.twl");
  EXPECT_EQ(Cli("resave " + Q(lib) + " " + Q(copy)).status, 0);
  EXPECT_EQ(ReadFile(copy), ReadFile(lib));
}

TEST_F(CliTest, MergeAppendsOtherLibraries) {
  std::string a = MakeLibrary("a.twl", "Alpha");
  std::string b = MakeLibrary("b.twl", "Beta");
  TRun r = Cli("merge " + Q(a) + " " + Q(b));
  ASSERT_EQ(r.status, 0) << r.err;
  nlohmann::json j = nlohmann::json::parse(Cli("info --json " + Q(a)).out);
  ASSERT_EQ(j["volumes"].size(), 4u);
  EXPECT_EQ(j["statistics"]["files"], 2);
  EXPECT_EQ(Cli("merge " + Q(a) + " " + Q(Path("none.twl"))).status, 1);
}

TEST_F(CliTest, HandlersAreKeptInTheSettingsStore) {
  TRun list = Cli("handlers");
  ASSERT_EQ(list.status, 0) << list.err;
  EXPECT_EQ(list.out.rfind("AAC\ton\tAAC File\t.AAC\n", 0), 0u) << list.out;
  EXPECT_NE(list.out.find("MPG\ton\tMPG File\t.MP1 .MP2 .MPA .MPEG .MPG\n"), std::string::npos) << list.out;

  EXPECT_EQ(Cli("handlers --disable MP3 --disable zip").status, 0);
  nlohmann::json j = nlohmann::json::parse(Cli("handlers --json").out);
  ASSERT_EQ(j.size(), 15u);
  for (const auto& h : j) EXPECT_EQ(h["active"], h["title"] != "MP3" && h["title"] != "ZIP") << h["title"];
  // The same store the desktop program reads.
  TRegStore store(TRegStore::DefaultFile());
  EXPECT_FALSE(store.ReadRegValue("\\software\\Quenmoor\\Tarnwex\\Ext\\4", "Active", true));

  TRun bad = Cli("handlers --enable NOPE");
  EXPECT_EQ(bad.status, 1);
  EXPECT_NE(bad.err.find("NOPE"), std::string::npos);
  EXPECT_EQ(Cli("handlers --reset").status, 0);
  EXPECT_EQ(Cli("handlers").out, list.out);
}

TEST_F(CliTest, SharedFilesTagsPrintsTheLinesEachFileWouldReceive) {
  const std::string audio = std::filesystem::path(__FILE__).parent_path().string() + "/../../shared/fixtures/audio/";
  if (!std::filesystem::is_directory(audio)) GTEST_SKIP() << "shared audio fixtures not found at " << audio;
  std::ofstream(Path("plain.txt")) << "text";
  TRun r = Cli("tags " + Q(audio + "silence-2s-44100-16.ofr") + " " + Q(Path("plain.txt")));
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, audio + "silence-2s-44100-16.ofr\n\tEncoderVersion=5.100\n\tBitsPerSample=16\n"
                   "\tChannelModeName=Stereo\n\tSamples=88200\n\tDurationSec=2\n\tSampleRateHZ=44100\n" +
                       Path("plain.txt") + "\n");
  nlohmann::json j = nlohmann::json::parse(Cli("tags --json " + Q(audio + "adif.aac")).out);
  ASSERT_EQ(j.size(), 1u);
  EXPECT_EQ(j[0]["tags"][2], "BitRateKBS=128000");
  // A switched-off handler reads nothing.
  ASSERT_EQ(Cli("handlers --disable OFR").status, 0);
  EXPECT_EQ(Cli("tags " + Q(audio + "silence-2s-44100-16.ofr")).out, audio + "silence-2s-44100-16.ofr\n");
  EXPECT_EQ(Cli("tags").status, 2);
}

TEST_F(CliTest, TagsShowTextsInAnotherCodePageAsWindows1252) {
  // An ID3v1 title written in Latin-1: "Caf\xE9" shows as "Café", not as U+FFFD.
  std::string tag(128, '\0');
  tag.replace(0, 3, "TAG");
  tag.replace(3, 4, "Caf\xE9");
  tag[127] = '\xFF';
  std::ofstream(Path("song.mp3"), std::ios::binary) << std::string(200, '\0') << tag;
  const nlohmann::json j = nlohmann::json::parse(Cli("tags --json " + Q(Path("song.mp3"))).out);
  EXPECT_EQ(j[0]["tags"][0], "Title=Caf\xC3\xA9");
  EXPECT_EQ(Cli("tags " + Q(Path("song.mp3"))).out, Path("song.mp3") + "\n\tTitle=Caf\xC3\xA9\n");
}

TEST_F(CliTest, DuPrintsLibraryVolumeAndFolderSizes) {
  std::string lib = MakeLibrary("lib.twl", "CD");
  TRun all = Cli("du " + Q(lib));
  ASSERT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out, "library\t4096\t4 096\t" + lib + "\nvolume\t4096\t4 096\tCD 1\nvolume\t0\t0\tCD 2\n");

  TRun folder = Cli("du " + Q(lib) + " 'CD 1\\Music' --unit kb");
  ASSERT_EQ(folder.status, 0) << folder.err;
  EXPECT_EQ(folder.out, "library\t4096\t4 KB\t" + lib + "\nvolume\t4096\t4 KB\tCD 1\nfolder\t4096\t4 KB\tCD 1\\Music\\\n");

  nlohmann::json j = nlohmann::json::parse(Cli("du --json " + Q(lib) + " 'CD 1\\'").out);
  EXPECT_EQ(j["library"]["size"], 4096);
  ASSERT_EQ(j["volumes"].size(), 1u);
  EXPECT_EQ(j["volumes"][0]["name"], "CD 1");
  EXPECT_EQ(j["folder"]["path"], "CD 1\\");
  EXPECT_EQ(j["folder"]["size"], 4096);

  TRun missing = Cli("du " + Q(lib) + " 'CD 9\\Nope'");
  EXPECT_EQ(missing.status, 1);
  EXPECT_NE(missing.err.find("CD 9\\Nope"), std::string::npos) << missing.err;
  EXPECT_EQ(Cli("du " + Q(lib) + " --unit gb").status, 2);
  EXPECT_EQ(Cli("du").status, 2);
}

}  // namespace
}  // namespace tw::test
