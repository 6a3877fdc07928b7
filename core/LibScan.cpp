// Recording what a walk over a medium finds: volumes, folders, entries and
// archive members, and the marks and defaults of a volume update.
#include <sys/stat.h>

#include <algorithm>
#include <unordered_map>

#include "base/CaseFold.h"
#include "base/DateTime.h"
#include "base/Error.h"
#include "base/FileUtils.h"
#include "core/LibClasses.h"
#include "core/archRAR.h"
#include "core/archZIP.h"
#include "tags/HandlerClasses.h"

namespace tw {
namespace {

// A mount point (or "/") counts as a drive root: its volume is unnamed
// unless given a title.
bool IsDriveRoot(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  struct stat self {}, parent {};
  if (::stat(p.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) return false;
  if (::stat((p + "/..").c_str(), &parent) != 0) return false;
  return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

bool IsRegularNoFollow(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// Of the path's first `length` bytes, the length up to and with the "/"
// before the last name (which may end with "/" itself); 0 for a single name.
size_t ParentLength(const std::string& path, size_t length) {
  size_t parent = length == 0 ? 0 : length - 1;
  while (parent > 0 && path[parent - 1] != '/') --parent;
  return parent;
}

// The date of a DOS time (low 16 bits) and date (high 16 bits); 0 when the
// fields name no real moment (archivers write zero dates).
TDateTime DosDateTimeToDate(uint32_t dos) {
  const unsigned time = dos & 0xFFFF, date = dos >> 16;
  TDateTime result = 0;
  if (!TryEncodeDateTime(int(date >> 9) + 1980, int((date >> 5) & 15), int(date & 31), int(time >> 11),
                         int((time >> 5) & 63), int((time & 31) * 2), 0, result))
    return 0;
  return result;
}

// Child folder records of a node by name, first in child order; built only
// for nodes with many children, where a scan per entry would be quadratic.
class TChildIndex {
 public:
  explicit TChildIndex(TFolderNode* node) : node_(node) {
    if (node->Count() <= kLinearLimit) return;
    for (int i = 0; i < node->Count(); ++i) byName_.emplace(node->Item(i)->Data()->Name, node->Item(i));
  }
  TFolderNode* Find(const std::string& name) const {
    if (node_->Count() <= kLinearLimit) {
      TLibFolder* f = node_->Data()->ChildFolder(name);
      return f ? f->Node : nullptr;
    }
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
  }
  // After a child was deleted.
  void Forget(const std::string& name) { byName_.erase(name); }

 private:
  static constexpr int kLinearLimit = 8;
  TFolderNode* node_;
  std::unordered_map<std::string, TFolderNode*> byName_;
};

}  // namespace

// ------------------------------------------------------------ volumes

void TLibObj::NewVolume(const std::string& sourcePath, const std::string& title, const std::string& serial) {
  CurVolumeNode = nullptr;
  TFolderNode* node = AddVolumeNode(title, sourcePath);
  node->Data()->SourcePath = sourcePath;
  node->Data()->Serial = serial;
  ReportFolderChanged(node);
}

TFolderNode* TLibObj::AddVolumeNode(const std::string& title, const std::string& sourcePath) {
  auto volume = std::make_unique<TLibFolder>(sourcePath);
  if (IsDriveRoot(sourcePath)) volume->Name.clear();
  if (!title.empty()) volume->Name = title;
  volume->IsFolder = 0;
  const TRecording& rec = Recording();
  if (rec.Adding) {
    volume->Location = rec.Location;
    volume->Category = rec.Category;
    volume->Comments = rec.Comments;
  }
  CurVolumeNode = AddFolderRecord(nullptr, std::move(volume));
  return CurVolumeNode;
}

// ------------------------------------------------------------ folders

void TLibObj::AddFolderPath(const std::string& path, TDateTime date) {
  if (TFolderNode* node = FindFolderNode(CurVolumeNode, path)) {
    CurFolderNode = node;
    if (node != CurVolumeNode && node->Data()->Date != date) {
      node->Data()->Date = date;
      ReportFolderChanged(node);
    }
    return;
  }
  CurFolderNode = AddFolderNode(CurVolumeNode, path);
}

TFolderNode* TLibObj::AddFolderNode(TFolderNode* start, std::string path) {
  if (!start || path == start->Data()->GetPath()) return nullptr;
  // Parents are normally recorded first; missing ones below the start are
  // made now, from the top down, and anything else goes to the start
  // itself. They are the path's own beginnings, kept as lengths, and found
  // in a loop: a missing chain may be long.
  const std::string startPath = start->Data()->GetSourcePath();
  std::vector<size_t> missing = {path.size()};
  TFolderNode* parent = nullptr;
  while (!parent) {
    const size_t length = ParentLength(path, missing.back());
    parent = FindFolderNode(start, path.substr(0, length));
    if (parent) break;
    if (length > startPath.size() && path.compare(0, startPath.size(), startPath) == 0)
      missing.push_back(length);
    else
      parent = start;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) parent = AddChildFolder(parent, path.substr(0, *it));
  return parent;
}

TFolderNode* TLibObj::AddChildFolder(TFolderNode* parent, const std::string& path) {
  auto folder = std::make_unique<TLibFolder>(path);
  folder->IsFolder = 1;
  const TRecording& rec = Recording();
  if (rec.Adding && rec.ApplyToFolders) {
    folder->Category = rec.Category;
    folder->Comments = rec.Comments;
  }
  const std::string name = folder->Name;
  TFolderNode* node = AddFolderRecord(parent, std::move(folder));
  if (TLibFolderItem* entry = parent->Data()->Items.Find(name); entry && !entry->IsFolder) {
    entry->IsFolder = true;
    ReportItemChanged(entry);
  }
  return node;
}

// ------------------------------------------------------------ entries

void TLibObj::AddEntry(std::string directory, const std::string& name, int64_t size, TDateTime date, bool isFolder,
                       bool progress) {
  // Status texts are built only when somebody will see them.
  if (StatusDue()) Status(directory + name);
  directory = AddSlash(std::move(directory));
  const TRecording& rec = Recording();
  try {
    CheckStop();
    if (!CurVolumeNode || !CurFolderNode) throw ECanceled("infoCancel", {});

    if (isFolder) {
      TLibFolderItem* item = nullptr;
      if (TFolderNode* own = FindFolderNode(CurVolumeNode, directory + name + "/")) {
        if (TLibFolder* containing = own->Data()->Parent) item = containing->Items.FindExact(name);
      } else {
        TLibFolder* containing = CurFolderNode->Data();
        auto entry = TLibFolderItem::CreateFolder(name, date);
        entry->Name = name;
        item = InsertItem(containing, std::move(entry));
      }
      if (item) {
        item->Found = true;
        if (rec.Adding && rec.ApplyToFolders && (item->Category != rec.Category || item->Comments != rec.Comments)) {
          item->Category = rec.Category;
          item->Comments = rec.Comments;
          ReportItemChanged(item);
        }
      }
      return;
    }

    TLibFolder* containing = CurFolderNode->Data();
    TLibFolderItem* item = containing->Items.FindExact(name);
    const bool isNew = item == nullptr;
    const std::string fullName = directory + name;
    const std::string extension = HandlerExtension(name);
    const bool isRar = rec.Handlers && rec.Handlers->ClaimsExtension("RAR", extension);
    const bool isArchive = rec.Handlers && (isRar || rec.Handlers->ClaimsExtension("ZIP", extension)) &&
                           IsRegularNoFollow(fullName);

    if (isNew) {
      auto entry = TLibFolderItem::CreateFile(name, size, date);
      entry->Name = name;
      item = InsertItem(containing, std::move(entry));
    }
    if (isArchive) {
      item->IsFolder = true;
      item->Folder = containing;
      if (rec.Adding && rec.ApplyToFolders) {
        item->Category = rec.Category;
        item->Comments = rec.Comments;
      }
      // Kept sizes count a new archive as its load will: before its folder
      // exists, so a volume never counts the archive twice.
      if (isNew) KeepSize(item);
      CurArchiveNode = FindFolderNode(CurVolumeNode, fullName + "/");
      if (!CurArchiveNode) CurArchiveNode = AddFolderNode(CurVolumeNode, fullName);
      ListArchive(fullName, isRar);
    } else {
      item->Folder = containing;
      if (rec.Adding && rec.ApplyToFiles) {
        item->Category = rec.Category;
        item->Comments = rec.Comments;
      }
      if (rec.Handlers) rec.Handlers->ProcessFile(fullName, item->TagInfo, rec.TagNames);
    }

    item->Found = true;
    item->Size = size;
    item->Date = date;
    if (isNew && !isArchive) KeepSize(item);
    // A new entry is told twice (inserted, then filled): its values are
    // complete only now.
    ReportItemChanged(item);
    if (progress) Status(std::string(), CurVolumeNode->Data()->KeptSize);
  } catch (const ECanceled&) {
    // A stop is no fault of the entry: it stays as it was.
  } catch (const std::exception&) {
    Log(Text("msgsFileErr", {directory + name}));
    Status(std::string());
  }
}

void TLibObj::ListArchive(const std::string& file, bool isRar,
                          const std::function<void(const TDFRARHeaderData&)>& onRarHeader) {
  if (isRar) {
    try {
      TRAR rar;
      rar.FileName = file;
      rar.Mode = DFRAR_LIST;
      rar.OnFileProcessing = [&](TRAR& r, const TDFRARHeaderData& header, int) {
        if (onRarHeader) onRarHeader(header);
        AddRarMember(header, r);
      };
      rar.OnError = [this, &file](TRAR&, const std::string& key, int) {
        Log(Text("msgsRarErr", {file + ": " + Text(key)}));
      };
      rar.Run();
    } catch (const std::exception& e) {
      Log(Text("msgsRarErr", {file + ": " + e.what()}));
    }
    return;
  }
  // The reader's messages, such as an archive without entries, are log
  // lines like its errors: nothing stops the walk to ask.
  auto logZip = [this, &file](const std::string& text) { Log(Text("msgsZipErr", {file + ": " + text})); };
  try {
    TZip zip;
    zip.OnMessage = logZip;
    zip.OnDirUpdate = [this](TZip& z) { AddZipMembers(z); };
    zip.SetZipFilename(file);
  } catch (const std::exception& e) {
    logZip(e.what());
  }
}

void TLibObj::AddRarMember(const TDFRARHeaderData& header, const TRAR& rar) {
  TLibFolder* archive = CurArchiveNode ? CurArchiveNode->Data() : nullptr;
  // A directory header names no file of its own.
  if (!archive || header.Directory) return;
  try {
    TLibFolderItem* item = archive->Items.FindExact(header.FileName);
    const bool isNew = !item;
    if (isNew) {
      auto member = std::make_unique<TLibFolderItem>();
      member->Name = header.FileName;
      item = InsertItem(archive, std::move(member));
    }
    item->Date = header.FileTime;
    // The whole size: a member over 4 GiB keeps it.
    item->Size = static_cast<int64_t>(header.UnpackedSize);
    item->Folder = archive;
    item->Found = true;
    if (!isNew) ReportItemChanged(item);
  } catch (const std::exception&) {
    Log(Text("msgsRarErr", {rar.FileName}));
  }
}

void TLibObj::AddZipMembers(const TZip& zip) {
  TLibFolder* archive = CurArchiveNode ? CurArchiveNode->Data() : nullptr;
  if (!archive) return;
  try {
    for (const ZipDirEntry& entry : zip.Entries()) {
      // A directory entry names no file of its own.
      if (entry.IsDirectory()) continue;
      // The whole path inside the archive, as RAR members are recorded: two
      // members of one name in different folders are two entries.
      std::string name = entry.FileName;
      std::replace(name.begin(), name.end(), '/', '\\');
      TLibFolderItem* item = archive->Items.FindExact(name);
      const bool isNew = !item;
      if (isNew) {
        auto member = std::make_unique<TLibFolderItem>();
        member->Name = name;
        item = InsertItem(archive, std::move(member));
      }
      item->Date = DosDateTimeToDate(entry.DosDateTime);
      item->Size = static_cast<int64_t>(entry.UncompressedSize);
      item->Folder = archive;
      item->Found = true;
      if (!isNew) ReportItemChanged(item);
    }
  } catch (const std::exception&) {
    Log(Text("msgsZipErr", {zip.ZipFilename()}));
  }
}

// ------------------------------------------------------------ update

// Marking and removing go down the folder tree by an explicit stack: a
// medium may nest folders deeper than the call stack would reach. A frame
// whose item has a record below waits at that item until the record is
// done; a stop ends each frame as it comes back to it.
namespace {

struct TItemFrame {
  explicit TItemFrame(TFolderNode* node) : Node(node), Children(node) {}
  TFolderNode* Node;
  TChildIndex Children;
  int Next = 0;
};

// Over when no item is left or the user stopped; the operation hears of
// each item.
bool FrameOver(const TLibObj& lib, const TItemFrame& frame) {
  if (frame.Next == frame.Node->Data()->Items.Count()) return true;
  if (lib.Recording().Op) lib.Recording().Op->Step(std::string(), -1);
  return lib.Recording().Op && lib.Recording().Op->StopRequested();
}

}  // namespace

int TLibObj::MarkItems(TFolderNode* node, bool value) {
  int count = 0;
  std::vector<TItemFrame> stack;
  stack.emplace_back(node);
  // A folder entry is marked after the record below it.
  auto markNext = [&](TItemFrame& frame) {
    frame.Node->Data()->Items[frame.Next++]->Found = value;
    ++count;
  };
  while (!stack.empty()) {
    TItemFrame& frame = stack.back();
    if (FrameOver(*this, frame)) {
      stack.pop_back();
      if (!stack.empty()) markNext(stack.back());
      continue;
    }
    TLibFolderItem* item = frame.Node->Data()->Items[frame.Next];
    if (StatusDue()) Status(Text("msgsAnalyzing", {item->GetItemPath()}));
    TFolderNode* child = item->IsFolder ? frame.Children.Find(item->Name) : nullptr;
    if (child)
      stack.emplace_back(child);
    else
      markNext(frame);
  }
  return count;
}

void TLibObj::KeepUnreadable(TFolderNode* volume, const std::string& path) {
  std::string name = path;
  if (!name.empty() && name.back() == '/') name.pop_back();
  if (TFolderNode* node = FindFolderNode(volume, name + '/')) {
    TLibFolder* folder = node->Data();
    if (folder->Parent)
      if (TLibFolderItem* entry = folder->Parent->Items.FindExact(folder->Name)) entry->Found = true;
    TFolderNode* end = node->GetNextSkippingChildren();
    for (TFolderNode* n = node; n != end; n = n->GetNext())
      for (const auto& item : n->Data()->Items) item->Found = true;
    return;
  }
  // An entry without a record of its own.
  const size_t slash = name.rfind('/');
  if (slash == std::string::npos) return;
  if (TFolderNode* node = FindFolderNode(volume, name.substr(0, slash + 1)))
    if (TLibFolderItem* entry = node->Data()->Items.FindExact(std::string_view(name).substr(slash + 1)))
      entry->Found = true;
}

int TLibObj::RemoveUnmarkedItems(TFolderNode* node) {
  int count = 0;
  std::vector<TItemFrame> stack;
  stack.emplace_back(node);
  while (!stack.empty()) {
    TItemFrame& frame = stack.back();
    if (FrameOver(*this, frame)) {
      stack.pop_back();
      if (!stack.empty()) ++stack.back().Next;
      continue;
    }
    TLibFolderItem* item = frame.Node->Data()->Items[frame.Next];
    if (StatusDue()) Status(Text("msgsChecking", {item->GetItemPath()}));
    TFolderNode* child = item->IsFolder ? frame.Children.Find(item->Name) : nullptr;
    if (!item->Found) {
      if (child) {
        frame.Children.Forget(item->Name);
        DeleteFolderNode(child);
      }
      DeleteItem(item);
      ++count;
    } else if (child) {
      stack.emplace_back(child);
    } else {
      ++frame.Next;
    }
  }
  return count;
}

void TLibObj::ApplyAddDefaults(TFolderNode* node, bool force) {
  const TRecording& rec = Recording();
  if (!rec.Adding || !node) return;
  auto itemRule = [&rec](TLibFolderItem* item, bool forced) {
    if (rec.ApplyToFiles || (item->IsFolder && (forced || rec.ApplyToFolders))) {
      item->Category = rec.Category;
      item->Comments = rec.Comments;
      return true;
    }
    return false;
  };
  // The branch in tree order; only its own folder is forced.
  TFolderNode* end = node->GetNextSkippingChildren();
  for (TFolderNode* n = node; n != end; n = n->GetNext()) {
    const bool forced = force && n == node;
    TLibFolder* folder = n->Data();
    if (forced || rec.ApplyToFolders) {
      folder->Category = rec.Category;
      folder->Comments = rec.Comments;
      ReportFolderChanged(n);
      if (folder->Parent)
        if (TLibFolderItem* entry = folder->Parent->Items.Find(folder->Name); entry && itemRule(entry, forced))
          ReportItemChanged(entry);
    }
    bool changed = false;
    for (const auto& item : folder->Items) changed = itemRule(item.get(), false) || changed;
    if (TLibraryListener* events = Events(); events && changed)
      events->OnChanged({.Kind = TLibraryChange::TKind::Items, .Folder = n, .First = 0, .Count = folder->Items.Count()});
  }
}

// ------------------------------------------------------------ path index

void TLibObj::BeginPathIndex(TFolderNode* volume) {
  EndPathIndex();
  if (!volume) return;
  indexRoot_ = volume;
  TFolderNode* end = volume->GetNextSkippingChildren();
  for (TFolderNode* n = volume; n != end; n = n->GetNext()) IndexFolderNode(n);
}

void TLibObj::EndPathIndex() {
  indexRoot_ = nullptr;
  sourceIndex_.clear();
  pathIndex_.clear();
}

namespace {

using TPathOf = std::string (TLibFolder::*)() const;

// The node of the index whose path, as `pathOf` gives it, is `path`: an
// equal hash alone proves nothing.
template <class TIndex>
TFolderNode* FindByPath(const TIndex& index, TPathOf pathOf, const std::string& path, size_t hash) {
  const auto [first, last] = index.equal_range(hash);
  for (auto it = first; it != last; ++it)
    if ((it->second->Data()->*pathOf)() == path) return it->second;
  return nullptr;
}

}  // namespace

void TLibObj::IndexFolderNode(TFolderNode* node) {
  // The first node of a path keeps it: lookups answer the first match.
  for (const auto& [index, pathOf] : {std::pair{&sourceIndex_, &TLibFolder::GetSourcePath},
                                      std::pair{&pathIndex_, &TLibFolder::GetPath}}) {
    const std::string path = (node->Data()->*pathOf)();
    const size_t hash = std::hash<std::string>{}(path);
    if (!FindByPath(*index, pathOf, path, hash)) index->emplace(hash, node);
  }
}

TFolderNode* TLibObj::FindIndexed(TFolderNode* start, const std::string& path) const {
  const size_t hash = std::hash<std::string>{}(path);
  TFolderNode* bySource = FindByPath(sourceIndex_, &TLibFolder::GetSourcePath, path, hash);
  TFolderNode* byPath = FindByPath(pathIndex_, &TLibFolder::GetPath, path, hash);
  if (!bySource || !byPath || bySource == byPath) return bySource ? bySource : byPath;
  // Both kinds match different nodes: the first one in tree order wins.
  TFolderNode* end = start->GetNextSkippingChildren();
  for (TFolderNode* n = start; n != end; n = n->GetNext())
    if (n == bySource || n == byPath) return n;
  return bySource;
}

}  // namespace tw
