#include "core/VolumeScan.h"

#include "base/DateTime.h"
#include "core/FileFind.h"
#include "base/Error.h"
#include "state/Globals.h"

namespace tw {
namespace {

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

// Times as the file system keeps them, in UTC, field by field.
TDateTime DateOf(const TSearchRec& rec) {
  TDateTime date = 0;
  return TryUnixToDateTimeUtc(static_cast<std::time_t>(rec.MTime), rec.MTimeNsec, date) ? date : NowDateTime();
}

// The add parameters hold only while a command runs, also when it fails.
class TAddingVolume {
 public:
  explicit TAddingVolume(TGlobalData& g) : g_(g) { g_.AddingVolume = true; }
  ~TAddingVolume() { g_.AddingVolume = false; }

 private:
  TGlobalData& g_;
};

class TPathIndexScope {
 public:
  TPathIndexScope(TLibObj& lib, TFolderNode* volume) : lib_(lib) { lib_.BeginPathIndex(volume); }
  ~TPathIndexScope() { lib_.EndPathIndex(); }

 private:
  TLibObj& lib_;
};

void SetAddParameters(TGlobalData& g, const std::string& category, const std::string& comments, bool toFolders,
                      bool toFiles, bool foldersOnly) {
  g.AddCategory = category;
  g.AddComments = comments;
  g.ApplyToFolders = toFolders;
  g.ApplyToFiles = toFiles;
  g.FoldersOnly = foldersOnly;
}

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
  TGlobalData& g = lib.Globals();
  TPathIndexScope index(lib, lib.CurVolumeNode);
  TFileSearch finder;
  // The scan uses the events only, and walks its folder however deep it lies.
  finder.CollectNames = false;
  finder.SpecLimit = std::string::npos;
  finder.OnDirectory = [&](const std::string& dir, const TSearchRec& rec) {
    if (g.ProcessStopped)
      finder.Aborted = true;
    else
      lib.AddFolderPath(dir, DateOf(rec));
  };
  finder.OnFile = [&](const std::string& dir, const TSearchRec& rec) {
    if (g.ProcessStopped) finder.Aborted = true;
    lib.AddEntry(dir, rec.Name, rec.Size, DateOf(rec), rec.IsDirectory(), true);
  };
  std::vector<std::string> unreadable;
  // What could not be read may still be there: an update must not take it
  // for gone.
  finder.OnUnreadable = [&](const std::string& path, const std::string& error) {
    g.AddMessage(Format(g.GetText("errReadFolder"), {path, error}));
    lib.KeepUnreadable(lib.CurVolumeNode, path);
    unreadable.push_back(path);
  };
  finder.OnIdle = [&] { g.PumpEvents(); };
  finder.Start(WithSlash(root) + "*.*", levels, foldersOnly);
  return unreadable;
}

TFolderNode* AddVolume(TLibObj& lib, const TAddVolumeRequest& request, std::vector<std::string>* unreadable) {
  TGlobalData& g = lib.Globals();
  const std::string root = WithSlash(request.Folder);

  TSerialCheck check = lib.CheckSerialDuplicates(request.Serial, root);
  if (!check.Unique &&
      g.Host().Ask(check.Message, TMsgButtons::YesNo, TMsgKind::Confirmation) != TMsgAnswer::Yes)
    throw EError(g.GetText("infoCancel"));

  SetAddParameters(g, request.Category, request.Comments, request.ApplyToFolders, request.ApplyToFiles,
                   request.FoldersOnly);
  g.AddLocation = request.Location;
  g.BeginProgress(Format(g.GetText("msgsAdding"), {root}), ScanTotal(root));
  TAddingVolume adding(g);
  lib.NewVolume(root, request.Title, request.Serial);
  TFolderNode* volume = lib.CurVolumeNode;
  std::vector<std::string> unread = ScanFolder(lib, root, request.Levels, request.FoldersOnly);
  if (unreadable) *unreadable = std::move(unread);
  if (g.SortVolumes) lib.SortVolumes();
  // The closing summary counts the library with the new volume.
  lib.RecountTotals();
  g.EndProgress(Format(g.GetText("msgsAdded"), {lib.FileName}));
  lib.RecountTotals();
  lib.Modified = true;
  return volume;
}

void UpdateVolume(TLibObj& lib, TFolderNode* selected, const TUpdateRequest& request,
                  std::vector<std::string>* unreadable) {
  if (!selected) return;
  TGlobalData& g = lib.Globals();
  SetAddParameters(g, request.Category, request.Comments, request.ApplyToFolders, request.ApplyToFiles,
                   request.FoldersOnly);
  struct TClose {
    TLibObj& Lib;
    ~TClose() { Lib.Modified = true; }
  } close{lib};

  if (request.Folder.empty()) {
    TAddingVolume adding(g);
    lib.ApplyAddDefaults(selected, true);
    return;
  }

  const std::string root = WithSlash(request.Folder);
  TFolderNode* volumeNode = TLibObj::RootOf(selected);
  TLibFolder* volume = volumeNode->Data();
  // A folder keeps its place in its volume: the volume's own source is the
  // update folder without the folder's path below the volume.
  std::string volumeRoot = root;
  if (selected != volumeNode) {
    std::string below = selected->Data()->GetSourcePath().substr(volume->SourcePath.size());
    if (root.size() < below.size() || root.compare(root.size() - below.size(), below.size(), below) != 0 ||
        root.size() == below.size())
      throw EError(Format(g.GetText("errUpdateSource"), {selected->Data()->GetPath(), root}));
    volumeRoot = root.substr(0, root.size() - below.size());
  }

  g.AddMessage(Format(g.GetText("msgsUpdating"), {root}));
  g.ProgressStart = NowDateTime();
  TAddingVolume adding(g);
  g.SetProcessStopped(false);
  if (request.DeleteMissing) {
    g.AddMessage(Format(g.GetText("msgsAnalyzing"), {root}));
    const int n = lib.MarkItems(selected, false);
    g.AddMessage(Format(g.GetText("msgsAnalyzed"), {std::to_string(n)}));
  }
  lib.CurVolumeNode = volumeNode;
  if (volume->Serial.empty()) volume->Serial = request.Serial;
  volume->SourcePath = volumeRoot;
  std::vector<std::string> unread = ScanFolder(lib, root, request.Levels, request.FoldersOnly);
  if (unreadable) *unreadable = std::move(unread);
  if (request.DeleteMissing) {
    KeepUnwalked(selected, request.Levels, request.FoldersOnly);
    g.AddMessage(Format(g.GetText("msgsDeleting"), {root}));
    const int n = lib.RemoveUnmarkedItems(selected);
    g.AddMessage(Format(g.GetText("msgsDeleted"), {std::to_string(n)}));
  }
  lib.RecountTotals();
  g.EndProgress(Format(g.GetText("msgsUpdated"), {root}));
  lib.RecountTotals();
}

}  // namespace tw
