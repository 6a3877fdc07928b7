#include "exchange/Import.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>
#include <unordered_map>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/FileInput.h"
#include "base/FileUtils.h"
#include "base/Messages.h"
#include "base/Operation.h"
#include "base/TextUtils.h"
#include "core/LibClasses.h"
#include "core/LibFile.h"
#include "state/Globals.h"

namespace tw {
namespace {

const char* const kFieldNames[] = {"Volume", "VolumeSerialNo", "Path",     "Name",    "Size",
                                   "Date",   "Category",       "Comments", "Location"};

bool IsRequiredField(std::string_view name) { return name == "Volume" || name == "Path" || name == "Name"; }

// The whole file; errors name the file as the log shows it. Only a regular
// file is read, opened without blocking: a FIFO named like a text waits for
// nobody.
std::string ReadImportFile(const std::string& file) {
  const TFileInput in(file);
  std::string text;
  if (ReadWholeFile(in, text)) return text;
  if (in.ErrorCode() == ENOENT) throw EError("errFNF", {file});
  throw EError("errReadFolder", {file, in.ErrorText()});
}

// The parts of a library path between its backslashes; empty parts (a
// leading "\" or a doubled one) name no folder.
std::vector<std::string> PathParts(std::string_view path) {
  TStringParser parser('\\', "");
  parser.Parse(path);
  std::vector<std::string> parts;
  for (const std::string& p : parser.Tokens())
    if (!p.empty()) parts.push_back(p);
  return parts;
}

// A name that cannot become one component of a source path.
void CheckComponent(const std::string& name) {
  if (name.empty() || name.find('/') != std::string::npos) throw EError("errImpName", {"\"" + name + "\""});
}

// A text the library file cannot hold whole: a NUL would end it there, and
// no stored text is longer than 65535 bytes.
void CheckStorable(const char* field, std::string_view text) {
  if (text.find('\0') != std::string_view::npos) throw EError("errImpNul", {field});
  if (text.size() > static_cast<size_t>(kMaxValueLength))
    throw EError("errImpLong", {field, std::to_string(text.size())});
}

// A line's key as the log shows it: a NUL byte as "\0".
std::string ShownKey(const std::string& key) {
  std::string shown;
  for (char c : key) shown += c == '\0' ? std::string("\\0") : std::string(1, c);
  return shown;
}

bool IsBlankLine(std::string_view line) {
  return std::all_of(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t'; });
}

}  // namespace

std::vector<TImportField> TImportOptions::DefaultImportFields() {
  std::vector<TImportField> fields;
  for (const char* name : kFieldNames) fields.push_back({name, IsRequiredField(name)});
  return fields;
}

char ImportDelimiter(std::string_view separator) {
  if (separator == "Comma") return ',';
  if (separator == "Tab") return '\t';
  if (separator == "New Line") return '\r';
  return separator.empty() ? '\0' : separator.front();
}

int64_t ParseImportSize(std::string_view text) {
  std::string digits;
  for (char c : text)
    if (c != ' ' && c != '\t') digits += c;
  const char* first = digits.data();
  const char* last = first + digits.size();
  if (first != last && *first == '+') ++first;
  if (first == last || *first == '+') return 0;
  int64_t value = 0;
  auto [ptr, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && ptr == last ? value : 0;
}

TDateTime ParseImportDate(std::string_view text) {
  const std::string t = Trim(text);
  if (t.empty()) return 0;
  std::tm tm{};
  // ISO dates first: what an export in a locale without centuries writes.
  bool read = false;
  for (const char* pattern : {"%Y-%m-%d %H:%M:%S", "%Y-%m-%dT%H:%M:%S", "%Y-%m-%d", "%x %X", "%x"})
    if ((read = ParseUserDate(t, pattern, tm))) break;
  if (!read) return 0;
  TDateTime result = 0;
  if (!TryEncodeDateTime(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, 0, result))
    return 0;
  return result;
}

// ------------------------------------------------------------ TTextImport

TTextImport::TTextImport(TImportOptions options)
    : options_(std::move(options)), delimiter_(ImportDelimiter(options_.Separator)) {
  for (const TImportField& f : options_.Fields)
    if ((f.Checked || IsRequiredField(f.Name)) &&
        std::find(checked_.begin(), checked_.end(), f.Name) == checked_.end())
      checked_.push_back(f.Name);
  columns_ = {ColumnOf("Volume"), ColumnOf("VolumeSerialNo"), ColumnOf("Path"),     ColumnOf("Name"),
              ColumnOf("Size"),   ColumnOf("Date"),           ColumnOf("Category"), ColumnOf("Comments"),
              ColumnOf("Location")};
}

int TTextImport::ColumnOf(std::string_view field) const {
  auto it = std::find(checked_.begin(), checked_.end(), field);
  return it == checked_.end() ? 0 : static_cast<int>(it - checked_.begin()) + 1;
}

TImportObj TTextImport::ParseLine(std::string_view line) const {
  TStringParser parser(delimiter_, options_.TextQualifier);
  return ParseLine(parser, line);
}

TImportObj TTextImport::ParseLine(TStringParser& parser, std::string_view line) const {
  parser.Parse(line);
  const std::vector<std::string>& tokens = parser.Tokens();
  auto token = [&](int column) {
    return column >= 1 && column <= static_cast<int>(tokens.size()) ? tokens[column - 1] : std::string();
  };
  TImportObj obj;
  obj.Volume = token(columns_.Volume);
  obj.Serial = token(columns_.Serial);
  obj.Path = token(columns_.Path);
  // The export writes library paths, which start with the volume's name:
  // that start names the volume, not a folder below it.
  if (!obj.Volume.empty() && obj.Path.size() > obj.Volume.size() &&
      obj.Path.compare(0, obj.Volume.size(), obj.Volume) == 0 && obj.Path[obj.Volume.size()] == '\\')
    obj.Path.erase(0, obj.Volume.size());
  obj.Name = token(columns_.Name);
  obj.Category = token(columns_.Category);
  obj.Comments = token(columns_.Comments);
  obj.Location = token(columns_.Location);
  if (std::string size = token(columns_.Size); !size.empty()) obj.Size = ParseImportSize(size);
  if (std::string date = token(columns_.Date); !date.empty()) obj.Date = ParseImportDate(date);
  obj.FolderKey = JoinPath(obj.Volume, obj.Path, "");
  obj.FullKey = JoinPath(obj.Volume, obj.Path, obj.Name);
  return obj;
}

namespace {

// The keys seen so far, as indexes of the objects that hold them: an open
// hash table that copies no key.
class TKeyIndex {
 public:
  explicit TKeyIndex(size_t expected) {
    size_t size = 16;
    while (size < expected * 2) size *= 2;
    slots_.assign(size, kEmpty);
  }
  // True when no earlier object has the key; the object at `index` then
  // holds it from now on.
  bool Insert(const std::vector<TImportObj>& objects, const std::string& key, uint32_t index) {
    const size_t mask = slots_.size() - 1;
    for (size_t i = std::hash<std::string_view>()(key) & mask;; i = (i + 1) & mask) {
      if (slots_[i] == kEmpty) {
        slots_[i] = index;
        return true;
      }
      if (objects[slots_[i]].FullKey == key) return false;
    }
  }

 private:
  static constexpr uint32_t kEmpty = UINT32_MAX;
  std::vector<uint32_t> slots_;
};

}  // namespace

// Sorted by volume, then by key, folded first and raw bytes to break ties:
// each volume text forms one run even when another differs only in case.
// Only byte-equal keys are duplicates, since names that differ in case are
// two files here; the first line of a key wins. A file of a million lines
// is sorted by small records: each volume's rank and the folded key in one
// shared buffer.
std::vector<TImportObj> TTextImport::ReadObjects(const std::string& text, TOperation& op) const {
  const std::vector<std::string> lines = SplitLines(text);
  std::vector<TImportObj> objects;
  objects.reserve(lines.size());
  {
    TStringParser parser(delimiter_, options_.TextQualifier);
    TKeyIndex keys(lines.size());
    bool columnsTold = false;
    for (size_t n = 0; n < lines.size(); ++n) {
      const std::string& line = lines[n];
      if (IsBlankLine(line)) continue;
      TImportObj obj = ParseLine(parser, line);
      // More columns than fields: the field list is likely not the file's.
      if (!columnsTold && parser.Tokens().size() > checked_.size()) {
        columnsTold = true;
        op.Log(op.Text("msgsImpColumns", {std::to_string(n + 1), std::to_string(parser.Tokens().size()),
                                          std::to_string(checked_.size())}));
      }
      if (keys.Insert(objects, obj.FullKey, static_cast<uint32_t>(objects.size()))) objects.push_back(std::move(obj));
    }
  }

  // Volume ranks in the order of CompareNames.
  std::unordered_map<std::string_view, uint32_t> volumeRank;
  for (const TImportObj& obj : objects) volumeRank.emplace(obj.Volume, 0);
  std::vector<std::string_view> volumes;
  for (const auto& [volume, rank] : volumeRank) volumes.push_back(volume);
  std::sort(volumes.begin(), volumes.end(),
            [](std::string_view a, std::string_view b) { return CompareNames(a, b) < 0; });
  for (size_t i = 0; i < volumes.size(); ++i) volumeRank[volumes[i]] = static_cast<uint32_t>(i);

  struct TOrder {
    uint64_t Offset;
    uint32_t Length;
    uint32_t Volume;
    uint32_t Index;
  };
  std::string folded;
  std::vector<TOrder> order;
  order.reserve(objects.size());
  for (size_t i = 0; i < objects.size(); ++i) {
    const size_t offset = folded.size();
    AppendFolded(folded, objects[i].FullKey);
    order.push_back({offset, static_cast<uint32_t>(folded.size() - offset), volumeRank[objects[i].Volume],
                     static_cast<uint32_t>(i)});
  }
  // No two records are equal: byte-equal keys were dropped above.
  std::sort(order.begin(), order.end(), [&](const TOrder& a, const TOrder& b) {
    if (a.Volume != b.Volume) return a.Volume < b.Volume;
    const std::string_view ka(folded.data() + a.Offset, a.Length), kb(folded.data() + b.Offset, b.Length);
    if (int c = ka.compare(kb)) return c < 0;
    return objects[a.Index].FullKey < objects[b.Index].FullKey;
  });
  std::vector<TImportObj> sorted;
  sorted.reserve(objects.size());
  for (const TOrder& o : order) sorted.push_back(std::move(objects[o.Index]));
  return sorted;
}

// Import volumes get a relative source path made of their name, and their
// folders the names below it joined with "/", as a scan records them: the
// parent of each folder is then found by cutting its source path.
void TTextImport::StartVolume(TLibObj& lib, const TImportObj& obj) {
  const std::string source = obj.Volume.empty() ? std::string() : AddSlash(obj.Volume);
  lib.NewVolume(source, obj.Volume, obj.Serial);
  runVolume_ = lib.CurVolumeNode;
  lib.BeginPathIndex(runVolume_);
  inRun_ = true;
  prevVolume_ = obj.Volume;
  prevPath_.clear();
  folderSource_.clear();
  haveChain_ = false;
}

void TTextImport::BuildFolderChain(TLibObj& lib, const TImportObj& obj) {
  const std::vector<std::string> parts = PathParts(obj.Path);
  const TDateTime today = std::floor(NowDateTime());
  std::string running = runVolume_->Data()->SourcePath;
  lib.AddFolderPath(running, today);
  for (const std::string& part : parts) {
    // An entry of the name (a folder line of its own, or an earlier chain)
    // keeps its size and date; only a missing one is made with this line's date.
    if (lib.CurFolderNode && !lib.CurFolderNode->Data()->Items.FindExact(part))
      lib.AddEntry(running, part, 0, obj.Date, false, false);
    running += part + "/";
    lib.AddFolderPath(running, today);
  }
  if (!lib.CurFolderNode || lib.CurFolderNode->Data()->GetSourcePath() != running) throw EError(obj.FullKey);
  folderSource_ = running;
  prevPath_ = obj.Path;
  haveChain_ = true;
}

void TTextImport::ApplyColumns(TLibObj& lib, const TImportObj& obj, TImportResult& result) {
  TLibFolderItem* item = lib.CurFolderNode->Data()->Items.FindExact(obj.Name);
  if (!item) throw EError(obj.FullKey);
  bool changed = false;
  if (ColumnOf("Category") > 0 && !obj.Category.empty()) {
    item->Category = obj.Category;
    changed = true;
    if (lib.Categories.IndexOf(obj.Category) < 0) result.NewCategories.push_back(obj.Category);
    AddUnique(lib.Categories, nullptr, obj.Category);
  }
  if (ColumnOf("Comments") > 0 && !obj.Comments.empty()) {
    item->Comments = obj.Comments;
    changed = true;
  }
  if (changed) lib.ReportItemChanged(item);
  TLibFolder* volume = runVolume_->Data();
  if (ColumnOf("Location") > 0 && !obj.Location.empty() && volume->Location.empty()) {
    volume->Location = obj.Location;
    lib.ReportFolderChanged(runVolume_);
    if (lib.Locations.IndexOf(obj.Location) < 0) result.NewLocations.push_back(obj.Location);
    AddUnique(lib.Locations, nullptr, obj.Location);
  }
}

void TTextImport::RecordObject(TLibObj& lib, const TImportObj& obj, TImportResult& result) {
  // A line that cannot be recorded leaves no empty volume behind.
  CheckStorable("Name", obj.Name);
  CheckStorable("Volume", obj.Volume + "/");  // also the volume's source path
  CheckStorable("VolumeSerialNo", obj.Serial);
  CheckStorable("Category", obj.Category);
  CheckStorable("Comments", obj.Comments);
  CheckStorable("Location", obj.Location);
  CheckComponent(obj.Name);
  if (obj.Path != checkedPath_) {
    if (obj.Path.find('\0') != std::string::npos) throw EError("errImpNul", {"Path"});
    for (const std::string& part : PathParts(obj.Path)) {
      CheckStorable("Path", part);
      CheckComponent(part);
    }
    checkedPath_ = obj.Path;
  }
  if (!inRun_ || obj.Volume != prevVolume_) {
    StartVolume(lib, obj);
  } else {
    // Lines of a run stay in its volume, whatever older node has its name.
    lib.CurVolumeNode = runVolume_;
  }
  // The first line of a run always builds its chain, so an empty path
  // never leaves the previous volume's folder current.
  if (!haveChain_ || obj.Path != prevPath_) BuildFolderChain(lib, obj);
  lib.AddEntry(folderSource_, obj.Name, obj.Size, obj.Date, false, false);
  ApplyColumns(lib, obj, result);
}

TImportResult TTextImport::Import(TLibObj& lib, TOperation& op) {
  TImportResult result;
  const std::string& file = options_.FileName;
  inRun_ = false;
  runVolume_ = nullptr;
  checkedPath_.clear();
  // The lines name files of the medium the text was written from, never
  // files of this machine: the recording reads no file.
  const TRecording recording{.Op = &op};
  const TRecordingScope scope(lib, recording);
  const TLibObj::TBusyScope busy(lib);
  try {
    if (file.empty()) throw EError("errFileEmpty", {});
    const std::vector<TImportObj> objects = ReadObjects(ReadImportFile(file), op);
    result.Lines = static_cast<int>(objects.size());
    op.Begin(op.Text("msgsImporting", {file}), result.Lines);
    for (size_t q = 0; q < objects.size(); ++q) {
      op.Step(std::string(), static_cast<int64_t>(q));
      op.CheckStop();
      try {
        RecordObject(lib, objects[q], result);
        ++result.Recorded;
      } catch (const std::exception& e) {
        // A stop ends the recording of this line too: no fault of the line.
        if (op.StopRequested()) throw ECanceled("infoCancel", {});
        ++result.Errors;
        op.Log(op.Text("msgsImpErr", {ShownKey(objects[q].FullKey) + ": " + TextOf(e, op.Texts())}));
      }
    }
  } catch (const std::exception& e) {
    result.Failed = true;
    result.Error = TextOf(e, op.Texts());
    op.Show(result.Error);
    op.Log(op.Text("msgsImportFailed", {file}));
  }
  lib.EndPathIndex();
  // The summary counts the library with what was recorded.
  lib.RecountTotals();
  lib.Modified = true;
  op.End(op.Text("msgsImported", {file}));
  return result;
}

TImportResult RunTextImport(TGlobalData& globals, const TImportOptions& options, TOperation& op) {
  TLibObj& lib = *globals.CurrentLibrary;
  TImportResult result = TTextImport(options).Import(lib, op);
  if (globals.AddCategoriesToGlobals)
    for (const std::string& category : result.NewCategories) AddUnique(globals.CategoriesList, nullptr, category);
  if (globals.AddLocationsToGlobals)
    for (const std::string& location : result.NewLocations) AddUnique(globals.LocationsList, nullptr, location);
  // The closing steps report as one more bracket without a bar.
  TProgressScope closing(op, std::string(), 0);
  lib.RecountTotals();
  if (globals.SortVolumes) lib.SortVolumes();
  lib.Modified = true;
  globals.AddingVolume = false;
  closing.Close(op.Text("msgsAdded", {lib.FileName}));
  return result;
}

TImportResult RunTextImport(TGlobalData& globals, const TImportOptions& options) {
  TGlobalOperation run(globals);
  return RunTextImport(globals, options, run);
}

}  // namespace tw
