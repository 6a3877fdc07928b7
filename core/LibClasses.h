// The library model: volumes, folders and their entries in the folder tree,
// the user's collections in the collection tree. The library owns both trees;
// views only mirror them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/AtomicFile.h"
#include "base/FileLock.h"
#include "base/Operation.h"
#include "base/StringList.h"
#include "core/LibraryListener.h"
#include "core/NodeTree.h"
#include "tags/TagClasses.h"

namespace tw {

class THandlerList;
class TMessageTable;
class TZip;
class TRAR;
struct TDFRARHeaderData;
class TLibFolder;
class TLibFolderItem;
class TLibColItem;

using TDateTime = double;
using TFolderNode = TTreeNode<TLibFolder>;
using TColNode = TTreeNode<TLibColItem>;

// Size totals saturate: a damaged file may claim sizes whose sum overflows.
inline int64_t AddSizes(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_add_overflow(a, b, &r)) return b > 0 ? INT64_MAX : INT64_MIN;
  return r;
}
inline int64_t SubtractSizes(int64_t a, int64_t b) {
  int64_t r;
  if (__builtin_sub_overflow(a, b, &r)) return b < 0 ? INT64_MAX : INT64_MIN;
  return r;
}

inline constexpr const char* kLibraryVersion = "Tarnwex 2.3";
inline constexpr const char* kLibraryVersion22 = "Tarnwex 2.2";

// Folder-tree pictures.
enum TFolderImage { fiFolder = 0, fiFolderOpen = 1, fiFolderSelected = 2, fiVolume = 3, fiVolumeSelected = 4, fiArchive = 5 };

// Collection item kinds.
enum TColKind : int32_t { ckMemo = -1, ckVolume = 0, ckFolder = 1, ckFile = 2, ckArchive = 3 };

// The entries of one folder: sorted by folded name, then raw name. Names are
// unique byte for byte; two names that differ only in case are two entries.
class TItemList {
 public:
  // Adds the item unless an entry of the same name exists; returns the
  // entry that holds the name afterwards and whether it is the new one.
  std::pair<TLibFolderItem*, bool> Add(std::unique_ptr<TLibFolderItem> item);
  // The entry of exactly this name, else the first one equal without regard to case.
  TLibFolderItem* Find(std::string_view name) const;
  TLibFolderItem* FindExact(std::string_view name) const;
  int IndexOf(const TLibFolderItem* item) const;
  // The row a new entry of this name would take; -1 when the name is taken.
  int PositionFor(std::string_view name) const;
  // Inserts at the row PositionFor gave.
  TLibFolderItem* InsertAt(int row, std::unique_ptr<TLibFolderItem> item);
  // Detaches the entry at `index` and hands it to the caller.
  std::unique_ptr<TLibFolderItem> Extract(int index);
  void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TLibFolderItem* operator[](int i) const { return items_[i].get(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  size_t LowerBound(std::string_view name) const;
  std::vector<std::unique_ptr<TLibFolderItem>> items_;
};

class TLibFolder {
 public:
  TLibFolder() = default;
  // Name from the path's last component ("E:\MUSIC\" gives MUSIC, "E:\" gives "").
  explicit TLibFolder(const std::string& path);

  std::string Name;
  std::string Serial;
  TDateTime Date = 0;
  std::string Category;
  std::string Comments;
  int32_t IsFolder = 0;  // 0 volume, 1 folder
  std::string Location;
  int32_t ItemCount = 0;
  std::string SourcePath;
  TItemList Items;
  TLibFolder* Parent = nullptr;
  TFolderNode* Node = nullptr;
  int64_t KeptSize = 0;
  bool DeletePending = false;
  int32_t Level = 0;
  TColNode* ColNode = nullptr;
  int32_t AbsIndex = -1;

  std::string GetPath() const;
  std::string GetSourcePath() const;
  std::string GetDisplayPath() const;
  TLibFolder* GetVolume();
  bool IsVolume() const { return Parent == nullptr; }
  bool IsArchiveFolder() const;
  int64_t GetFilesSize() const;
  int64_t GetSize() const;
  void PropagateToChildren(bool overwrite);
  void StoreTreePosition();
  // The child folder record named `name` (exact, first in child order).
  TLibFolder* ChildFolder(std::string_view name) const;
};

class TLibFolderItem {
 public:
  // A file entry and a folder entry made from a path on the medium.
  static std::unique_ptr<TLibFolderItem> CreateFile(const std::string& path, int64_t size, TDateTime date);
  static std::unique_ptr<TLibFolderItem> CreateFolder(const std::string& path, TDateTime date);

  std::string Name;
  TDateTime Date = 0;
  int64_t Size = 0;
  std::string Category;
  std::string Comments;
  bool IsFolder = false;
  bool Found = false;
  TColNode* ColNode = nullptr;
  TLibFolder* Folder = nullptr;
  // A folder entry's own folder record, linked when the record is added
  // below the entry's folder and cleared when it is deleted.
  TLibFolder* Target = nullptr;
  int32_t DupCount = 0;
  TTagInfo TagInfo;

  // A folder entry's folder record (the linked one, else the first child
  // record of its name), else the entry's own folder.
  TLibFolder* GetTargetFolder() const;
  TLibFolder* GetVolume() const;
  std::string GetItemPath() const;
  std::string GetItemSourcePath() const;
  std::string GetExtension() const;
  bool IsArchive() const;
};

class TLibColItem {
 public:
  explicit TLibColItem(std::string caption) : Caption(std::move(caption)) {}

  TLibFolder* Folder = nullptr;
  TLibFolderItem* Item = nullptr;
  int32_t Kind = ckMemo;
  std::string Path;
  std::string Memo;
  std::string Url;
  std::string Caption;
  TColNode* Node = nullptr;
  int32_t Level = 0;
  int32_t ImageIndex = -1;
  int32_t FolderIndex = -1;

  void AttachNode(TColNode* node);
  void StoreTreePosition();
  // Links to what was dropped on the collection tree: a file-list entry of
  // `folder` (item given), or a folder-tree node (item nullptr).
  void LinkTo(TLibFolder* folder, TLibFolderItem* item, TColNode* node);
};

// What recording a walk or an import into a library takes besides the
// library, for the time of one run (TRecordingScope): the operation that
// reports and can be stopped, the handler table that reads files, where
// the names of read tags go, and the add parameters.
struct TRecording {
  TOperation* Op = nullptr;                // none: silent and never stopped
  const THandlerList* Handlers = nullptr;  // none: no file is read (entries from text)
  TSortedStrings* TagNames = nullptr;      // none: the names are not collected
  // With Adding, the new volume takes category, comments and location, and
  // new folders and files take category and comments as the flags say.
  bool Adding = false;
  std::string Category;
  std::string Comments;
  std::string Location;
  bool ApplyToFolders = false;
  bool ApplyToFiles = false;
};

// What CheckSerialDuplicates found.
struct TSerialCheck {
  bool Unique = true;
  std::string Message;
  TFolderNode* FirstDuplicate = nullptr;
};

// The open library: both trees, the header fields and the lists. It owns
// every record; nodes, entries and collection items link each other with
// raw pointers that the library keeps valid.
//
// Threads: one thread at a time changes a library; while it does, no other
// thread reads it (the desktop program shows it busy, see
// TLibraryListener). Threads may read it side by side while nobody changes
// it. A library being built apart (a scan of a new volume) is read by
// nobody but its builder until it is spliced in.
class TLibObj {
 public:
  // `version` empty makes a detached object that only reads a file header.
  explicit TLibObj(std::string version = kLibraryVersion);
  ~TLibObj();
  TLibObj(const TLibObj&) = delete;
  TLibObj& operator=(const TLibObj&) = delete;

  TFolderNode* CurFolderNode = nullptr;
  TFolderNode* CurVolumeNode = nullptr;
  TFolderNode* CurArchiveNode = nullptr;
  std::string Version;
  std::string FileName;
  std::string Comments;
  std::string Category;
  TSortedStrings Categories;
  TSortedStrings Locations;
  bool Modified = false;
  int32_t FolderRecordCount = 0;
  int32_t VolumeCount = 0;
  int32_t FolderCount = 0;
  int32_t FileCount = 0;
  int64_t TotalSize = 0;
  int32_t CategoryCount = 0;
  int32_t CollectionRecordCount = 0;
  bool CountsValid = false;

  TTree<TLibFolder> Folders;
  TTree<TLibColItem> Collections;

  // --- tree upkeep ---
  // Appends a folder record as a node (top level when parent is nullptr).
  TFolderNode* AddFolderRecord(TFolderNode* parent, std::unique_ptr<TLibFolder> folder);
  TColNode* AddCollectionRecord(TColNode* parent, std::unique_ptr<TLibColItem> item);
  // Records an entry in `folder` with the kept-size rule; nullptr when the
  // name is taken (the new entry is then dropped).
  TLibFolderItem* AddItem(TLibFolder* folder, std::unique_ptr<TLibFolderItem> item);
  // Frees an entry: kept sizes shrink and its collection node goes.
  void DeleteItem(TLibFolderItem* item);
  // Frees a folder node with its subtree, entries and linked collection nodes.
  void DeleteFolderNode(TFolderNode* node);
  // Frees a collection node with its subtree; linked records lose their link.
  void DeleteCollectionNode(TColNode* node);
  // Moves a collection node with its subtree to the front of the children
  // of `parent` (of the top level for nullptr), reported as the removal of
  // its row and the insertion of the new one. False, and nothing moved,
  // when `parent` is the node itself or lies below it.
  bool MoveCollectionNode(TColNode* node, TColNode* parent);
  // Sorts the node and its siblings by their texts, in the collation of the
  // locale.
  void SortCollectionSiblings(TColNode* node);
  void Clear();
  void SortVolumes();
  // Moves volume `index` of another library, with everything below it, after
  // the volumes of this one and returns its node. The volume must have no
  // collection links (a new scan's has none).
  TFolderNode* AdoptVolume(TLibObj& from, int index);

  void RecountTotals();
  TFolderNode* FindFolderNode(TFolderNode* start, const std::string& path) const;
  TFolderNode* FindNodeByText(const std::string& text) const;
  static TFolderNode* RootOf(TFolderNode* node);
  void Relink(TLibColItem& item);

  // --- recording a scan, an update or an import ---
  // A new volume from a folder on the medium; it becomes CurVolumeNode.
  void NewVolume(const std::string& sourcePath, const std::string& title, const std::string& serial);
  TFolderNode* AddVolumeNode(const std::string& title, const std::string& sourcePath);
  // Makes CurFolderNode the folder of `path`, creating it when missing.
  void AddFolderPath(const std::string& path, TDateTime date);
  // A folder record for `path` below the folder of its parent path.
  TFolderNode* AddFolderNode(TFolderNode* start, std::string path);
  // Records one entry of `directory` in the current folder; never throws.
  void AddEntry(std::string directory, const std::string& name, int64_t size, TDateTime date, bool isFolder,
                bool progress);
  // The member list of a ZIP reader into CurArchiveNode.
  void AddZipMembers(const TZip& zip);
  // One member a RAR reader reported, into CurArchiveNode.
  void AddRarMember(const TDFRARHeaderData& header, const TRAR& rar);
  // Lists an archive into CurArchiveNode as a scan does, logging what fails;
  // `onRarHeader` also sees every header record a RAR archive reports.
  void ListArchive(const std::string& file, bool isRar,
                   const std::function<void(const TDFRARHeaderData&)>& onRarHeader = {});

  // --- update ---
  int MarkItems(TFolderNode* node, bool value);
  // Marks found what lies at a path on the medium that a walk into `volume`
  // could not read, so that no update deletes it: the entry there and, for
  // a folder, every entry of its record and of the records below.
  void KeepUnreadable(TFolderNode* volume, const std::string& path);
  int RemoveUnmarkedItems(TFolderNode* node);
  void ApplyAddDefaults(TFolderNode* node, bool force);

  // While a walk records into one volume, folder lookups from that volume
  // go through an index of its paths instead of walking it. Only appends
  // may happen meanwhile; deleting a folder node drops the index.
  void BeginPathIndex(TFolderNode* volume);
  void EndPathIndex();

  // --- load, save, import ---
  // Takes the writer's lock on `file` (links resolved) before it is read,
  // kept until the library object goes or another file is locked: every
  // save of that file then works from what was read under the lock.
  void LockForWriting(const std::string& file);
  // A library to be saved as `file`, which does not exist yet: a file that
  // appears there meanwhile is not replaced by the save.
  void StartNewFile(const std::string& file);
  // Reads `file` after checking its header, into this library or (merge)
  // beside what it holds. Raises EError "errFNF" for a missing file,
  // "errUnknownFile" for one of another format, "errDamagedFile" for damage.
  void OpenLibrary(const std::string& file, bool merge, TOperation& op, bool sortVolumes);
  void LoadLibrary(const std::string& file, bool merge, TOperation& op, bool sortVolumes);
  static bool LibraryFileExists(const std::string& file);
  // Replaces `file` (the file a link there points to) by the library,
  // holding its writer's lock meanwhile and removing the temporary files
  // killed saves left. Refuses with "errFileChanged" when the file the
  // library was read from changed since.
  void SaveLibrary(const std::string& file, TOperation& op);
  // The volumes of this serial and source folder, and the question that
  // names them in the texts given.
  TSerialCheck CheckSerialDuplicates(const std::string& serial, const std::string& path,
                                     const TMessageTable& texts) const;

  // The recording context of the run that records into this library now.
  const TRecording& Recording() const { return recording_ ? *recording_ : kNoRecording; }

  // --- views ---
  // The one listener told about changes (nullptr: none); not owned.
  void SetListener(TLibraryListener* listener) { listener_ = listener; }
  TLibraryListener* Listener() const { return listener_; }
  // Counts removals and resets: pointers to entries and folder records kept
  // from before (search rows) are good while it stays the same.
  uint64_t Generation() const { return generation_; }
  // Marks the library busy for the listener until the matching EndBusy;
  // nested pairs are told once. A window calls BeginBusy on its own thread
  // before it starts an operation on a worker, and EndBusy after.
  void BeginBusy();
  void EndBusy();
  class TBusyScope {
   public:
    explicit TBusyScope(TLibObj& lib) : lib_(lib) { lib_.BeginBusy(); }
    ~TBusyScope() { lib_.EndBusy(); }
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

   private:
    TLibObj& lib_;
  };
  // For callers that edit records in place: tells the listener.
  void ReportItemChanged(const TLibFolderItem* item);
  void ReportFolderChanged(TFolderNode* node);
  void ReportCollectionChanged(TColNode* node);

 private:
  void FreeFolderRecord(TLibFolder& folder);
  void UnlinkColItem(TLibColItem& item);
  // A folder record for `path` as the last child of `parent`.
  TFolderNode* AddChildFolder(TFolderNode* parent, const std::string& path);
  void LoadRecords(class TLibFile& file, bool merge, bool is22, TOperation& op);
  void WriteRecords(class TLibFile& file, TOperation& op);

  // The kept-size rule for an entry just recorded.
  void KeepSize(TLibFolderItem* item);

  // The recording's reports: nothing when it has no operation.
  void Log(const std::string& line) const;
  std::string Text(const std::string& key, std::initializer_list<std::string> values = {}) const;
  bool StatusDue() const;
  void Status(const std::string& status, int64_t position = -1) const;
  void CheckStop() const;
  bool StopRequested() const;
  void IndexFolderNode(TFolderNode* node);
  TFolderNode* FindIndexed(TFolderNode* start, const std::string& path) const;

  friend class TRecordingScope;
  static const TRecording kNoRecording;
  const TRecording* recording_ = nullptr;

  // The listener to tell now: none while a load reports in one block.
  TLibraryListener* Events() const { return quiet_ == 0 ? listener_ : nullptr; }
  // Inserts an entry at its sorted row and tells the listener; nullptr when
  // the name is taken (the entry is then dropped).
  TLibFolderItem* InsertItem(TLibFolder* folder, std::unique_ptr<TLibFolderItem> item);
  friend class TQuietLoad;
  TLibraryListener* listener_ = nullptr;
  int busy_ = 0;
  int quiet_ = 0;
  uint64_t generation_ = 0;
  // The file the library was last read from or saved to (links resolved),
  // and its stamp then.
  std::string stampedFile_;
  TFileStamp stamp_;
  std::unique_ptr<TFileLock> writerLock_;
  // Folder nodes of the indexed volume by source path and by library path.
  TFolderNode* indexRoot_ = nullptr;
  // Keyed by the hashes of the paths: the paths themselves would take the
  // square of a deep tree's depth.
  using TPathIndex = std::unordered_multimap<size_t, TFolderNode*>;
  TPathIndex sourceIndex_;
  TPathIndex pathIndex_;
  // Folder records by AbsIndex while collection records are relinked.
  std::unordered_map<int32_t, TLibFolder*> relinkIndex_;
};

// Sets the recording context of a library for its scope.
class TRecordingScope {
 public:
  TRecordingScope(TLibObj& lib, const TRecording& recording)
      : lib_(lib), previous_(std::exchange(lib.recording_, &recording)) {}
  ~TRecordingScope() { lib_.recording_ = previous_; }
  TRecordingScope(const TRecordingScope&) = delete;
  TRecordingScope& operator=(const TRecordingScope&) = delete;

 private:
  TLibObj& lib_;
  const TRecording* previous_;
};

}  // namespace tw
