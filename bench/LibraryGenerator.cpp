#include "bench/LibraryGenerator.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/Operation.h"
#include "bench/BenchSupport.h"
#include "core/LibClasses.h"
#include "core/LibFile.h"
#include "state/Globals.h"

namespace tw::bench {
namespace {

// splitmix64: the same sequence on every platform, unlike std distributions.
class TRandom {
 public:
  explicit TRandom(uint64_t seed) : s_(seed) {}
  uint64_t Next() {
    uint64_t z = (s_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  bool Chance(double p) { return Unit() < p; }
  template <class T, size_t N>
  const T& Pick(const T (&list)[N]) {
    return list[Below(static_cast<int>(N))];
  }
  // Sizes spread evenly over orders of magnitude, as real file sizes are.
  int64_t LogSize(double lo, double hi) { return static_cast<int64_t>(std::exp(std::log(lo) + Unit() * std::log(hi / lo))); }

 private:
  uint64_t s_;
};

// In the order of their volume titles, so that volumes are made in the order
// a load sorts them into and a loaded library saves to the same bytes.
enum TTheme { thBackup, thDocuments, thMusic, thPhotos, thSoftware, kThemes };

const char* const kWords[] = {"Summer", "Winter", "River",   "Garden", "Night",   "Light",  "Blue",    "Old",
                              "Street", "House",  "Road",    "Island", "Mountain", "City",  "Morning", "Evening",
                              "Dream",  "Fire",   "Stone",   "Water",  "Song",    "Dance",  "Heart",   "Time",
                              "Home",   "Letter", "Story",   "Journey", "Shadow", "Silver", "Golden",  "Green",
                              "Little", "Last",   "First",   "Long",   "Quiet",   "Wild",   "Open",    "Harbour"};
const char* const kFirstNames[] = {"Anna", "Marco", "Ella", "Jonas", "Sofia", "Lukas", "Maya", "Tomas", "Clara", "Felix",
                                   "Ines", "Oskar", "Lena", "Pavel", "Nora",  "Emil",  "Vera", "Hugo",  "Alba",  "Ravi"};
const char* const kLastNames[] = {"Berg",  "Lindqvist", "Moreau", "Novak", "Rossi",  "Keller", "Dubois",
                                  "Hansen", "Kowalski", "Sato",   "Okafor", "Varga", "Brennan", "Haddad"};
const char* const kPrograms[] = {"Inkwell", "Photon", "Archivist", "Sundial", "Keystone", "Tideway",
                                 "Compass", "Lumen",  "Harbor",    "Quill",   "Meridian", "Driftwood"};
const char* const kSoftwareDirs[] = {"bin",     "lib",    "share", "doc",   "plugins", "locale", "x64",     "x86",
                                     "data",    "help",   "images", "config", "drivers", "redist", "tools", "samples"};
const char* const kDocumentDirs[] = {"Invoices", "Letters", "Taxes",   "Projects", "Reports", "Contracts", "Receipts",
                                     "Insurance", "School", "Work",    "Health",   "Bank",    "Manuals",   "Recipes",
                                     "Travel",   "Car",     "House",   "Family"};
const char* const kPhotoDirs[] = {"Raw", "Edited", "Selected", "Panorama", "Phone", "Prints", "Family", "Friends"};
const char* const kMusicDirs[] = {"CD1", "CD2", "Scans", "Bonus", "Artwork", "Live", "Demos", "Remixes"};
const char* const kBackupDirs[] = {"Home", "Projects", "Mail", "Desktop", "Documents", "Pictures", "Music", "Settings"};
const char* const kGenres[] = {"Rock", "Jazz", "Classical", "Folk", "Electronic", "Pop", "Blues", "Ambient"};
const char* const kCategories[] = {"Archive", "Backup", "Documents", "Important", "Music", "Photos", "Software", "To burn"};
const char* const kThemeCategory[] = {"Backup", "Documents", "Music", "Photos", "Software"};
const char* const kThemeTitle[] = {"Backup Disk", "Documents", "Music", "Photos", "Software DVD"};
const char* const kLocations[] = {"Shelf A", "Shelf B", "Drawer 1", "Office", "Attic box 3", "Safe"};
const char* const kComments[] = {"Check this", "Original from the old camera", "Scanned 2012\r\nsecond copy on shelf B",
                                 "Duplicate?", "Needs a new rip", "Keep"};

struct TFileKind {
  const char* Ext;
  double MinSize, MaxSize;
  int Weight;
};

const TFileKind kPhotoFiles[] = {{"JPG", 1.5e6, 9e6, 70}, {"NEF", 12e6, 30e6, 15}, {"mp4", 5e6, 4e8, 5},
                                 {"png", 5e4, 3e6, 8},     {"xmp", 3e3, 2e4, 2}};
const TFileKind kMusicFiles[] = {{"mp3", 2.5e6, 14e6, 55}, {"flac", 15e6, 60e6, 20}, {"ogg", 3e6, 9e6, 8},
                                 {"jpg", 3e4, 6e5, 8},     {"m3u", 200, 4e3, 3},      {"cue", 500, 3e3, 3},
                                 {"log", 2e3, 2e4, 3}};
const TFileKind kSoftwareFiles[] = {{"dll", 2e4, 15e6, 25}, {"exe", 4e4, 30e6, 8}, {"so", 1e4, 8e6, 10},
                                    {"txt", 300, 6e4, 8},   {"xml", 500, 2e5, 8},   {"png", 400, 6e4, 12},
                                    {"mo", 1e4, 3e5, 8},    {"html", 2e3, 1e5, 8},  {"py", 500, 8e4, 6},
                                    {"ini", 100, 8e3, 7}};
const TFileKind kDocumentFiles[] = {{"pdf", 3e4, 8e6, 35}, {"docx", 1.2e4, 2e6, 20}, {"xlsx", 8e3, 3e6, 12},
                                    {"odt", 1e4, 1e6, 8},  {"txt", 200, 5e4, 8},     {"jpg", 2e5, 3e6, 10},
                                    {"eml", 2e3, 2e5, 5},  {"csv", 500, 5e5, 2}};

bool IsAudio(const std::string& ext) { return ext == "mp3" || ext == "flac" || ext == "ogg"; }

std::string Printf(const char* format, auto... values) {
  char buf[256];
  int n = std::snprintf(buf, sizeof buf, format, values...);
  return std::string(buf, static_cast<size_t>(n));
}

class TGenerator {
 public:
  TGenerator(TLibObj& lib, const TLibraryShape& shape) : lib_(lib), shape_(shape), rnd_(20240611) {}

  void Run() {
    for (const char* c : kCategories) lib_.Categories.Add(c);
    lib_.Category = "Benchmark";
    lib_.Comments = GeneratorStamp(shape_);
    for (int v = 0; v < shape_.Volumes; ++v) {
      int folders = shape_.Folders / shape_.Volumes + (v < shape_.Folders % shape_.Volumes ? 1 : 0);
      MakeVolume(v, folders);
    }
    FillFiles();
    MakeCollections();
  }

 private:
  struct TContainer {
    TLibFolder* Folder;
    TTheme Theme;
    int Depth;
  };

  void MakeVolume(int index, int folders) {
    auto theme = static_cast<TTheme>(index * kThemes / shape_.Volumes);
    int first = (static_cast<int>(theme) * shape_.Volumes + kThemes - 1) / kThemes;  // first index of this theme
    auto volume = std::make_unique<TLibFolder>();
    volume->Name = Printf("%s %02d", kThemeTitle[theme], index - first + 1);
    volume->Serial = Printf("%08X", static_cast<unsigned>(rnd_.Next()));
    volume->Date = Day(38000 + index * 300 + rnd_.Below(200));
    volume->Category = kThemeCategory[theme];
    volume->Location = rnd_.Pick(kLocations);
    if (rnd_.Chance(0.3)) volume->Comments = rnd_.Pick(kComments);
    volume->SourcePath = Printf("/media/%s/%s/", theme == thBackup ? "backup" : "cdrom", volume->Serial.c_str());
    TLibFolder* v = lib_.AddFolderRecord(nullptr, std::move(volume))->Data();
    containers_.push_back({v, theme, 0});

    // A random recursive tree: each folder goes below a folder made earlier,
    // which gives wide top levels and a few deep branches.
    std::vector<TContainer> parents;
    int top = std::min(folders, 4 + rnd_.Below(8));
    for (int k = 0; k < folders; ++k) {
      TContainer parent = k < top ? TContainer{v, theme, 0} : parents[rnd_.Below(static_cast<int>(parents.size()))];
      TContainer made = MakeFolder(parent);
      containers_.push_back(made);
      if (made.Depth < 6 && !made.Folder->IsArchiveFolder()) parents.push_back(made);
    }
  }

  TContainer MakeFolder(const TContainer& parent) {
    int depth = parent.Depth + 1;
    bool archive = (parent.Theme == thSoftware || parent.Theme == thBackup) && depth >= 2 && rnd_.Chance(0.04);
    std::string name = archive ? Printf("%s-%d.%d.zip", rnd_.Pick(kPrograms), 1 + rnd_.Below(9), rnd_.Below(20))
                               : FolderName(parent.Theme, depth);
    name = UniqueName(parent.Folder, name);

    TDateTime date = Day(parent.Folder->Date - rnd_.Below(700));
    auto entry = std::make_unique<TLibFolderItem>();
    entry->Name = name;
    entry->Date = date;
    entry->IsFolder = true;
    if (archive) entry->Size = rnd_.LogSize(1e5, 5e7);
    if (rnd_.Chance(0.01)) entry->Category = rnd_.Pick(kCategories);
    lib_.AddItem(parent.Folder, std::move(entry));

    auto folder = std::make_unique<TLibFolder>();
    folder->Name = name;
    folder->IsFolder = 1;
    folder->Date = date;
    if (rnd_.Chance(0.03)) folder->Category = rnd_.Pick(kCategories);
    if (rnd_.Chance(0.01)) folder->Comments = rnd_.Pick(kComments);
    TLibFolder* f = lib_.AddFolderRecord(parent.Folder->Node, std::move(folder))->Data();
    return {f, parent.Theme, depth};
  }

  std::string FolderName(TTheme theme, int depth) {
    if (theme == thBackup) theme = depth == 1 ? kThemes : OtherTheme();
    switch (theme) {
      case thPhotos:
        if (depth == 1) return std::to_string(2000 + rnd_.Below(24));
        if (depth == 2) return Printf("%04d-%02d %s %s", 2000 + rnd_.Below(24), 1 + rnd_.Below(12), rnd_.Pick(kWords), rnd_.Pick(kWords));
        return rnd_.Pick(kPhotoDirs);
      case thMusic:
        if (depth == 1) return rnd_.Chance(0.3) ? Printf("The %s %ss", rnd_.Pick(kWords), rnd_.Pick(kWords)) : Artist();
        if (depth == 2) return Printf("%s %s (%d)", rnd_.Pick(kWords), rnd_.Pick(kWords), 1960 + rnd_.Below(64));
        return rnd_.Pick(kMusicDirs);
      case thSoftware:
        if (depth == 1) return Printf("%s %d.%d", rnd_.Pick(kPrograms), 1 + rnd_.Below(12), rnd_.Below(10));
        return rnd_.Pick(kSoftwareDirs);
      case thDocuments:
        if (depth == 2 && rnd_.Chance(0.5)) return std::to_string(2000 + rnd_.Below(24));
        return rnd_.Pick(kDocumentDirs);
      default:
        return rnd_.Pick(kBackupDirs);
    }
  }

  // A backup disk holds a bit of everything.
  TTheme OtherTheme() { return static_cast<TTheme>(1 + rnd_.Below(kThemes - 1)); }

  std::string Artist() { return std::string(rnd_.Pick(kFirstNames)) + " " + rnd_.Pick(kLastNames); }

  // Adds " 2", " 3"... before the extension until no entry of the folder has the name.
  static std::string UniqueName(TLibFolder* folder, const std::string& name) {
    if (!folder->Items.FindExact(name)) return name;
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0) dot = name.size();
    for (int n = 2;; ++n) {
      std::string candidate = name.substr(0, dot) + " " + std::to_string(n) + name.substr(dot);
      if (!folder->Items.FindExact(candidate)) return candidate;
    }
  }

  static TDateTime Day(double day) { return day; }
  TDateTime Moment(TDateTime folderDate) {
    double t = folderDate - rnd_.Unit() * 1500.0;
    return std::floor(t * 86400.0) / 86400.0;  // whole seconds, as file systems give them
  }

  // Spreads exactly shape_.Files entries over every folder and volume.
  void FillFiles() {
    std::vector<int> counts(containers_.size());
    int64_t total = 0;
    int mean = std::max(1, static_cast<int>(shape_.Files / static_cast<int64_t>(containers_.size())));
    for (size_t i = 0; i < counts.size(); ++i) {
      counts[i] = containers_[i].Depth == 0 ? rnd_.Below(6) : rnd_.Below(2 * mean + 1);
      total += counts[i];
    }
    while (total != shape_.Files) {
      int& c = counts[static_cast<size_t>(rnd_.Below(static_cast<int>(counts.size())))];
      if (total < shape_.Files) ++c, ++total;
      else if (c > 0) --c, --total;
    }
    for (size_t i = 0; i < counts.size(); ++i) {
      TContainer& c = containers_[i];
      TTheme theme = c.Theme == thBackup ? OtherTheme() : c.Theme;
      for (int n = 0; n < counts[i]; ++n) AddFile(c, theme, n + 1);
    }
  }

  void AddFile(const TContainer& c, TTheme theme, int seq) {
    const TFileKind& kind = PickKind(theme);
    std::string ext = kind.Ext;
    std::string stem;
    switch (theme) {
      case thPhotos:
        stem = ext == "png" ? Printf("Screenshot %04d", seq) : Printf(ext == "NEF" ? "DSC_%04d" : "IMG_%04d", 1000 + seq * 3);
        break;
      case thMusic:
        stem = IsAudio(ext) ? Printf("%02d - %s %s", seq, rnd_.Pick(kWords), rnd_.Pick(kWords))
                            : (ext == "jpg" ? (rnd_.Chance(0.5) ? "cover" : "folder") : "album");
        break;
      case thSoftware:
        stem = ext == "txt" ? (rnd_.Chance(0.5) ? "readme" : "license")
                            : Printf("%s%s%d", rnd_.Pick(kPrograms), rnd_.Pick(kWords), rnd_.Below(100));
        break;
      default:
        stem = Printf("%s %s %d", rnd_.Pick(kWords), rnd_.Pick(kWords), 2000 + rnd_.Below(24));
        break;
    }
    auto item = std::make_unique<TLibFolderItem>();
    item->Name = UniqueName(c.Folder, stem + "." + ext);
    item->Size = rnd_.LogSize(kind.MinSize, kind.MaxSize);
    item->Date = Moment(c.Folder->Date);
    if (rnd_.Chance(0.005)) item->Category = rnd_.Pick(kCategories);
    if (rnd_.Chance(0.002)) item->Comments = rnd_.Pick(kComments);
    if (IsAudio(ext) && rnd_.Chance(0.8)) AddAudioTags(*item, c.Folder, stem, ext);
    lib_.AddItem(c.Folder, std::move(item));
  }

  const TFileKind& PickKind(TTheme theme) {
    auto pick = [&](const auto& kinds) -> const TFileKind& {
      int total = 0;
      for (const auto& k : kinds) total += k.Weight;
      int r = rnd_.Below(total);
      for (const auto& k : kinds)
        if ((r -= k.Weight) < 0) return k;
      return kinds[0];
    };
    switch (theme) {
      case thPhotos: return pick(kPhotoFiles);
      case thMusic: return pick(kMusicFiles);
      case thSoftware: return pick(kSoftwareFiles);
      default: return pick(kDocumentFiles);
    }
  }

  void AddAudioTags(TLibFolderItem& item, const TLibFolder* folder, const std::string& stem, const std::string& ext) {
    // Artist and album come from the first two folder levels below the volume.
    std::vector<const TLibFolder*> chain;
    for (const TLibFolder* f = folder; f && f->Parent; f = f->Parent) chain.insert(chain.begin(), f);
    TTagInfo& tags = item.TagInfo;
    if (!chain.empty()) tags.AddTag("Artist", chain[0]->Name);
    if (chain.size() > 1) tags.AddTag("Album", chain[1]->Name.substr(0, chain[1]->Name.find(" (")));
    tags.AddTag("Title", stem.size() > 5 ? stem.substr(5) : stem);
    tags.AddTag("Track", static_cast<int64_t>(std::atoi(stem.c_str())));
    tags.AddTag("Year", static_cast<int64_t>(1960 + rnd_.Below(64)));
    tags.AddTag("Genre", std::string(rnd_.Pick(kGenres)));
    static const int64_t kBitrates[] = {128, 160, 192, 256, 320};
    tags.AddTag("Bitrate", ext == "flac" ? 700 + rnd_.Below(400) : kBitrates[rnd_.Below(5)]);
    tags.AddTag("Duration", static_cast<int64_t>(90 + rnd_.Below(420)));
  }

  void MakeCollections() {
    TColNode* volumes = Memo(nullptr, "Volumes", "Every disc, with where it is kept", "");
    for (int i = 0; i < lib_.Folders.TopCount(); ++i) Link(volumes, lib_.Folders.Top(i)->Data(), nullptr);

    TColNode* favourites = Memo(nullptr, "Favourites", "", "");
    for (int i = 0; i < 8 && containers_.size() > 1; ++i) {
      const TContainer& c = containers_[1 + static_cast<size_t>(rnd_.Below(static_cast<int>(containers_.size()) - 1))];
      Link(favourites, c.Folder, nullptr);
    }
    for (int i = 0; i < 8; ++i) {
      const TContainer& c = containers_[static_cast<size_t>(rnd_.Below(static_cast<int>(containers_.size())))];
      for (const auto& item : c.Folder->Items)
        if (!item->IsFolder && !item->ColNode) {
          Link(favourites, c.Folder, item.get());
          break;
        }
    }
    TColNode* notes = Memo(nullptr, "Notes", "", "");
    Memo(notes, "To buy", "Blank DVDs\r\nA second backup disk", "");
    Memo(notes, "Shop", "", "https://example.org/shop");
    Memo(notes, "Ideas", "Catalogue the attic boxes", "");
  }

  TColNode* Memo(TColNode* parent, const std::string& caption, const std::string& memo, const std::string& url) {
    auto item = std::make_unique<TLibColItem>(caption);
    item->Memo = memo;
    item->Url = url;
    TLibColItem* c = item.get();
    TColNode* node = lib_.AddCollectionRecord(parent, std::move(item));
    c->AttachNode(node);
    return node;
  }

  void Link(TColNode* parent, TLibFolder* folder, TLibFolderItem* item) {
    auto entry = std::make_unique<TLibColItem>(std::string());
    TLibColItem* c = entry.get();
    TColNode* node = lib_.AddCollectionRecord(parent, std::move(entry));
    c->LinkTo(folder, item, node);
  }

  TLibObj& lib_;
  TLibraryShape shape_;
  TRandom rnd_;
  std::vector<TContainer> containers_;
};

}  // namespace

std::string LibraryFileName(const TLibraryShape& shape) {
  TLibraryShape standard;
  bool isStandard = shape.Volumes == standard.Volumes && shape.Folders == standard.Folders && shape.Files == standard.Files;
  return isStandard ? "lib1m.twl" : "lib" + std::to_string(shape.Files) + ".twl";
}

std::string GeneratorStamp(const TLibraryShape& shape) {
  return Printf("Benchmark data set 2: %d volumes, %d folders, %d files", shape.Volumes, shape.Folders, shape.Files);
}

void GenerateLibrary(TLibObj& lib, const TLibraryShape& shape) { TGenerator(lib, shape).Run(); }

// Whether `file` was made by this generator for this shape.
static bool IsCurrent(const std::string& file, const TLibraryShape& shape) {
  if (!FileExists(file)) return false;
  try {
    TLibFile f(file, TLibFile::TMode::Read);
    TLibObj header("");
    f.ReadHeader(header);
    return header.Comments == GeneratorStamp(shape);
  } catch (const std::exception&) {
    return false;
  }
}

bool EnsureLibrary(TGlobalData& g, const std::string& file, const TLibraryShape& shape) {
  if (IsCurrent(file, shape)) return false;
  std::printf("generating %s ...\n", file.c_str());
  std::fflush(stdout);
  double start = Now();
  GenerateLibrary(*g.CurrentLibrary, shape);
  double made = Now();
  TQuietOperation quiet;
  g.CurrentLibrary->SaveLibrary(file, quiet);
  std::printf("generated in %.1f s, saved in %.1f s\n", made - start, Now() - made);
  return true;
}

}  // namespace tw::bench
