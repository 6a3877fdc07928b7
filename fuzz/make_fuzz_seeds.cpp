// Writes the seed files of the fuzz targets into DIR/<target>/: for the
// library, small but complete files (volumes, nested folders, tags, archives,
// collections, categories) and one of the older format version; for the
// settings, stores as the program writes them, one with CR LF line ends and
// one cut short.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/RegUtils.h"
#include "bench/LibraryGenerator.h"
#include "core/LibClasses.h"
#include "core/LibFile.h"
#include "state/Globals.h"
#include "state/Host.h"

namespace {

using namespace tw;

void SaveGenerated(const std::string& file, int volumes, int folders, int files) {
  TNullHost host;
  TGlobalData g(host, "/nonexistent/");
  if (volumes > 0) bench::GenerateLibrary(*g.CurrentLibrary, {volumes, folders, files});
  g.CurrentLibrary->SaveLibrary(file);
}

// The older layout: file entries without the tag text.
void SaveVersion22(const std::string& file) {
  TLibFile f(file, TLibFile::TMode::Create);
  f.WriteStr(kLibraryVersion22);
  f.WriteStr("old library");
  f.WriteInt32(3);  // folder records
  f.WriteInt32(1);  // collection records
  f.WriteStr("Music");
  f.WriteInt32(1);  // categories
  auto folder = [&](const char* name, int level, int isFolder, int items, int index) {
    f.WriteStr(name);
    f.WriteDate(36526.5);
    f.WriteStr("");
    f.WriteStr("");
    f.WriteStr(level == 0 ? "Shelf A" : "");
    f.WriteInt32(level);
    f.WriteInt32(isFolder);
    f.WriteInt32(items);
    f.WriteInt32(index);
    f.WriteStr(level == 0 ? "1A2B3C4D" : "");
    f.WriteStr(level == 0 ? "/media/cdrom/" : "");
  };
  auto entry = [&](const char* name, int64_t size, bool isFolder) {
    f.WriteStr(name);
    f.WriteDate(36526.25);
    f.WriteInt64(size);
    f.WriteStr("");
    f.WriteStr("");
    f.WriteByte(isFolder);
  };
  folder("CD 1", 0, 0, 2, 0);
  entry("Album", 0, true);
  entry("readme.txt", 120, false);
  folder("Album", 1, 1, 1, 1);
  entry("01 - Song.mp3", 4000000, false);
  folder("CD 2", 0, 0, 0, 2);
  f.WriteStr("Album");
  f.WriteInt32(ckFolder);
  f.WriteInt32(0);
  f.WriteStr("");
  f.WriteStr("");
  f.WriteInt32(1);
  f.WriteStr("CD 1\\Album\\");
  f.WriteInt32(-1);
  f.WriteStr("Music");
  f.Commit();
}

// A store with the keys and kinds the program keeps.
std::string SaveSettingsStore(const std::string& file) {
  const std::string r = kRegRoot;
  TRegStore s(file);
  TRegStore::TBatch batch(s);
  s.WriteRegValue(r, "Version", "2.0 (Build: 50)");
  s.WriteRegValue(r + "Defaults", "Sort", true);
  s.WriteRegValue(r + "Defaults", "Sizes", int32_t{1});
  s.WriteRegValue(r + "Defaults", "Last Library", "/home/user/cds.twl");
  s.WriteRegValue(r + "Defaults", "New Line", ";");
  s.WriteRegValue(r + "Confirm", "Confirm Delete file", false);
  s.WriteRegValue(r + "View", "View", int32_t{2});
  s.WritePlacement(r + "Pos\\frmMain", TPlacement{0, 1, -1, -1, -1, -1, 10, 20, 810, 620});
  s.WritePlacement(r + "Pos\\frmMain\\LV", TPlacement{0, 1, 0, 0, 0, 0, 0, 0, 400, 300});
  s.WriteRegValue(r + "Pos\\frmMain\\LV\\0", "Width", int32_t{200});
  s.WriteRegValue(r + "Recent\\0", "Filename", "/media/disk/Musik \xC3\xBC" "ber.twl");
  s.WriteRegValue(r + "Ext\\0", "Extension", ".mp3");
  s.WriteRegValue(r + "frmExport\\Fields\\0", "Checked", true);
  s.WriteRegValue(r + "frmMain", "LVSortIndex", int32_t{-1});
  return s.Serialize();
}

// Escapes in names and texts, values at the root, an empty key.
void SaveSettingsEscapes(const std::string& file) {
  TRegStore s(file);
  TRegStore::TBatch batch(s);
  s.WriteRegValue("", "at root", int32_t{7});
  s.WriteRegValue("\\Esc", "quote\"d \\ back", "line\r\nnext \"q\" \\ \xFF");
  s.WriteRegValue("\\Esc", "", "");
  s.WriteRegValue("\\Esc\\Empty\\Gone", "x", int32_t{1});
  s.DeleteRegKey("\\Esc\\Empty\\Gone");
}

void WriteText(const std::string& file, const std::string& text) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

void SaveSettingsSeeds(const std::string& dir) {
  const std::string text = SaveSettingsStore(dir + "typical.reg");
  SaveSettingsEscapes(dir + "escapes.reg");
  std::string crlf;
  for (char c : text) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
  WriteText(dir + "crlf.reg", crlf);
  WriteText(dir + "cut.reg", text.substr(0, text.size() / 2));
}

// Import files start with the two bytes that choose the columns and the
// separator (see fuzz_import).
void SaveImportSeeds(const std::string& dir) {
  WriteText(dir + "comma.txt", std::string("\x0f\x00", 2) +
                                   "\"CD 1\",\"1234ABCD\",\"\\Music\\Rock\\\",\"a,b.txt\"\r\n"
                                   "CD2,,\\,x.txt\r\n\"CD 1\",,\\Music\\,A.TXT\r\n");
  WriteText(dir + "tab.txt", std::string("\x35\x01", 2) +
                                 "CD1\t\\Docs\\\tx.doc\t1 234 567\t05/20/98 23:36:03\n"
                                 "CD1\t\\Docs\\Old\\\ty.doc\t12\t05/20/98\nCD0\t\tz\t3000000000\t\n");
}

void SaveSearchSeeds(const std::string& dir) {
  WriteText(dir + "search.tws",
            "[Search]\r\nFile=abc\r\nType=mp3\r\nCat=Music\r\nComments=live\r\nDate1use=1\r\n"
            "Date1=2003-04-05\r\nDate2use=1\r\nDate2=05/20/98\r\nSizeUse=1\r\nSizeSign=1\r\nSizeRnd=2\r\n"
            "SizeVal=10\r\nLocation=Shelf\r\nAnywhere=rock\r\nCol Caption=c\r\nCol URL=u\r\n"
            "Col Comments=m\r\nOption Match Case=1\r\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_fuzz_seeds DIR\n");
    return 2;
  }
  std::string dir = std::string(argv[1]) + "/fuzz_library/";
  try {
    std::filesystem::create_directories(dir);
    SaveGenerated(dir + "empty.twl", 0, 0, 0);
    SaveGenerated(dir + "one-volume.twl", 1, 3, 12);
    SaveGenerated(dir + "nested.twl", 2, 10, 30);
    SaveGenerated(dir + "wide.twl", 5, 25, 60);
    SaveVersion22(dir + "version22.twl");
    const std::string settings = std::string(argv[1]) + "/fuzz_settings/";
    std::filesystem::create_directories(settings);
    SaveSettingsSeeds(settings);
    const std::string import = std::string(argv[1]) + "/fuzz_import/";
    std::filesystem::create_directories(import);
    SaveImportSeeds(import);
    const std::string search = std::string(argv[1]) + "/fuzz_search/";
    std::filesystem::create_directories(search);
    SaveSearchSeeds(search);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
    return 1;
  }
  return 0;
}
