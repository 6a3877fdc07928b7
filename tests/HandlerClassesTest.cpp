#include "tags/HandlerClasses.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "base/Error.h"
#include "base/RegUtils.h"
#include "core/LibClasses.h"
#include "tags/TagClasses.h"

namespace fs = std::filesystem;

namespace tw {
namespace {

using Strings = std::vector<std::string>;

const std::string kExt = std::string(kRegRoot) + "Ext\\";
std::string SubKey(int i) { return kExt + std::to_string(i); }

// The order in which the tag readers of a file run.
const Strings kReaderOrder = {"MP3", "MPG", "WMA", "WPA", "WAV", "OGG", "APE", "VQF", "AAC", "FLAC", "OFR", "CDA"};

Strings Titles(const THandlerList& list) {
  Strings titles;
  for (int i = 0; i < list.Count(); ++i) titles.push_back(list.Item(i)->Title);
  return titles;
}

class HandlerTable : public testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "tarnwex-handlers-XXXXXX").string();
    dir = ::mkdtemp(tmpl.data());
    store = std::make_unique<TRegStore>(Path("Tarnwex.reg"));
    list.LoadDefaultHandlers(*store);
  }
  void TearDown() override {
    store.reset();
    fs::remove_all(dir);
  }

  std::string Path(const std::string& name) const { return dir + "/" + name; }
  std::string MakeFile(const std::string& name) {
    std::ofstream(Path(name)) << "data";
    return Path(name);
  }
  THandler& H(const std::string& title) {
    auto h = list.Find(title);
    if (!h) throw EError("no handler " + title);
    return *h;
  }
  // Every reader of the table records its handler's title and leaves a tag.
  void PlugRecorders() {
    for (auto& entry : list.Readers())
      entry.Read = [this, title = entry.Title](const std::string& file, TTagInfo& tags) {
        calls.push_back(title);
        files.push_back(file);
        tags.AddTag("Source", title);
      };
  }
  // A subkey as the program writes it, minus the value named `skip`.
  void WriteSubKey(int i, const std::string& title, const std::string& skip = {}) {
    auto put = [&](const char* name, auto value) {
      if (skip != name) store->WriteRegValue(SubKey(i), name, value);
    };
    put("Title", title);
    put("Description", std::string("d"));
    put("Active", true);
    put("Internal", true);
    put("Editable", true);
    put("Extensions", std::string(".X\r\n"));
  }

  std::string dir;
  std::unique_ptr<TRegStore> store;
  THandlerList list;
  Strings calls, files;
};

// ------------------------------------------------------------ the defaults

TEST_F(HandlerTable, DefaultsAreTheFifteenHandlersInAlphabeticalOrder) {
  EXPECT_EQ(Titles(list), (Strings{"AAC", "APE", "CDA", "FLAC", "MP3", "MPG", "MPP", "OFR", "OGG", "RAR", "VQF", "WAV",
                                   "WMA", "WPA", "ZIP"}));
}

TEST_F(HandlerTable, DefaultsCarryTheDocumentedFields) {
  struct Row {
    const char* title;
    const char* description;
    Strings extensions;  // as the sorted list holds them
    bool editable;
  };
  const Row rows[] = {
      {"RAR", "RAR Archive", {".RAR"}, false},
      {"ZIP", "ZIP Archive", {".ZIP"}, false},
      {"MP3", "MP3 File", {".MP3"}, true},
      {"WAV", "WAV File", {".WAV"}, true},
      {"WPA", "WAV Pack File", {".WV"}, true},
      {"WMA", "WMA File", {".WMA"}, true},
      {"MPG", "MPG File", {".MP1", ".MP2", ".MPA", ".MPEG", ".MPG"}, true},
      {"OGG", "OGG File", {".OGG"}, true},
      {"CDA", "CD Audio Track", {".CDA"}, true},
      {"MPP", "MPG Plus File", {".MP+", ".MPC"}, true},
      {"APE", "APE File", {".APE", ".MAC"}, true},
      {"VQF", "TwinVQ File", {".VQF"}, true},
      {"AAC", "AAC File", {".AAC"}, true},
      {"FLAC", "FLAC File", {".FLAC"}, true},
      {"OFR", "OptimFROG File", {".OFR", ".OFS"}, true},
  };
  ASSERT_EQ(list.Count(), static_cast<int>(std::size(rows)));
  for (const auto& r : rows) {
    SCOPED_TRACE(r.title);
    auto h = list.Find(r.title);
    ASSERT_TRUE(h);
    EXPECT_EQ(h->Description, r.description);
    EXPECT_EQ(h->Extensions.Items(), r.extensions);
    EXPECT_EQ(h->Editable, r.editable);
    EXPECT_TRUE(h->Active);
    EXPECT_TRUE(h->Internal);
    EXPECT_EQ(h->String + h->Help + h->ExternalDLL, "");
  }
}

TEST_F(HandlerTable, LookupIsCaseBlindAndATitleIsUnique) {
  EXPECT_EQ(list.Find("mp3"), list.Find("MP3"));
  EXPECT_EQ(list.IndexOf("Flac"), 3);
  EXPECT_EQ(list.IndexOf("MP"), -1);
  EXPECT_EQ(list.Find("XYZ"), nullptr);

  auto dup = std::make_shared<THandler>();
  dup->Title = "mp3";
  EXPECT_THROW(list.Add(dup), EError);
  EXPECT_THROW(list.AddDefExt("Zip", "", "", "", {".Z"}, true), EError);
  EXPECT_EQ(list.Count(), 15);
  EXPECT_EQ(list.Find("ZIP")->Extensions.Items(), Strings{".ZIP"});
}

TEST_F(HandlerTable, AddDefExtSortsAndDropsDuplicateExtensions) {
  THandler& h = list.AddDefExt("AB", "Ab File", "s", "help", {".b", ".A", ".B", ".a"}, false);
  EXPECT_EQ(h.Extensions.Items(), (Strings{".A", ".b"}));
  EXPECT_EQ(list.Item(1).get(), &h);  // between AAC and APE
  EXPECT_TRUE(h.Active && h.Internal && !h.Editable);
  EXPECT_EQ(h.String + "|" + h.Help, "s|help");
}

// ----------------------------------------------------------- file matching

TEST(HandlerExtension, IsTheUpperCasedTailOfTheLastPathComponent) {
  const std::pair<const char*, const char*> cases[] = {
      {"song.mp3", ".MP3"}, {"SONG.Mp3", ".MP3"},   {"song", ""},           {"a.b/song", ""},
      {"dir.mp3/x", ""},    {"/m/x.tar.gz", ".GZ"}, {".hidden", ".HIDDEN"}, {"end.", "."},
  };
  for (const auto& [name, ext] : cases) EXPECT_EQ(HandlerExtension(name), ext) << name;
}

TEST_F(HandlerTable, FileInHandlerNeedsAnActiveHandlerListingTheExtension) {
  struct Case {
    const char* handler;
    const char* file;
    bool expected;
  };
  const Case cases[] = {
      {"MP3", "song.mp3", true},      {"MP3", "SONG.Mp3", true},       {"mp3", "/music/a/song.MP3", true},
      {"MP3", "song", false},         {"MP3", "a.b/song", false},      {"MP3", "dir.mp3/x", false},
      {"MP3", "song.mp3.bak", false}, {"MPG", "song.mp3", false},      {"MPG", "clip.mpeg", true},
      {"WPA", "track.wv", true},      {"WPA", "track.wpa", false},     {"MPP", "a.mp+", true},
      {"XYZ", "song.mp3", false},     {"", "song.mp3", false},
  };
  for (const auto& c : cases) EXPECT_EQ(list.isFileInHander(c.handler, c.file), c.expected) << c.handler << " " << c.file;

  H("MP3").Active = false;
  EXPECT_FALSE(list.isFileInHander("MP3", "song.mp3"));
  EXPECT_TRUE(list.isFileInHander("MPG", "song.mpg"));
}

TEST_F(HandlerTable, ExtHandlerActiveFollowsTheSwitch) {
  EXPECT_TRUE(list.isExtHandlerActive("MP3"));
  EXPECT_TRUE(list.isExtHandlerActive("zip"));
  EXPECT_FALSE(list.isExtHandlerActive("NONE"));
  H("ZIP").Active = false;
  EXPECT_FALSE(list.isExtHandlerActive("ZIP"));
  EXPECT_TRUE(list.isExtHandlerActive("RAR"));
}

TEST_F(HandlerTable, FileExtActiveAsksTheFirstHandlerListingTheExtension) {
  const std::pair<const char*, bool> cases[] = {
      {".MP3", true}, {".mp3", true}, {".Mpeg", true}, {"MP3", false}, {".XYZ", false}, {"", false},
  };
  for (const auto& [ext, expected] : cases) EXPECT_EQ(list.isFileExtActive(ext), expected) << ext;

  // MP3 precedes MPG: its switch decides for an extension both list.
  H("MPG").Extensions.Add(".MP3");
  H("MP3").Active = false;
  EXPECT_FALSE(list.isFileExtActive(".MP3"));
  H("MP3").Active = true;
  H("MPG").Active = false;
  EXPECT_TRUE(list.isFileExtActive(".MP3"));
}

// ---------------------------------------------------------- settings store

TEST_F(HandlerTable, SaveAndLoadKeepEveryField) {
  H("MP3").Active = false;
  THandler& wav = H("WAV");
  wav.String = "free text";
  wav.Help = "a tip";
  wav.ExternalDLL = "wav.dll";
  wav.Internal = false;
  wav.Editable = false;
  H("ZIP").Editable = true;
  H("OGG").Extensions.Clear();
  H("MPG").Extensions.Add(".M2A");
  list.AddDefExt("Custom", "Line\\one \"q\"", "", "", {".c1", ".C2"}, true);
  list.SaveToRegistry(*store);

  TRegStore reread(Path("Tarnwex.reg"));
  THandlerList loaded;
  loaded.LoadFromRegistry(reread);
  ASSERT_EQ(Titles(loaded), Titles(list));
  for (int i = 0; i < list.Count(); ++i) {
    const THandler& a = *list.Item(i);
    const THandler& b = *loaded.Item(i);
    SCOPED_TRACE(a.Title);
    EXPECT_EQ(b.Extensions.Items(), a.Extensions.Items());
    EXPECT_EQ(b.Description, a.Description);
    EXPECT_EQ(b.String, a.String);
    EXPECT_EQ(b.Active, a.Active);
    EXPECT_EQ(b.Internal, a.Internal);
    EXPECT_EQ(b.ExternalDLL, a.ExternalDLL);
    EXPECT_EQ(b.Help, a.Help);
    EXPECT_EQ(b.Editable, a.Editable);
  }
}

TEST_F(HandlerTable, SubkeysAreNumberedInListOrderWithCrLfExtensions) {
  list.SaveToRegistry(*store);
  EXPECT_EQ(store->ReadRegValue(SubKey(0), "Title", ""), "AAC");
  EXPECT_EQ(store->ReadRegValue(SubKey(5), "Title", ""), "MPG");
  EXPECT_EQ(store->ReadRegValue(SubKey(5), "Extensions", ""), ".MP1\r\n.MP2\r\n.MPA\r\n.MPEG\r\n.MPG\r\n");
  EXPECT_EQ(store->ReadRegValue(SubKey(14), "Title", ""), "ZIP");
  EXPECT_EQ(store->TryReadBool(SubKey(14), "Editable"), std::optional<bool>(false));
  EXPECT_FALSE(store->RegKeyExists(SubKey(15)));
}

TEST_F(HandlerTable, SavingLeavesHigherSubkeysAndLoadingStopsAtTheFirstGap) {
  WriteSubKey(16, "Orphan");
  list.SaveToRegistry(*store);
  EXPECT_EQ(store->ReadRegValue(SubKey(16), "Title", ""), "Orphan");

  THandlerList loaded;
  loaded.LoadFromRegistry(*store);
  EXPECT_EQ(Titles(loaded), Titles(list));
}

TEST_F(HandlerTable, LoadDefaultHandlersWipesTheStoredTable) {
  list.SaveToRegistry(*store);
  H("MP3").Active = false;
  H("AAC").Extensions.Add(".M4A");
  ASSERT_TRUE(store->RegKeyExists(kExt));

  list.LoadDefaultHandlers(*store);
  EXPECT_FALSE(store->RegKeyExists(kExt));
  EXPECT_FALSE(store->RegKeyExists(SubKey(0)));
  EXPECT_TRUE(list.isExtHandlerActive("MP3"));
  EXPECT_EQ(H("AAC").Extensions.Items(), Strings{".AAC"});
  EXPECT_EQ(list.Count(), 15);
}

TEST_F(HandlerTable, WithoutAStoredTableLoadingInstallsTheDefaults) {
  THandlerList loaded;
  loaded.AddDefExt("Old", "", "", "", {}, true);
  loaded.LoadFromRegistry(*store);
  EXPECT_EQ(Titles(loaded), Titles(list));
  EXPECT_FALSE(store->RegKeyExists(kExt));
}

TEST_F(HandlerTable, AnExtKeyWithoutSubkeyZeroGivesAnEmptyTable) {
  WriteSubKey(1, "MP3");
  list.LoadFromRegistry(*store);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_FALSE(list.isFileInHander("MP3", "song.mp3"));
  EXPECT_FALSE(list.isFileExtActive(".X"));
}

TEST_F(HandlerTable, MissingTextValuesReadAsEmpty) {
  store->WriteRegValue(SubKey(0), "Active", false);
  store->WriteRegValue(SubKey(0), "Internal", true);
  store->WriteRegValue(SubKey(0), "Editable", true);
  list.LoadFromRegistry(*store);
  ASSERT_EQ(list.Count(), 1);
  const THandler& h = *list.Item(0);
  EXPECT_EQ(h.Title + h.Description + h.String + h.ExternalDLL + h.Help, "");
  EXPECT_TRUE(h.Extensions.Empty());
  EXPECT_FALSE(h.Active);
}

TEST_F(HandlerTable, ASubkeyLackingABooleanFailsTheLoad) {
  for (const char* missing : {"Active", "Internal", "Editable"}) {
    SCOPED_TRACE(missing);
    list.LoadDefaultHandlers(*store);
    WriteSubKey(0, "AAC");
    WriteSubKey(1, "MP3", missing);
    EXPECT_THROW(list.LoadFromRegistry(*store), EError);
    // The table in use stays as it was.
    EXPECT_EQ(list.Count(), 15);
  }
}

TEST_F(HandlerTable, ABooleanStoredAsTextFailsTheLoad) {
  WriteSubKey(0, "MP3");
  store->WriteRegValue(SubKey(0), "Active", std::string("1"));
  EXPECT_THROW(list.LoadFromRegistry(*store), EError);
}

TEST_F(HandlerTable, TwoSubkeysWithOneTitleFailTheLoad) {
  WriteSubKey(0, "MP3");
  WriteSubKey(1, "mp3");
  EXPECT_THROW(list.LoadFromRegistry(*store), EError);
  EXPECT_EQ(list.Count(), 15);
}

// ------------------------------------------------------------ tag readers

class HandlerDispatch : public HandlerTable {
 protected:
  void SetUp() override {
    HandlerTable::SetUp();
    PlugRecorders();
  }
  TLibFolderItem item;
};

TEST_F(HandlerDispatch, TheReaderTableListsTheTagHandlersInRunningOrder) {
  Strings titles;
  for (const auto& entry : DefaultTagReaders()) titles.push_back(entry.Title);
  EXPECT_EQ(titles, kReaderOrder);
}

TEST_F(HandlerDispatch, EachHandlerRunsItsReaderOnItsOwnFiles) {
  const std::pair<const char*, const char*> cases[] = {
      {"a.mp3", "MP3"}, {"a.mp2", "MPG"}, {"a.wma", "WMA"}, {"a.wv", "WPA"},    {"a.wav", "WAV"}, {"a.ogg", "OGG"},
      {"a.mac", "APE"}, {"a.vqf", "VQF"}, {"a.aac", "AAC"}, {"a.flac", "FLAC"}, {"a.ofs", "OFR"}, {"a.cda", "CDA"},
  };
  for (const auto& [name, handler] : cases) {
    calls.clear();
    files.clear();
    std::string file = MakeFile(name);
    list.ProcessFile(file, item.TagInfo, nullptr);
    EXPECT_EQ(calls, Strings{handler}) << name;
    EXPECT_EQ(files, Strings{file}) << name;
  }
}

TEST_F(HandlerDispatch, CommonExtensionsRunEveryHandlerInTheFixedOrder) {
  // Alphabetical order would run AAC first; the readers' order does not.
  for (int i = 0; i < list.Count(); ++i) list.Item(i)->Extensions.Add(".ALL");
  list.ProcessFile(MakeFile("x.all"), item.TagInfo, nullptr);
  EXPECT_EQ(calls, kReaderOrder);

  calls.clear();
  H("MPG").Extensions.Add(".MP3");
  list.ProcessFile(MakeFile("song.mp3"), item.TagInfo, nullptr);
  EXPECT_EQ(calls, (Strings{"MP3", "MPG"}));
  // The later handler's values win.
  EXPECT_EQ(item.TagInfo.Tags.back(), "Source=MPG");
}

TEST_F(HandlerDispatch, SwitchedOffHandlersAndAbsentReadersAreSkipped) {
  H("MPG").Extensions.Add(".MP3");
  H("MPG").Active = false;
  std::string song = MakeFile("song.mp3");
  list.ProcessFile(song, item.TagInfo, nullptr);
  EXPECT_EQ(calls, Strings{"MP3"});

  calls.clear();
  H("MPG").Active = true;
  list.Readers()[0].Read = nullptr;  // MP3 has nothing to run yet
  list.ProcessFile(song, item.TagInfo, nullptr);
  EXPECT_EQ(calls, Strings{"MPG"});

  THandlerList bare;
  bare.LoadDefaultHandlers(*store);
  TLibFolderItem untouched;
  bare.ProcessFile(song, untouched.TagInfo, nullptr);
  EXPECT_TRUE(untouched.TagInfo.Tags.empty());
}

TEST_F(HandlerDispatch, ArchivesAndMpegPlusNeverReachAReader) {
  for (const char* name : {"a.zip", "a.rar", "a.mpc", "a.mp+"}) {
    list.ProcessFile(MakeFile(name), item.TagInfo, nullptr);
    EXPECT_TRUE(calls.empty()) << name;
  }
  EXPECT_TRUE(item.TagInfo.Tags.empty());
}

TEST_F(HandlerDispatch, OnlyExistingRegularFilesAreRead) {
  list.ProcessFile(Path("missing.mp3"), item.TagInfo, nullptr);
  fs::create_directory(Path("folder.mp3"));
  list.ProcessFile(Path("folder.mp3"), item.TagInfo, nullptr);
  fs::create_symlink(Path("missing.mp3"), Path("dangling.mp3"));
  list.ProcessFile(Path("dangling.mp3"), item.TagInfo, nullptr);
  EXPECT_TRUE(calls.empty());

  // A link is catalogued as itself: what it points at is never read.
  std::string target = MakeFile("target.mp3");
  fs::create_symlink(target, Path("link.mp3"));
  list.ProcessFile(Path("link.mp3"), item.TagInfo, nullptr);
  EXPECT_TRUE(calls.empty());
  list.ProcessFile(target, item.TagInfo, nullptr);
  EXPECT_EQ(calls, Strings{"MP3"});
}

TEST_F(HandlerDispatch, AFifoIsNeverOpened) {
  // A reader that opens a FIFO blocks until a writer comes.
  for (auto& entry : list.Readers())
    entry.Read = [this](const std::string& file, TTagInfo&) {
      std::ifstream in(file);
      calls.push_back(file);
    };
  std::string fifo = Path("x.mp3");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  fs::create_symlink(fifo, Path("fifo-link.mp3"));

  for (const std::string& name : {fifo, Path("fifo-link.mp3")}) {
    auto done = std::async(std::launch::async, [&] { list.ProcessFile(name, item.TagInfo, nullptr); });
    if (done.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
      // Release the blocked reader so that the test can end.
      int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) ::close(fd);
      done.wait();
      ADD_FAILURE() << name << " was opened";
    }
  }
  EXPECT_TRUE(calls.empty());
}

// ------------------------------------------------------------- list views

class HandlerView : public HandlerTable {
 protected:
  void SetUp() override {
    HandlerTable::SetUp();
    list.LoadView(rows);
  }
  THandlerRow& Row(const std::string& caption) {
    for (auto& r : rows)
      if (r.Caption == caption) return r;
    throw EError("no row " + caption);
  }
  std::vector<THandlerRow> rows;
};

TEST_F(HandlerView, LoadViewShowsOneRowPerHandlerInListOrder) {
  H("OGG").String = "hidden";
  H("WAV").Active = false;
  rows.resize(40);
  list.LoadView(rows);

  ASSERT_EQ(rows.size(), 15u);
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(rows[i].Caption, list.Item(i)->Title);
    EXPECT_EQ(rows[i].Handler, list.Item(i));
  }
  const THandlerRow& mpg = Row("MPG");
  EXPECT_EQ(mpg.Description, "MPG File");
  EXPECT_EQ(mpg.ExtensionsText, ".MP1 .MP2 .MPA .MPEG .MPG");
  EXPECT_TRUE(mpg.Checked);
  EXPECT_FALSE(Row("WAV").Checked);
  EXPECT_EQ(Row("OGG").String, "hidden");
}

TEST_F(HandlerView, CheckSwitchesTheHandler) {
  THandlerRow& mp3 = Row("MP3");
  mp3.Checked = false;
  list.Check(mp3);
  EXPECT_FALSE(list.isExtHandlerActive("MP3"));
  mp3.Checked = true;
  list.Check(mp3);
  EXPECT_TRUE(list.isExtHandlerActive("MP3"));

  THandlerRow bare{"MP3", false, "", "", "", nullptr};
  list.Check(bare);
  EXPECT_TRUE(list.isExtHandlerActive("MP3"));
}

TEST_F(HandlerView, InfoTipIsTheHandlersHelp) {
  H("FLAC").Help = "lossless";
  EXPECT_EQ(list.GetInfoTip(Row("FLAC"), "before"), "lossless");
  EXPECT_EQ(list.GetInfoTip(Row("AAC"), "before"), "");
  EXPECT_EQ(list.GetInfoTip(THandlerRow{"FLAC", true, "", "", "", nullptr}, "before"), "before");
}

TEST_F(HandlerView, EditExtReplacesTheExtensionsOnOk) {
  std::string shownCaption;
  Strings shownList;
  auto editor = [&](const std::string& caption, Strings& extensions) {
    shownCaption = caption;
    shownList = extensions;
    extensions = {".mpg", ".X", ".x", ".A", ".MPG"};
    return true;
  };
  THandlerRow& mpg = Row("MPG");
  EXPECT_TRUE(list.EditExt(mpg, editor));
  EXPECT_EQ(shownCaption, "MPG File");
  EXPECT_EQ(shownList, (Strings{".MP1", ".MP2", ".MPA", ".MPEG", ".MPG"}));
  EXPECT_EQ(H("MPG").Extensions.Items(), (Strings{".A", ".mpg", ".X"}));
  EXPECT_EQ(mpg.ExtensionsText, ".A .mpg .X");
  EXPECT_TRUE(list.isFileInHander("MPG", "a.x"));
  EXPECT_FALSE(list.isFileInHander("MPG", "a.mp2"));

  // Not editable, yet the editor does not refuse it.
  EXPECT_TRUE(list.EditExt(Row("ZIP"), editor));
  EXPECT_EQ(shownCaption, "ZIP Archive");
  EXPECT_TRUE(list.isFileInHander("ZIP", "a.a"));
}

TEST_F(HandlerView, EditExtCancelledOrWithoutHandlerChangesNothing) {
  auto cancel = [](const std::string&, Strings& extensions) {
    extensions = {".NEW"};
    return false;
  };
  THandlerRow& mp3 = Row("MP3");
  EXPECT_FALSE(list.EditExt(mp3, cancel));
  EXPECT_EQ(H("MP3").Extensions.Items(), Strings{".MP3"});
  EXPECT_EQ(mp3.ExtensionsText, ".MP3");

  bool asked = false;
  THandlerRow bare{"MP3", true, "", "", "", nullptr};
  EXPECT_FALSE(list.EditExt(bare, [&](const std::string&, Strings&) { return asked = true; }));
  EXPECT_FALSE(asked);
}

TEST_F(HandlerView, ARowOfAReplacedTableActsOnTheCurrentOne) {
  THandlerRow stale = Row("MP3");
  list.LoadDefaultHandlers(*store);
  ASSERT_NE(stale.Handler, list.Find("MP3"));

  stale.Checked = false;
  list.Check(stale);
  EXPECT_FALSE(stale.Handler->Active);
  EXPECT_FALSE(list.isExtHandlerActive("MP3"));

  list.EditExt(stale, [](const std::string&, Strings& extensions) {
    extensions = {".M3"};
    return true;
  });
  EXPECT_EQ(stale.Handler->Extensions.Items(), Strings{".M3"});
  EXPECT_TRUE(list.Find("MP3")->Extensions.Contains(".m3"));
  EXPECT_EQ(stale.ExtensionsText, ".M3");
}

}  // namespace
}  // namespace tw
