#include "core/VolumeScan.h"

#include "base/DateTime.h"
#include "base/Error.h"
#include "base/FileUtils.h"
#include "core/FileFind.h"
#include "tags/HandlerClasses.h"

namespace tw {
namespace {

// Times as the file system keeps them, in UTC, field by field.
TDateTime DateOf(const TSearchRec& rec) {
  TDateTime date = 0;
  return TryUnixToDateTimeUtc(static_cast<std::time_t>(rec.MTime), rec.MTimeNsec, date) ? date : NowDateTime();
}

class TPathIndexScope {
 public:
  TPathIndexScope(TLibObj& lib, TFolderNode* volume) : lib_(lib) { lib_.BeginPathIndex(volume); }
  ~TPathIndexScope() { lib_.EndPathIndex(); }

 private:
  TLibObj& lib_;
};

// What a walk limited by levels or to folders never looked at is not
// missing: the entries below the level limit, and files when only folders
// were walked, count as found.
void KeepUnwalked(TFolderNode* selected, int32_t levels, bool foldersOnly) {
  if (levels <= 0 && !foldersOnly) return;
  TFolderNode* end = selected->GetNextSkippingChildren();
  for (TFolderNode* n = selected; n != end; n = n->GetNext()) {
    const bool belowLimit = levels > 0 && n->Level() - selected->Level() >= levels;
    for (const auto& item : n->Data()->Items)
      if (belowLimit || (foldersOnly && !item->IsFolder)) item->Found = true;
  }
}

}  // namespace

std::vector<std::string> ScanFolder(TLibObj& lib, const std::string& root, int32_t levels, bool foldersOnly) {
  TOperation* op = lib.Recording().Op;
  auto stopped = [op] { return op && op->StopRequested(); };
  TPathIndexScope index(lib, lib.CurVolumeNode);
  TFileSearch finder;
  // The scan uses the events only, and walks its folder however deep it lies.
  finder.CollectNames = false;
  finder.SpecLimit = std::string::npos;
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec& rec) {
    if (stopped())
      finder.Aborted = true;
    else
      lib.AddFolderPath(dir, DateOf(rec));
  };
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    if (stopped()) finder.Aborted = true;
    lib.AddEntry(dir, rec.Name, rec.Size, DateOf(rec), rec.IsDirectory(), true);
  };
  std::vector<std::string> unreadable;
  // What could not be read may still be there: an update must not take it
  // for gone.
  finder.OnUnreadable = [&](const std::string& path, const std::string& error) {
    if (op) op->Log(op->Text("errReadFolder", {path, error}));
    lib.KeepUnreadable(lib.CurVolumeNode, path);
    unreadable.push_back(path);
  };
  finder.OnIdle = [&] {
    if (op) op->Step(std::string(), -1);
  };
  finder.Start(AddSlash(root) + "*.*", levels, foldersOnly);
  return unreadable;
}

std::unique_ptr<TLibObj> ScanVolume(const TAddVolumeRequest& request, TOperation& op, TScanResult& result) {
  const std::string root = AddSlash(request.Folder);
  auto scanned = std::make_unique<TLibObj>();
  const TRecording recording{.Op = &op,
                             .Handlers = request.Handlers.get(),
                             .TagNames = &result.TagNames,
                             .Adding = true,
                             .Category = request.Category,
                             .Comments = request.Comments,
                             .Location = request.Location,
                             .ApplyToFolders = request.ApplyToFolders,
                             .ApplyToFiles = request.ApplyToFiles};
  TRecordingScope scope(*scanned, recording);
  scanned->NewVolume(root, request.Title, request.Serial);
  result.Unreadable = ScanFolder(*scanned, root, request.Levels, request.FoldersOnly);
  return scanned;
}

TFolderNode* SpliceVolume(TLibObj& lib, std::unique_ptr<TLibObj> scanned, bool sortVolumes) {
  TFolderNode* volume = lib.AdoptVolume(*scanned, 0);
  if (sortVolumes) lib.SortVolumes();
  lib.RecountTotals();
  lib.Modified = true;
  return volume;
}

TFolderNode* AddVolume(TLibObj& lib, const TAddVolumeRequest& request, TOperation& op, bool sortVolumes,
                       TScanResult* result) {
  const std::string root = AddSlash(request.Folder);
  TScanResult own;
  TScanResult& r = result ? *result : own;
  TProgressScope progress(op, op.Text("msgsAdding", {root}), ScanTotal(root));
  TFolderNode* volume = SpliceVolume(lib, ScanVolume(request, op, r), sortVolumes);
  // The closing summary counts the library with the new volume.
  progress.Close(op.Text("msgsAdded", {lib.FileName}));
  return volume;
}

void UpdateVolume(TLibObj& lib, TFolderNode* selected, const TUpdateRequest& request, TOperation& op,
                  TScanResult* result) {
  if (!selected) return;
  TScanResult own;
  TScanResult& r = result ? *result : own;
  struct TClose {
    TLibObj& Lib;
    ~TClose() { Lib.Modified = true; }
  } close{lib};
  // Views wait while the library changes in place.
  const TLibObj::TBusyScope busy(lib);
  const TRecording recording{.Op = &op,
                             .Handlers = request.Handlers.get(),
                             .TagNames = &r.TagNames,
                             .Adding = true,
                             .Category = request.Category,
                             .Comments = request.Comments,
                             .ApplyToFolders = request.ApplyToFolders,
                             .ApplyToFiles = request.ApplyToFiles};
  TRecordingScope scope(lib, recording);

  if (request.Folder.empty()) {
    lib.ApplyAddDefaults(selected, true);
    return;
  }

  const std::string root = AddSlash(request.Folder);
  TFolderNode* volumeNode = TLibObj::RootOf(selected);
  TLibFolder* volume = volumeNode->Data();
  // A folder keeps its place in its volume: the volume's own source is the
  // update folder without the folder's path below the volume.
  std::string volumeRoot = root;
  if (selected != volumeNode) {
    std::string below = selected->Data()->GetSourcePath().substr(volume->SourcePath.size());
    if (root.size() < below.size() || root.compare(root.size() - below.size(), below.size(), below) != 0 ||
        root.size() == below.size())
      throw EError("errUpdateSource", {selected->Data()->GetPath(), root});
    volumeRoot = root.substr(0, root.size() - below.size());
  }

  op.Log(op.Text("msgsUpdating", {root}));
  // The update runs without a bar: an empty caption.
  TProgressScope progress(op, std::string(), 0);
  if (request.DeleteMissing) {
    op.Log(op.Text("msgsAnalyzing", {root}));
    const int n = lib.MarkItems(selected, false);
    op.Log(op.Text("msgsAnalyzed", {std::to_string(n)}));
  }
  lib.CurVolumeNode = volumeNode;
  if (volume->Serial.empty()) volume->Serial = request.Serial;
  volume->SourcePath = volumeRoot;
  lib.ReportFolderChanged(volumeNode);
  r.Unreadable = ScanFolder(lib, root, request.Levels, request.FoldersOnly);
  if (request.DeleteMissing) {
    KeepUnwalked(selected, request.Levels, request.FoldersOnly);
    op.Log(op.Text("msgsDeleting", {root}));
    const int n = lib.RemoveUnmarkedItems(selected);
    op.Log(op.Text("msgsDeleted", {std::to_string(n)}));
  }
  lib.RecountTotals();
  progress.Close(op.Text("msgsUpdated", {root}));
  lib.RecountTotals();
}

}  // namespace tw
