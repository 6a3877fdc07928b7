#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "base/TextUtils.h"
#include "core/VolumeScan.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"
#include "tests/ScanTree.h"

namespace tw::test {
namespace {

TImportOptions Columns(std::vector<std::string> checked) {
  TImportOptions o;
  o.Fields.clear();
  for (const std::string& name : checked) o.Fields.push_back({name, true});
  for (const TImportField& f : TImportOptions::DefaultImportFields())
    if (std::find(checked.begin(), checked.end(), f.Name) == checked.end()) o.Fields.push_back({f.Name, false});
  return o;
}

class ImportTest : public TLibraryTest {
 protected:
  TImportResult Run(const std::string& text, TImportOptions o = Columns({"Volume", "Path", "Name", "Size"})) {
    const std::string file = Path("in" + std::to_string(++files_) + ".txt");
    std::ofstream(file, std::ios::binary) << text;
    o.FileName = file;
    return RunTextImport(*g, o);
  }
  std::vector<std::string> All() {
    std::vector<std::string> lines;
    for (int i = 0; i < Lib().Folders.TopCount(); ++i) {
      TFolderNode* v = Lib().Folders.Top(i);
      lines.push_back("V " + v->Data()->Name);
      for (const std::string& l : Dump(v)) lines.push_back(l);
    }
    return lines;
  }
  int files_ = 0;
};

// ---------------------------------------------------------------- lines

struct TSizeCase {
  const char* text;
  int64_t size;
};

TEST(ImportSize, ReadsBytesWithGroupingAndNothingElse) {
  const TSizeCase cases[] = {{"1234567", 1234567},         {"1 234 567", 1234567}, {" 12 ", 12},
                             {"3000000000", 3000000000LL}, {"12 KB", 0},           {"1.5 MB", 0},
                             {"", 0},                      {"abc", 0},             {"99999999999999999999", 0},
                             {"+7", 7},                    {"-", 0},               {"0x10", 0}};
  for (const TSizeCase& c : cases) EXPECT_EQ(ParseImportSize(c.text), c.size) << c.text;
}

TEST(ImportDate, ReadsWhatTheListsShowAndZeroOtherwise) {
  const TDateTime withTime = EncodeDateTime(2003, 4, 5, 6, 7, 8, 0);
  const TDateTime midnight = EncodeDateTime(1999, 12, 31, 0, 0, 0, 0);
  EXPECT_DOUBLE_EQ(ParseImportDate(FormatDate(withTime)), withTime) << FormatDate(withTime);
  EXPECT_DOUBLE_EQ(ParseImportDate(FormatDate(midnight)), midnight) << FormatDate(midnight);
  for (const char* bad : {"", "yesterday", "99/99/99", "12"}) EXPECT_EQ(ParseImportDate(bad), 0) << bad;
}

TEST(ImportDelimiter, NamedChoicesAndTypedText) {
  EXPECT_EQ(ImportDelimiter("Comma"), ',');
  EXPECT_EQ(ImportDelimiter("Tab"), '\t');
  EXPECT_EQ(ImportDelimiter("New Line"), '\r');
  EXPECT_EQ(ImportDelimiter(";;"), ';');
  EXPECT_EQ(ImportDelimiter(""), '\0');
}

TEST_F(ImportTest, ColumnsFollowTheCheckedFieldsAndTheRequiredOnesAreAlwaysRead) {
  TImportOptions o = Columns({"Name", "Size"});  // Volume and Path unchecked in the list
  TTextImport imp(o);
  EXPECT_EQ(imp.ColumnOf("Name"), 1);
  EXPECT_EQ(imp.ColumnOf("Size"), 2);
  EXPECT_EQ(imp.ColumnOf("Volume"), 3);
  EXPECT_EQ(imp.ColumnOf("Path"), 4);
  EXPECT_EQ(imp.ColumnOf("Date"), 0);
}

TEST_F(ImportTest, ParseLineSplitsQuotedFieldsAndComputesTheKeys) {
  TImportOptions o = Columns({"Volume", "Path", "Name", "Size", "Category"});
  TTextImport imp(o);
  TImportObj obj = imp.ParseLine("\"CD 1\",\\Music\\Rock\\,\"a,b.txt\",\"1 234 567\"");
  EXPECT_EQ(obj.Volume, "CD 1");
  EXPECT_EQ(obj.Path, "\\Music\\Rock\\");
  EXPECT_EQ(obj.Name, "a,b.txt");
  EXPECT_EQ(obj.Size, 1234567);
  EXPECT_EQ(obj.Category, "");  // beyond the last token
  EXPECT_EQ(obj.FolderKey, "CD 1\\Music\\Rock\\");
  EXPECT_EQ(obj.FullKey, "CD 1\\Music\\Rock\\a,b.txt");

  o.Separator = "Tab";
  o.TextQualifier = " ' ";
  TImportObj tab = TTextImport(o).ParseLine("CD2\t\t'x\ty'\t5\tWork");
  EXPECT_EQ(tab.Path, "");
  EXPECT_EQ(tab.Name, "x\ty");
  EXPECT_EQ(tab.Size, 5);
  EXPECT_EQ(tab.Category, "Work");
  EXPECT_EQ(tab.FullKey, "CD2\\x\ty");
}

// ---------------------------------------------------------------- import

TEST_F(ImportTest, PathBuildsTheFolderChainBelowTheNewVolume) {
  TImportResult r = Run("CD1,\\Music\\Rock\\,song.mp3,3000000000\r\nCD1,\\Music\\,top.txt,1 234 567\n");
  EXPECT_FALSE(r.Failed);
  EXPECT_EQ(r.Recorded, 2);
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  TFolderNode* cd1 = Lib().Folders.Top(0);
  EXPECT_EQ(FolderRecords(cd1), (std::vector<std::string>{"CD1\\", "CD1\\Music\\", "CD1\\Music\\Rock\\"}));
  // A size over 2 GiB is kept.
  EXPECT_EQ(Dump(cd1), (std::vector<std::string>{"D CD1\\Music", "D CD1\\Music\\Rock", "F CD1\\Music\\top.txt 1234567",
                                                 "F CD1\\Music\\Rock\\song.mp3 3000000000"}));
  EXPECT_EQ(cd1->Data()->SourcePath, "CD1/");
  EXPECT_EQ(Lib().TotalSize, 3001234567LL);
}

TEST_F(ImportTest, AnyLineOrderGivesTheSameTree) {
  const std::vector<std::string> lines = {"CD1,\\A\\B\\,x,1", "CD1,\\A\\,y,2", "CD1,,root,3",
                                          "CD2,\\A\\,z,4",    "CD1,\\C\\,w,5", "CD2,,q,6"};
  Run(lines[3] + "\n" + lines[5] + "\n" + lines[0] + "\n" + lines[4] + "\n" + lines[2] + "\n" + lines[1] + "\n");
  const std::vector<std::string> shuffled = All();
  g->ResetLibrary(true);
  std::string inOrder;
  for (const std::string& l : lines) inOrder += l + "\n";
  Run(inOrder);
  EXPECT_EQ(All(), shuffled);
  EXPECT_EQ(shuffled, (std::vector<std::string>{"V CD1", "D CD1\\A", "D CD1\\C", "F CD1\\root 3", "D CD1\\A\\B",
                                                "F CD1\\A\\y 2", "F CD1\\A\\B\\x 1", "F CD1\\C\\w 5", "V CD2",
                                                "D CD2\\A", "F CD2\\q 6", "F CD2\\A\\z 4"}));
}

TEST_F(ImportTest, VolumesAreCreatedInKeyOrderWhenSortingIsOff) {
  g->SortVolumes = false;
  Run("CD2,,a,1\nCD1,,b,2\n");
  ASSERT_EQ(Lib().Folders.TopCount(), 2);
  EXPECT_EQ(Lib().Folders.Top(0)->Data()->Name, "CD1");
  EXPECT_EQ(Lib().Folders.Top(1)->Data()->Name, "CD2");
}

TEST_F(ImportTest, ByteEqualKeysGiveOneEntryAndCaseVariantsStayTwo) {
  TImportResult r = Run("CD1,\\M\\,a.txt,1\nCD1,\\M\\,a.txt,2\nCD1,M,a.txt,3\nCD1,\\M\\,A.txt,4\n");
  EXPECT_EQ(r.Lines, 2);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), (std::vector<std::string>{"D CD1\\M", "F CD1\\M\\A.txt 4", "F CD1\\M\\a.txt 1"}));
}

// Enough keys that the duplicate lookup meets colliding slots: each key
// listed twice, and the first line of each wins.
TEST_F(ImportTest, ManyKeysWithRepeatsKeepTheFirstLineOfEach) {
  // Sizes: 1000 + i on the first line of a key, 0 on its repeat.
  std::string text;
  for (int i = 499; i >= 0; --i)
    text += "CD1,\\D" + std::to_string(i % 7) + "\\,f" + std::to_string(i) + "," + std::to_string(1000 + i) + "\n";
  for (int i = 0; i < 500; ++i) text += "CD1,\\D" + std::to_string(i % 7) + "\\,f" + std::to_string(i) + ",0\n";
  const TImportResult r = Run(text);
  EXPECT_EQ(r.Lines, 500);
  EXPECT_EQ(r.Recorded, 500);
  EXPECT_EQ(Lib().FileCount, 500);
  for (int i = 0; i < 500; i += 37) {
    TLibFolder* folder = Lib().Folders.Top(0)->Data()->ChildFolder("D" + std::to_string(i % 7));
    ASSERT_NE(folder, nullptr);
    const TLibFolderItem* item = folder->Items.FindExact("f" + std::to_string(i));
    ASSERT_NE(item, nullptr) << i;
    EXPECT_EQ(item->Size, 1000 + i);
  }
}

TEST_F(ImportTest, BadLinesAreLoggedAndTheRestIsImported) {
  TImportResult r = Run("CD1,\\M\\,good.txt,1\nCD1,\\M\\,,2\nCD1,\\a/b\\,x.txt,3\nCD1,\\M\\,sl/ash,4\n\n   \nCD1,,z,5\n");
  EXPECT_FALSE(r.Failed);
  EXPECT_EQ(r.Errors, 3);
  EXPECT_EQ(r.Recorded, 2);
  // Each rejected line says why.
  EXPECT_EQ(host.CountLog("Import Error CD1\\M\\: \"\" is no file or folder name"), 1);
  EXPECT_EQ(host.CountLog("Import Error CD1\\a/b\\x.txt: \"a/b\" is no file or folder name"), 1);
  EXPECT_EQ(host.CountLog("Import Error CD1\\M\\sl/ash: \"sl/ash\" is no file or folder name"), 1);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), (std::vector<std::string>{"D CD1\\M", "F CD1\\z 5", "F CD1\\M\\good.txt 1"}));
}

TEST_F(ImportTest, LinesTheLibraryCannotHoldAreRejected) {
  using namespace std::string_literals;
  // Names that differ only after a NUL would be saved as one name and
  // collapse on the next load; a text over 65535 bytes could not be saved.
  const std::string longName(70000, 'n');
  const std::string text = "CD1,\\M\\,a\0x,1\n"s + "CD1,\\M\\,a\0y,2\n"s + "CD1,\\M\\,a,3\n" +
                           "CD1,\\M\0\\,b,4\n"s + "C\0D,\\M\\,c,5\n"s + "CD1,\\M\\," + longName + ",6\n" +
                           "CD1,\\" + std::string(65536, 'p') + "\\,d,7\n";
  const TImportResult r = Run(text);
  EXPECT_FALSE(r.Failed);
  EXPECT_EQ(r.Recorded, 1);
  EXPECT_EQ(r.Errors, 6);
  EXPECT_EQ(host.CountLog("Import Error CD1\\M\\a\\0x: Name holds a NUL byte"), 1);
  EXPECT_EQ(host.CountLog("Import Error CD1\\M\\0\\b: Path holds a NUL byte"), 1);
  EXPECT_EQ(host.CountLog("Import Error C\\0D\\M\\c: Volume holds a NUL byte"), 1);
  EXPECT_EQ(host.CountLog("Import Error CD1\\M\\" + longName + ": Name is 70000 bytes long, longer than 65535 bytes"), 1);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), (std::vector<std::string>{"D CD1\\M", "F CD1\\M\\a 3"}));
  // What was recorded saves and loads back as it is.
  SaveLibraryCommand(*g, Path("lib.twl"));
  g->ResetLibrary(false);
  OpenLibraryCommand(*g, Path("lib.twl"), false, false);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), (std::vector<std::string>{"D CD1\\M", "F CD1\\M\\a 3"}));
}

TEST_F(ImportTest, AnUnreadableFileOrNoNameFailsAndTheSummaryStillAppears) {
  const std::vector<std::pair<std::string, std::string>> cases = {{"", "Import failed: "},
                                                                  {Path("missing.txt"), "Import failed: " + Path("missing.txt")},
                                                                  {dir, "Import failed: " + dir}};
  for (const auto& [file, logged] : cases) {
    host.Log.clear();
    TImportOptions o;
    o.FileName = file;
    TImportResult r = RunTextImport(*g, o);
    EXPECT_TRUE(r.Failed) << file;
    EXPECT_EQ(host.CountLog(logged), 1) << file;
    EXPECT_TRUE(Lib().Modified);
    EXPECT_TRUE(g->ProcessStopped);
  }
}

TEST_F(ImportTest, StopEndsTheImportAndKeepsWhatWasRecorded) {
  host.StopAtPump = 12;
  std::string text;
  for (int i = 0; i < 20; ++i) text += "CD1,,f" + std::to_string(10 + i) + ",1\n";
  TImportResult r = Run(text);
  EXPECT_TRUE(r.Failed);
  EXPECT_EQ(r.Error, g->GetText("infoCancel"));
  EXPECT_GT(r.Recorded, 0);
  EXPECT_LT(r.Recorded, 20);
  EXPECT_EQ(Lib().FileCount, r.Recorded);
  EXPECT_EQ(host.CountLog("Import failed: " + Path("in1.txt")), 1);
  EXPECT_EQ(r.Errors, 0);
}

TEST_F(ImportTest, LinesOfARunGoIntoItsNewVolumeNotIntoAnOlderOneOfTheSameName) {
  g->SortVolumes = false;
  TFolderNode* old = AddVolume("CD1", "", "/media/old/");
  TFolderNode* music = AddFolder(old, "Music");
  AddFile(music, "keep.txt", 9);
  Run("CD1,\\Music\\,a.txt,1\nCD1,\\Music\\,b.txt,2\nCD1,,c.txt,3\n");
  ASSERT_EQ(Lib().Folders.TopCount(), 2);
  EXPECT_EQ(Dump(old), (std::vector<std::string>{"D CD1\\Music", "F CD1\\Music\\keep.txt 9"}));
  EXPECT_EQ(Dump(Lib().Folders.Top(1)), (std::vector<std::string>{"F CD1\\c.txt 3", "D CD1\\Music",
                                                                  "F CD1\\Music\\a.txt 1", "F CD1\\Music\\b.txt 2"}));
}

// Names from the text that happen to resolve to files of the working
// folder are recorded as the text gives them: no tags, no archive members.
TEST_F(ImportTest, NamesAreNotLookedUpOnThisMachine) {
  g->Handlers.LoadDefaultHandlers(g->Registry());
  std::filesystem::create_directories(Path("CD1/Music"));
  std::string id3v1(128, '\0');
  id3v1.replace(0, 3, "TAG");
  id3v1.replace(3, 5, "Title");
  std::ofstream(Path("CD1/Music/song.mp3"), std::ios::binary) << std::string(1000, '\0') << id3v1;
  std::ofstream(Path("CD1/Music/pack.zip"), std::ios::binary) << "PK not really";
  const std::string cwd = std::filesystem::current_path();
  ASSERT_EQ(::chdir(dir.c_str()), 0);
  Run("CD1,\\Music\\,song.mp3,1128\nCD1,\\Music\\,pack.zip,13\n");
  ASSERT_EQ(::chdir(cwd.c_str()), 0);
  EXPECT_EQ(All(), (std::vector<std::string>{"V CD1", "D CD1\\Music", "F CD1\\Music\\pack.zip 13",
                                             "F CD1\\Music\\song.mp3 1128"}));
  TLibFolder* music = Lib().Folders.Top(0)->Data()->ChildFolder("Music");
  ASSERT_NE(music, nullptr);
  EXPECT_TRUE(music->Items.FindExact("song.mp3")->TagInfo.Tags.empty());
  EXPECT_FALSE(music->Items.FindExact("pack.zip")->IsFolder);
}

TEST_F(ImportTest, CategoryCommentsAndLocationAreRecordedWhenChosen) {
  const std::string text = "CD1,0A1B2C3D,\\D\\,a.txt,5,Work,first note,Shelf 2\nCD1,0A1B2C3D,\\D\\,b.txt,6,,,Box\n";
  Run(text, Columns({"Volume", "VolumeSerialNo", "Path", "Name", "Size", "Category", "Comments", "Location"}));
  TLibFolder* vol = Lib().Folders.Top(0)->Data();
  EXPECT_EQ(vol->Serial, "0A1B2C3D");
  EXPECT_EQ(vol->Location, "Shelf 2");
  TLibFolder* d = vol->ChildFolder("D");
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(d->Items.FindExact("a.txt")->Category, "Work");
  EXPECT_EQ(d->Items.FindExact("a.txt")->Comments, "first note");
  EXPECT_EQ(d->Items.FindExact("b.txt")->Category, "");
  EXPECT_TRUE(Lib().Categories.Contains("Work"));

  // Unchosen columns are not read, even when the line holds them.
  g->ResetLibrary(true);
  Run(text, Columns({"Volume", "VolumeSerialNo", "Path", "Name", "Size"}));
  vol = Lib().Folders.Top(0)->Data();
  EXPECT_EQ(vol->Location, "");
  EXPECT_EQ(vol->ChildFolder("D")->Items.FindExact("a.txt")->Category, "");
}

TEST_F(ImportTest, ClosingStepsCountSortAndClearTheAddingFlag) {
  g->AddingVolume = true;
  g->SortVolumes = true;
  Lib().FileName = Path("lib.twl");
  Run("B,,x,1\nA,\\F\\,y,2\n");
  EXPECT_FALSE(g->AddingVolume);
  EXPECT_TRUE(Lib().Modified);
  EXPECT_EQ(Lib().VolumeCount, 2);
  EXPECT_EQ(Lib().FolderCount, 1);
  EXPECT_EQ(Lib().FileCount, 2);
  // The summary line starts with the "Added" text.
  const std::string added = "Added " + Path("lib.twl") + " ";
  EXPECT_EQ(std::count_if(host.Log.begin(), host.Log.end(),
                          [&](const std::string& l) { return l.compare(0, added.size(), added) == 0; }),
            1);
}

// A small library exported by hand (volume, path, name, size, date with
// grouped sizes and quoted texts) reads back as the same tree.
TEST_F(ImportTest, RoundTripOfAnExportedLibrary) {
  const TDateTime date = EncodeDateTime(2004, 5, 6, 7, 8, 9, 0);
  TFolderNode* v = AddVolume("CD 1");
  TFolderNode* docs = AddFolder(v, "Docs");
  TFolderNode* old = AddFolder(docs, "Old, really");
  AddFile(v, "readme.txt", 1234, date);
  AddFile(docs, "big.iso", 4700000000LL, date);
  AddFile(old, "x.doc", 0, date);
  const std::vector<std::string> before = Dump(v);

  const std::string d = FormatDate(date);
  const std::string text = "\"CD 1\",\"\\\",\"readme.txt\",\"1 234\",\"" + d + "\"\r\n" +
                           "\"CD 1\",\"\\Docs\\\",\"big.iso\",\"4 700 000 000\",\"" + d + "\"\r\n" +
                           "\"CD 1\",\"\\Docs\\Old, really\\\",\"x.doc\",\"0\",\"" + d + "\"\r\n";
  g->ResetLibrary(true);
  Run(text, Columns({"Volume", "Path", "Name", "Size", "Date"}));
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), before);
  TLibFolder* imported = Lib().Folders.Top(0)->Data()->ChildFolder("Docs");
  ASSERT_NE(imported, nullptr);
  EXPECT_DOUBLE_EQ(imported->Items.FindExact("big.iso")->Date, date);
}

// Every folder record hangs below its parent, whose folder entry of the same
// name leads back to it, and every entry points at the record it lies in.
std::vector<std::string> BrokenLinks(TFolderNode* volume) {
  std::vector<std::string> broken;
  TFolderNode* end = volume->GetNextSkippingChildren();
  for (TFolderNode* n = volume; n != end; n = n->GetNext()) {
    TLibFolder* record = n->Data();
    for (const auto& item : record->Items)
      if (item->Folder != record) broken.push_back("entry " + item->GetItemPath());
    if (n == volume) continue;
    TLibFolderItem* entry = record->Parent ? record->Parent->Items.FindExact(record->Name) : nullptr;
    if (!entry || !entry->IsFolder || entry->GetTargetFolder() != record) broken.push_back("folder " + record->GetPath());
  }
  return broken;
}

// What the scan recorded, written by the export and read back by the import,
// is the same tree: folders, files, sizes, dates and links.
TEST_F(ImportTest, ExportOfAScannedVolumeImportsAsTheSameTree) {
  const std::string medium = Path("medium/");
  MakeFile(medium + "a.txt", 10, 1000000000);
  MakeFile(medium + "Docs/b, with comma.txt", 2000, 1100000000);
  MakeFile(medium + "Docs/Old/c.txt", 3, 1200000000);
  MakeFile(medium + "Music/Live/d.mp3", 4096, 1300000000);
  MakeFile(medium + "Music/e.mp3", 5, 1300000001);
  for (const char* dir : {"Docs/Old", "Docs", "Music/Live", "Music"}) MakeDir(medium + dir, 1400000000);
  TAddVolumeRequest request;
  request.Folder = medium;
  request.Title = "CD 1";
  TFolderNode* scanned = AddVolumeCommand(*g, request);
  ASSERT_NE(scanned, nullptr);
  const std::vector<std::string> tree = Dump(scanned);
  ASSERT_EQ(tree.size(), 9u);
  std::vector<double> dates;
  for (TFolderNode* n = scanned; n != scanned->GetNextSkippingChildren(); n = n->GetNext())
    for (const auto& item : n->Data()->Items) dates.push_back(item->Date);

  TExportOptions out;
  out.FileName = Path("export.txt");
  out.Fields = {{"Volume", true}, {"Path", true}, {"Name", true}, {"Size", true}, {"Date", true}};
  // Names are written unquoted: a separator that no name holds.
  out.Separator = "Tab";
  ASSERT_TRUE(TExport(*g, out).Export());

  g->ResetLibrary(true);
  TImportOptions in = Columns({"Volume", "Path", "Name", "Size", "Date"});
  in.FileName = out.FileName;
  in.Separator = "Tab";
  const TImportResult result = RunTextImport(*g, in);
  EXPECT_EQ(result.Errors, 0);
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  TFolderNode* imported = Lib().Folders.Top(0);
  EXPECT_EQ(imported->Data()->Name, "CD 1");
  EXPECT_EQ(Dump(imported), tree);
  EXPECT_EQ(FolderRecords(imported), (std::vector<std::string>{"CD 1\\", "CD 1\\Docs\\", "CD 1\\Docs\\Old\\",
                                                               "CD 1\\Music\\", "CD 1\\Music\\Live\\"}));
  std::vector<double> importedDates;
  for (TFolderNode* n = imported; n != imported->GetNextSkippingChildren(); n = n->GetNext())
    for (const auto& item : n->Data()->Items) importedDates.push_back(item->Date);
  EXPECT_EQ(importedDates, dates);
  EXPECT_TRUE(BrokenLinks(imported).empty()) << ::testing::PrintToString(BrokenLinks(imported));
  EXPECT_EQ(imported->Data()->KeptSize, 10 + 2000 + 3 + 4096 + 5);
  EXPECT_EQ(Lib().FileCount, 5);
}

// ---------------------------------------------------------------- command line

TEST_F(ImportTest, CliImportCreatesTheLibraryAndSavesIt) {
  const std::string in = Path("in.txt"), lib = Path("new.twl");
  std::ofstream(in, std::ios::binary) << "5;CD1;\\Music\\;a.mp3\n7;CD1;;b.txt\nx;;;\n";
  // The last line has no name: it is logged and leaves no empty volume; the
  // exit status and the last line say that a line was rejected.
  TRun r = RunCli("import " + Q(lib) + " " + Q(in) + " --fields Size,Volume,Path,Name --separator ';'",
                  Path("stderr.txt"));
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1), "1 lines rejected\n");
  LoadLibraryNow(*g, lib, false);
  ASSERT_EQ(Lib().Folders.TopCount(), 1);
  EXPECT_EQ(Dump(Lib().Folders.Top(0)), (std::vector<std::string>{"F CD1\\b.txt 7", "D CD1\\Music", "F CD1\\Music\\a.mp3 5"}));
  EXPECT_NE((r.out + r.err).find("Import Error "), std::string::npos);

  EXPECT_EQ(RunCli("import " + Q(lib) + " " + Q(Path("none.txt")), Path("stderr.txt")).status, 1);
  EXPECT_EQ(RunCli("import " + Q(lib) + " " + Q(in) + " --fields Volume,Bogus", Path("stderr.txt")).status, 2);
}

}  // namespace
}  // namespace tw::test
