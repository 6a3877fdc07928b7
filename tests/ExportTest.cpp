// The export engine: lines, filters, sources, the written file and the command.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "base/TextUtils.h"
#include "exchange/Export.h"
#include "tests/ByteWriter.h"
#include "tests/CliRun.h"
#include "tests/Fixture.h"

namespace tw::test {
namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& file, const std::string& bytes) { std::ofstream(file, std::ios::binary) << bytes; }

// Only the named fields, checked, in the given order.
std::vector<TExportField> Fields(const std::vector<std::string>& names) {
  std::vector<TExportField> fields;
  for (const auto& n : names) fields.push_back({n, true});
  return fields;
}

class ExportTest : public TLibraryTest {
 protected:
  // CD 1 (level 0): a,b.txt, Docs, pack.zip, z.txt
  //   Docs (1): Deep, note.txt        Deep (2): x.bin
  //   pack.zip (1, an archive): m1.txt
  // CD 2 (level 0): big.iso
  void SetUp() override {
    TLibraryTest::SetUp();
    cd1 = AddVolume("CD 1", "1234ABCD");
    cd1->Data()->Location = "Shelf";
    comma = AddFile(cd1, "a,b.txt", 1536);
    docs = AddFolder(cd1, "Docs");
    deep = AddFolder(docs, "Deep");
    AddFile(deep, "x.bin", 10);
    note = AddFile(docs, "note.txt", 100, 45000.5);
    note->Category = "Work";
    note->Comments = "line1\r\nline2";
    TFolderNode* pack = AddFolder(cd1, "pack.zip", 50);
    member = AddFile(pack, "m1.txt", 7);
    AddFile(cd1, "z.txt", 0);
    cd2 = AddVolume("CD 2");
    big = AddFile(cd2, "big.iso", 3 * 1048576 + 524288);
    out = Path("out.txt");
  }

  TExportOptions Options(const std::vector<std::string>& names) {
    TExportOptions o;
    o.FileName = out;
    o.Fields = Fields(names);
    return o;
  }

  // Exports and returns the file's bytes.
  std::string Export(const TExportOptions& o, const TExportSourceData& s = {}) {
    TExport e(*g, o, s);
    EXPECT_TRUE(e.Export()) << e.ErrorText();
    EXPECT_TRUE(fs::exists(o.FileName));
    return ReadFile(o.FileName);
  }

  TExportSourceData Selection(std::vector<TFolderNode*> nodes) { return {esSelection, std::move(nodes), {}}; }
  TExportSourceData Results(std::vector<TLibFolderItem*> items) { return {esSearchResults, {}, std::move(items)}; }

  // Files beside the output other than the ones named.
  std::vector<std::string> Leftovers(const std::vector<std::string>& expected) {
    std::vector<std::string> extra;
    for (const auto& e : fs::directory_iterator(dir)) {
      std::string name = e.path().filename().string();
      if (std::find(expected.begin(), expected.end(), name) == expected.end()) extra.push_back(name);
    }
    return extra;
  }

  TFolderNode *cd1 = nullptr, *cd2 = nullptr, *docs = nullptr, *deep = nullptr;
  TLibFolderItem *comma = nullptr, *note = nullptr, *member = nullptr, *big = nullptr;
  std::string out;
};

TEST(ExportFieldsTest, InitialListAndMoves) {
  std::vector<TExportField> f = DefaultExportFields();
  ASSERT_EQ(f.size(), 11u);
  std::vector<std::string> names;
  for (const auto& x : f) {
    names.push_back(x.Name);
    EXPECT_FALSE(x.Checked) << x.Name;
  }
  EXPECT_EQ(names, (std::vector<std::string>{"Volume", "VolumeSerialNo", "Path", "Name", "Size", "Date", "Category",
                                             "Comments", "Location", "Type", "FilePath"}));

  struct {
    int index, delta, result;
    const char *first, *second, *last;
  } cases[] = {
      {1, -1, 0, "VolumeSerialNo", "Volume", "FilePath"},  // up
      {0, +1, 1, "VolumeSerialNo", "Volume", "FilePath"},  // down
      {0, -1, 0, "Volume", "VolumeSerialNo", "FilePath"},  // top stays
      {10, +1, 10, "Volume", "VolumeSerialNo", "FilePath"},  // bottom stays
      {-1, +1, -1, "Volume", "VolumeSerialNo", "FilePath"},  // no selection
  };
  for (const auto& c : cases) {
    std::vector<TExportField> list = DefaultExportFields();
    EXPECT_EQ(MoveExportField(list, c.index, c.delta), c.result) << c.index << " " << c.delta;
    EXPECT_EQ(list[0].Name, c.first);
    EXPECT_EQ(list[1].Name, c.second);
    EXPECT_EQ(list[10].Name, c.last);
  }
}

TEST(ExportFieldsTest, SeparatorChoices) {
  EXPECT_EQ(SeparatorText("Comma"), ",");
  EXPECT_EQ(SeparatorText("Tab"), "\t");
  EXPECT_EQ(SeparatorText("New Line"), "\r\n");
  EXPECT_EQ(SeparatorText(" | "), " | ");
  EXPECT_EQ(SeparatorText("comma"), "comma");  // only the items themselves are translated
  EXPECT_EQ(SeparatorText(""), "");
}

// Whole files for one option change each, from the fixture's library.
TEST_F(ExportTest, FilesByOptions) {
  struct TCase {
    const char* name;
    std::function<void(TExportOptions&)> set;
    std::function<TExportSourceData()> source;
    std::string expected;
  };
  auto library = [] { return TExportSourceData{}; };
  auto volume1 = [&] { return Selection({cd1}); };
  auto name = [](TExportOptions&) {};
  const TCase cases[] = {
      {"nothing checked: empty file", [](TExportOptions& o) { o.Fields = DefaultExportFields(); }, library, ""},
      {"library: a folder's entries, then the next node's", name, library,
       "a,b.txt\r\nDocs\r\npack.zip\r\nz.txt\r\nDeep\r\nnote.txt\r\nx.bin\r\nbig.iso\r\n"},
      {"selection: a subfolder's entries right after its line", name, volume1,
       "a,b.txt\r\nDocs\r\nDeep\r\nx.bin\r\nnote.txt\r\npack.zip\r\nz.txt\r\n"},
      {"archives: members instead of archive and folder entries",
       [](TExportOptions& o) { o.Archives = true; }, volume1, "a,b.txt\r\nx.bin\r\nnote.txt\r\nm1.txt\r\nz.txt\r\n"},
      {"folder lines: every entry, archive members too", [](TExportOptions& o) { o.Folders = o.Archives = true; },
       volume1, "a,b.txt\r\nDocs\r\nDeep\r\nx.bin\r\nnote.txt\r\npack.zip\r\nm1.txt\r\nz.txt\r\n"},
      {"only folders",
       [](TExportOptions& o) {
         o.Folders = true;
         o.OnlyFolders = true;
       },
       volume1, "Docs\r\nDeep\r\npack.zip\r\n"},
      {"only folders is void without folder lines", [](TExportOptions& o) { o.OnlyFolders = true; }, volume1,
       "a,b.txt\r\nDocs\r\nDeep\r\nx.bin\r\nnote.txt\r\npack.zip\r\nz.txt\r\n"},
      {"level 1 with indentation: nothing deeper, nothing indented",
       [](TExportOptions& o) {
         o.UseLevels = true;
         o.Levels = 1;
         o.Indent = true;
       },
       volume1, "a,b.txt\r\nDocs\r\nnote.txt\r\npack.zip\r\nz.txt\r\n"},
      {"level 0 keeps the volume's own entries", [](TExportOptions& o) { o.UseLevels = true, o.Levels = 0; },
       volume1, "a,b.txt\r\nz.txt\r\n"},
      {"levels unused: the depth is ignored", [](TExportOptions& o) { o.Levels = 0; }, volume1,
       "a,b.txt\r\nDocs\r\nDeep\r\nx.bin\r\nnote.txt\r\npack.zip\r\nz.txt\r\n"},
      {"indentation: one separator per level below the first",
       [](TExportOptions& o) {
         o.Indent = true;
         o.Separator = "Tab";
       },
       volume1, "a,b.txt\r\nDocs\r\n\tDeep\r\n\tx.bin\r\nnote.txt\r\npack.zip\r\nz.txt\r\n"},
      {"folder sizes: the entry's own size", [](TExportOptions& o) { o.Fields = Fields({"Name", "Size"}); },
       [&] { return Selection({docs}); }, "Deep,0\r\nx.bin,10\r\nnote.txt,100\r\n"},
      {"folder totals: the folder's kept size",
       [](TExportOptions& o) {
         o.Fields = Fields({"Name", "Size"});
         o.Folders = o.FolderTotals = true;
       },
       [&] { return Selection({cd1}); },
       "a,b.txt,1 536\r\nDocs,100\r\nDeep,10\r\nx.bin,10\r\nnote.txt,100\r\npack.zip,7\r\nm1.txt,7\r\nz.txt,0\r\n"},
      {"totals need folder lines", [](TExportOptions& o) { o.Fields = Fields({"Name", "Size"}), o.FolderTotals = true; },
       [&] { return Selection({docs}); }, "Deep,0\r\nx.bin,10\r\nnote.txt,100\r\n"},
      {"selection order is kept", name, [&] { return Selection({cd2, deep}); }, "big.iso\r\nx.bin\r\n"},
      {"search results in list order, each once", name, [&] { return Results({big, note, comma}); },
       "big.iso\r\nnote.txt\r\na,b.txt\r\n"},
      {"search results pass the filter", name, [&] { return Results({member, note}); }, "note.txt\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TExportOptions o = Options({"Name"});
    c.set(o);
    EXPECT_EQ(Export(o, c.source()), c.expected);
  }
}

// One entry's line for fields, separators, qualifiers and units.
TEST_F(ExportTest, LinesByFields) {
  note->Category = "It's";
  struct TCase {
    std::vector<std::string> fields;
    std::string separator, qualifier;
    int unit;
    std::function<TLibFolderItem*()> item;
    std::string expected;
  };
  auto a = [&] { return comma; };
  auto n = [&] { return note; };
  auto b = [&] { return big; };
  const TCase cases[] = {
      {{"Name", "Size"}, "Comma", "\"", 1, a, "a,b.txt,1.50 KB"},
      {{"Size", "Name"}, "Comma", "\"", 0, a, "1 536,a,b.txt"},
      {{"Name", "Size"}, "Tab", "\"", 0, a, "a,b.txt\t1 536"},
      {{"Name", "Size"}, "New Line", "\"", 0, a, "a,b.txt\r\n1 536"},
      {{"Name", "Size"}, " | ", "\"", 0, a, "a,b.txt | 1 536"},
      {{"Name", "Size"}, "", "\"", 0, a, "a,b.txt1 536"},
      {{"Size"}, "Comma", "\"", 2, b, "3.50 MB"},
      {{"Size"}, "Comma", "\"", 1, b, "3 584 KB"},
      {{"Volume", "Category", "Comments", "Location"}, "Comma", "'", 0, n, "'CD 1','It's','line1;line2','Shelf'"},
      {{"Volume", "Category"}, "Comma", " \" ", 0, n, "\"CD 1\",\"It's\""},
      {{"Volume", "Category"}, "Comma", "", 0, n, "CD 1,It's"},
      {{"VolumeSerialNo", "Path", "Type", "FilePath"}, "Comma", "\"", 0, n,
       "1234ABCD,CD 1\\Docs\\,txt,CD 1\\Docs\\note.txt"},
      {{"Bogus", "Name"}, "Comma", "\"", 0, n, "note.txt"},
      {{"Location", "Name"}, "Comma", "\"", 0, b, "\"\",big.iso"},
  };
  for (const auto& c : cases) {
    TExportOptions o = Options(c.fields);
    o.Separator = c.separator;
    o.TextQualifier = c.qualifier;
    o.SizeUnit = c.unit;
    EXPECT_EQ(TExport(*g, o).EntryLine(*c.item()), c.expected) << c.separator << " " << c.fields.front();
  }
  TExportOptions o = Options({"Date"});
  EXPECT_EQ(TExport(*g, o).EntryLine(*note), FormatDate(45000.5));
  EXPECT_FALSE(FormatDate(45000.5).empty());
}

TEST_F(ExportTest, OnlyTheAppendedFinalSeparatorGoes) {
  TLibFolderItem* trailing = AddFile(cd2, "trail,", 10);
  TLibFolderItem* tabbed = AddFile(cd2, "tab\t", 10);
  EXPECT_EQ(TExport(*g, Options({"Size", "Name"})).EntryLine(*trailing), "10,trail,");
  TExportOptions tab = Options({"Name"});
  tab.Separator = "Tab";
  EXPECT_EQ(TExport(*g, tab).EntryLine(*tabbed), "tab\t");
  // "New Line": one line per field, no blank line between entries.
  TExportOptions nl = Options({"Name", "Size"});
  nl.Separator = "New Line";
  EXPECT_EQ(Export(nl, Results({comma, big})), "a,b.txt\r\n1 536\r\nbig.iso\r\n3 670 016\r\n");
}

TEST_F(ExportTest, IndentationWithoutFieldsLeavesOnlyDeepLines) {
  TFolderNode* deeper = AddFolder(deep, "Deeper");
  AddFile(deeper, "y.bin", 1);
  TExportOptions o = Options({});
  o.Indent = true;
  // x.bin (level 2): one separator, removed as the final one; the Deeper
  // entry and y.bin (level 3): one of two is left.
  EXPECT_EQ(Export(o, Selection({deep})), ",\r\n,\r\n");
}

TEST_F(ExportTest, ProgressAndLog) {
  const size_t nodes = Lib().Folders.Count();
  Export(Options({"Name"}));
  EXPECT_EQ(host.ProgressMax, static_cast<int32_t>(nodes));
  EXPECT_EQ(host.Positions.back(), static_cast<int32_t>(nodes));
  EXPECT_EQ(host.CountLog("Exporting.. " + out), 1);
  EXPECT_EQ(host.CountLog("Exported: " + out), 1);
  EXPECT_EQ(host.CountLog("Export failed: " + out), 0);

  host.Log.clear();
  Export(Options({"Name"}), Results({comma, note}));
  EXPECT_EQ(host.ProgressMax, 2);
  EXPECT_EQ(host.CountLog("Exported: " + out), 1);
}

TEST_F(ExportTest, ReplacesAnOlderFile) {
  WriteFile(out, "old content that is longer than the export\r\n");
  EXPECT_EQ(Export(Options({"Name"}), Results({comma})), "a,b.txt\r\n");
  EXPECT_EQ(Leftovers({"out.txt", "config", "data"}), std::vector<std::string>{});
}

TEST_F(ExportTest, EmptyFileNameFails) {
  TExportOptions o = Options({"Name"});
  o.FileName.clear();
  TExport e(*g, o);
  EXPECT_FALSE(e.Export());
  EXPECT_EQ(e.ErrorText(), "File name not specified.");
  EXPECT_EQ(host.CountLog("Export failed: "), 1);
  EXPECT_TRUE(host.Messages.empty());
}

TEST_F(ExportTest, FailedWriteLeavesNothingBehind) {
  struct {
    const char* name;
    std::function<std::string()> target;
  } cases[] = {
      {"target is a folder", [&] {
         fs::create_directory(Path("folder"));
         return Path("folder");
       }},
      {"folder missing", [&] { return Path("missing/out.txt"); }},
      {"parent is a file", [&] {
         WriteFile(Path("plain"), "x");
         return Path("plain/out.txt");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    host.Log.clear();
    std::string target = c.target();
    TExportOptions o = Options({"Name"});
    o.FileName = target;
    TExport e(*g, o);
    EXPECT_FALSE(e.Export());
    EXPECT_EQ(host.CountLog("Export failed: " + target), 1);
    EXPECT_EQ(host.CountLog("Exported: " + target), 0);
    EXPECT_NE(e.ErrorText().find(target), std::string::npos) << e.ErrorText();
    EXPECT_TRUE(host.Messages.empty());
  }
  EXPECT_TRUE(fs::is_directory(Path("folder")));
  EXPECT_TRUE(fs::is_empty(Path("folder")));
  EXPECT_EQ(ReadFile(Path("plain")), "x");
  EXPECT_EQ(Leftovers({"folder", "plain", "config", "data"}), std::vector<std::string>{});
}

TEST_F(ExportTest, StopCancelsAndKeepsTheOlderFile) {
  WriteFile(out, "old\r\n");
  // The first pump is the one that starts the progress.
  host.StopAtPump = 2;
  TExport e(*g, Options({"Name"}), Selection({cd1}));
  EXPECT_FALSE(e.Export());
  EXPECT_EQ(e.ErrorText(), "Operation Canceled");
  EXPECT_EQ(host.CountLog("Export failed: " + out), 1);
  EXPECT_EQ(ReadFile(out), "old\r\n");
  EXPECT_EQ(Leftovers({"out.txt", "config", "data"}), std::vector<std::string>{});
}

TEST_F(ExportTest, RunWaitsForTheRunningOperationAndClosesTheProgress) {
  Lib().FileName = Path("lib.twl");
  g->SetProcessStopped(false);
  EXPECT_FALSE(TExport(*g, Options({"Name"})).Run());
  EXPECT_FALSE(fs::exists(out));

  g->SetProcessStopped(true);
  host.Log.clear();
  EXPECT_TRUE(TExport(*g, Options({"Name"})).Run());
  EXPECT_TRUE(fs::exists(out));
  EXPECT_TRUE(g->ProcessStopped);
  EXPECT_EQ(Lib().FileCount, 6);  // recounted
  bool closed = false;
  for (const auto& line : host.Log) closed = closed || line.rfind("Exported: " + Lib().FileName, 0) == 0;
  EXPECT_TRUE(closed);
}

TEST_F(ExportTest, CommandLine) {
  SaveLibraryCommand(*g, Path("lib.twl"));
  auto cli = [&](const std::string& args) { return RunCli("export " + args, Path("stderr.txt")); };
  const std::string lib = Q(Path("lib.twl"));

  TRun ok = cli(lib + " " + Q(out) + " --source 'CD 2' --source 'CD 1\\Docs\\' --fields Name,Size --separator Tab"
                " --unit kb --indent --folders --totals");
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ReadFile(out), "big.iso\t3 584 KB\r\n\tDeep\t0 KB\r\n\tx.bin\t0 KB\r\nnote.txt\t0.09 KB\r\n");
  EXPECT_NE(ok.err.find("Exported: " + out), std::string::npos) << ok.err;

  ok = cli("-q " + lib + " " + Q(out) + " --fields Volume,Name --separator Comma --qualifier '' --levels 1 --archives");
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ReadFile(out), "CD 1,a,b.txt\r\nCD 1,z.txt\r\nCD 1,note.txt\r\nCD 1,m1.txt\r\nCD 2,big.iso\r\n");

  fs::create_directory(Path("folder"));
  TRun failed = cli(lib + " " + Q(Path("folder")));
  EXPECT_EQ(failed.status, 1);
  EXPECT_NE(failed.err.find("Export failed: " + Path("folder")), std::string::npos) << failed.err;

  EXPECT_EQ(cli(lib + " " + Q(out) + " --source 'CD 9'").status, 1);
  EXPECT_EQ(cli(lib + " " + Q(out) + " --fields Name,Bogus").status, 2);
  EXPECT_EQ(cli(lib + " " + Q(out) + " --unit GB").status, 2);
  EXPECT_EQ(cli(lib + " " + Q(out) + " --levels 1000").status, 2);
  EXPECT_EQ(cli(lib + " " + Q(out) + " --totals").status, 2);
  EXPECT_EQ(cli(lib).status, 2);
}

// Source 2 from the command line: the matches in list order (sorted when
// asked), every match also in duplicate mode.
TEST_F(ExportTest, CommandLineFromSearch) {
  AddFile(cd2, "A,B.TXT", 5);
  SaveLibraryCommand(*g, Path("lib.twl"));
  auto cli = [&](const std::string& args) {
    return RunCli("export " + Q(Path("lib.twl")) + " " + Q(out) + " --fields Volume,Name --separator Comma " + args,
                  Path("stderr.txt"));
  };
  TRun ok = cli("--from-search --type txt");
  ASSERT_EQ(ok.status, 0) << ok.err;
  // The archive member matches too; the filter leaves it out without --archives.
  EXPECT_EQ(ReadFile(out), "\"CD 1\",a,b.txt\r\n\"CD 1\",z.txt\r\n\"CD 1\",note.txt\r\n\"CD 2\",A,B.TXT\r\n");
  ok = cli("--from-search --type txt --dupes --sort Size --sort Size --archives");
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_EQ(ReadFile(out), "\"CD 1\",a,b.txt\r\n\"CD 1\",note.txt\r\n\"CD 1\",m1.txt\r\n\"CD 2\",A,B.TXT\r\n"
                           "\"CD 1\",z.txt\r\n");
  EXPECT_EQ(cli("--name txt").status, 2);
  EXPECT_EQ(cli("--from-search --source 'CD 1'").status, 2);
  EXPECT_EQ(cli("--from-search --replace-category X").status, 2);
  EXPECT_EQ(cli("--from-search --selected 'CD 9'").status, 1);
}

}  // namespace
}  // namespace tw::test
