#include "tests/Fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/ByteWriter.h"

namespace tw::test {

std::string ReadFile(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void TLibraryTest::SetUp() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tarnwex-test-XXXXXX").string();
  dir = ::mkdtemp(tmpl.data());
  // The settings store of every test lives in its own folder.
  ::setenv("TARNWEX_CONFIG_DIR", (dir + "/config").c_str(), 1);
  g = std::make_unique<TGlobalData>(host, dir + "/data/");
  g->PumpInterval = std::chrono::milliseconds(0);
  host.Globals = g.get();
}

void TLibraryTest::TearDown() {
  g.reset();
  std::filesystem::remove_all(dir);
}

void LoadLibraryNow(TGlobalData& g, const std::string& file, bool merge) {
  TGlobalOperation run(g);
  struct TLists {
    TGlobalData& G;
    ~TLists() { MergeLibraryLists(G, *G.CurrentLibrary); }
  } lists{g};
  g.CurrentLibrary->LoadLibrary(file, merge, run, g.SortVolumes);
}

TFolderNode* TLibraryTest::AddVolume(const std::string& name, const std::string& serial, const std::string& source) {
  auto v = std::make_unique<TLibFolder>();
  v->Name = name;
  v->Serial = serial;
  v->SourcePath = source;
  return Lib().AddFolderRecord(nullptr, std::move(v));
}

TFolderNode* TLibraryTest::AddFolder(TFolderNode* parent, const std::string& name, int64_t entrySize) {
  auto entry = std::make_unique<TLibFolderItem>();
  entry->Name = name;
  entry->IsFolder = true;
  entry->Size = entrySize;
  Lib().AddItem(parent->Data(), std::move(entry));
  auto f = std::make_unique<TLibFolder>();
  f->Name = name;
  f->IsFolder = 1;
  return Lib().AddFolderRecord(parent, std::move(f));
}

TLibFolderItem* TLibraryTest::AddFile(TFolderNode* folder, const std::string& name, int64_t size, double date) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = name;
  item->Size = size;
  item->Date = date;
  return Lib().AddItem(folder->Data(), std::move(item));
}

}  // namespace tw::test
