#include "exchange/Export.h"

#include <string_view>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "base/FileLock.h"
#include "base/Messages.h"
#include "base/Operation.h"
#include "base/TextUtils.h"
#include "state/Globals.h"

namespace tw {

namespace {

const char* const kFieldNames[] = {"Volume",   "VolumeSerialNo", "Path",     "Name", "Size",    "Date",
                                   "Category", "Comments",       "Location", "Type", "FilePath"};

enum TFieldIndex { fVolume, fSerial, fPath, fName, fSize, fDate, fCategory, fComments, fLocation, fType, fFilePath };

constexpr const char* kLineEnd = "\r\n";

// A text of the entry's volume, empty without one; only the volume fields
// walk up to the volume.
std::string VolumeText(const TLibFolderItem& item, std::string TLibFolder::*field) {
  const TLibFolder* volume = item.GetVolume();
  return volume ? volume->*field : std::string();
}

}  // namespace

// The file being written: lines go to a temporary file beside the target,
// which replaces the target only when everything was written. The target's
// writer's lock is held meanwhile, so no two writers replace it at once and
// the temporary files of killed exports can go.
class TExport::TSink {
 public:
  explicit TSink(const std::string& file)
      : target_(ResolveLinks(file)), lock_(target_, file, TFileLock::kDefaultWait), out_(Cleaned(target_), file) {}

  void Write(std::string_view text) {
    buffer_.append(text);
    if (buffer_.size() >= kFlushSize) Flush();
  }

  void Commit() {
    Flush();
    out_.Commit();
  }

 private:
  static constexpr size_t kFlushSize = 64 * 1024;

  static const std::string& Cleaned(const std::string& target) {
    RemoveStaleTemporaries(target);
    return target;
  }

  void Flush() {
    out_.Write(buffer_);
    buffer_.clear();
  }

  std::string target_;
  TFileLock lock_;
  TAtomicFile out_;
  std::string buffer_;
};

std::vector<TExportField> DefaultExportFields() {
  std::vector<TExportField> fields;
  for (const char* name : kFieldNames) fields.push_back({name, false});
  return fields;
}

int MoveExportField(std::vector<TExportField>& fields, int index, int delta) {
  const int count = static_cast<int>(fields.size());
  const int target = index + delta;
  if (index < 0 || index >= count || target < 0 || target >= count || delta == 0) return index;
  std::swap(fields[index], fields[target]);
  return target;
}

std::string SeparatorText(const std::string& choice) {
  if (choice == kSepComma) return ",";
  if (choice == kSepTab) return "\t";
  if (choice == kSepNewLine) return kLineEnd;
  return choice;
}

int ExportLevel(const TLibFolderItem& item) {
  const TLibFolder* target = item.GetTargetFolder();
  if (!target) return 0;
  return target->Node ? target->Node->Level() : target->Level;
}

TExport::TExport(TGlobalData& g, TExportOptions options, TExportSourceData source)
    : TExport(*g.CurrentLibrary, g.TextFormat(), std::move(options), std::move(source)) {
  g_ = &g;
}

TExport::TExport(const TLibObj& lib, const TTextFormat& format, TExportOptions options, TExportSourceData source)
    : lib_(lib),
      options_(std::move(options)),
      source_(std::move(source)),
      separator_(SeparatorText(options_.Separator)),
      format_(format) {
  // Names not in the list are ignored.
  for (const auto& f : options_.Fields) {
    if (!f.Checked) continue;
    for (int i = 0; i < static_cast<int>(std::size(kFieldNames)); ++i)
      if (f.Name == kFieldNames[i]) fields_.push_back(i);
  }
}

const std::string& TExport::PathOf(const TLibFolder* folder) const {
  if (folder != pathFolder_) {
    path_ = folder ? folder->GetPath() : std::string();
    pathFolder_ = folder;
  }
  return path_;
}

bool TExport::Accepts(const TLibFolderItem& item) const {
  const TExportOptions& o = options_;
  if (o.UseLevels && ExportLevel(item) > o.Levels) return false;
  if (o.Folders) return !(o.OnlyFolders && !item.IsFolder);
  // Without folder lines the archives decide: either the archive entries
  // (and other folder entries) or the members listed inside them.
  if (!o.Archives) return !(item.Folder && item.Folder->IsArchiveFolder());
  return !item.IsFolder;
}

std::string TExport::FieldText(int field, const TLibFolderItem& item) const {
  const std::string& q = options_.TextQualifier;
  switch (field) {
    case fVolume:
      return Enquote(VolumeText(item, &TLibFolder::Name), q);
    case fSerial:
      return VolumeText(item, &TLibFolder::Serial);
    case fPath:
      return PathOf(item.Folder);
    case fName:
      return item.Name;
    case fSize: {
      int64_t size = item.Size;
      if (options_.Folders && options_.FolderTotals && item.IsFolder) {
        const TLibFolder* target = item.GetTargetFolder();
        size = target ? target->KeptSize : 0;
      }
      return FormatSize(options_.SizeUnit, static_cast<double>(size), format_);
    }
    case fDate:
      return FormatDate(item.Date);
    case fCategory:
      return Enquote(item.Category, q);
    case fComments:
      return Enquote(JoinLines(item.Comments, format_.NewLineSeparator), q);
    case fLocation:
      return Enquote(VolumeText(item, &TLibFolder::Location), q);
    case fType:
      return item.GetExtension();
    case fFilePath:
      return PathOf(item.Folder) + item.Name;
    default:
      return {};
  }
}

std::string TExport::EntryLine(const TLibFolderItem& item) const {
  if (!Accepts(item)) return {};
  std::string line;
  const int level = ExportLevel(item);
  if (options_.Indent)
    for (int i = 1; i < level; ++i) line += separator_;
  for (int field : fields_) {
    line += FieldText(field, item);
    line += separator_;
  }
  // Every field is followed by a separator: only the last one appended goes.
  if (!separator_.empty() && line.size() >= separator_.size() &&
      line.compare(line.size() - separator_.size(), separator_.size(), separator_) == 0)
    line.resize(line.size() - separator_.size());
  return line;
}

void TExport::WriteEntry(const TLibFolderItem& item) {
  std::string line = EntryLine(item);
  if (line.empty() || !sink_) return;
  sink_->Write(line);
  sink_->Write(kLineEnd);
}

void TExport::Step(const std::string& status, int64_t position) {
  op_->Step(status, position);
  op_->CheckStop();
}

void TExport::CheckStop() const { op_->CheckStop(); }

void TExport::ExportLibrary() {
  op_->Begin(op_->Text("msgsExporting", {options_.FileName}), static_cast<int64_t>(lib_.Folders.Count()));
  int64_t position = 0;
  for (TFolderNode* n = lib_.Folders.GetFirstNode(); n; n = n->GetNext()) {
    Step(n->Text, ++position);
    for (const auto& item : n->Data()->Items) WriteEntry(*item);
  }
}

void TExport::WriteNodeTree(TFolderNode* node) {
  // Depth-first without recursion: a damaged library may nest very deeply.
  struct TPending {
    TLibFolder* Folder;
    int Next;
  };
  std::vector<TPending> stack{{node->Data(), 0}};
  CheckStop();
  while (!stack.empty()) {
    TLibFolder* folder = stack.back().Folder;
    const int index = stack.back().Next++;
    if (index >= folder->Items.Count()) {
      stack.pop_back();
      continue;
    }
    TLibFolderItem* item = folder->Items[index];
    WriteEntry(*item);
    if (!item->IsFolder) continue;
    // An entry whose folder record is missing targets its own folder.
    TLibFolder* target = item->GetTargetFolder();
    if (!target || target == folder) continue;
    op_->Step(std::string(), -1);
    CheckStop();
    stack.push_back({target, 0});
  }
}

void TExport::ExportSelection() {
  op_->Begin(op_->Text("msgsExporting", {options_.FileName}), static_cast<int64_t>(source_.Selection.size()));
  int64_t position = 0;
  for (TFolderNode* node : source_.Selection) {
    Step(node->Text, ++position);
    WriteNodeTree(node);
  }
}

void TExport::ExportResults() {
  op_->Begin(op_->Text("msgsExporting", {options_.FileName}), static_cast<int64_t>(source_.Results.size()));
  int64_t position = 0;
  for (TLibFolderItem* item : source_.Results) {
    Step(item->Name, ++position);
    WriteEntry(*item);
  }
}

bool TExport::Export(TOperation& op) {
  error_.clear();
  op_ = &op;
  const std::string& file = options_.FileName;
  try {
    if (file.empty()) throw EError("errFileEmpty", {});
    TSink sink(file);
    sink_ = &sink;
    try {
      switch (source_.Source) {
        case esLibrary:
          ExportLibrary();
          break;
        case esSelection:
          ExportSelection();
          break;
        case esSearchResults:
          ExportResults();
          break;
      }
      sink.Commit();
    } catch (...) {
      sink_ = nullptr;
      throw;
    }
    sink_ = nullptr;
    const std::string done = op.Text("msgsExported", {file});
    op.Show(done);
    op.Log(done);
    return true;
  } catch (const std::exception& e) {
    error_ = TextOf(e, op.Texts());
  } catch (...) {
    error_ = std::string("?");
  }
  const std::string failed = op.Text("msgsExportFailed", {file});
  op.Show(failed);
  op.Log(failed);
  return false;
}

bool TExport::Export() {
  TGlobalOperation run(*g_);
  return Export(run);
}

bool TExport::Run(TLibObj& lib, TOperation& op) {
  const bool ok = Export(op);
  lib.RecountTotals();
  op.End(op.Text("msgsExported", {lib.FileName}));
  return ok;
}

bool TExport::Run() {
  if (!g_->ProcessStopped) return false;
  TGlobalOperation run(*g_);
  return Run(*g_->CurrentLibrary, run);
}

}  // namespace tw
