// Moving a whole library between memory and its file: open, merge, save,
// the save-changes question and the serial check of a new volume.
#include <sys/stat.h>

#include <optional>

#include "base/Error.h"
#include "base/Messages.h"
#include "base/Operation.h"
#include "core/LibClasses.h"
#include "core/LibFile.h"

namespace tw {
namespace {

bool FileExists(const std::string& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0;
}

// The node under which a record of level `level` goes, after `last` (the
// node placed last): nullptr for the top level. Raises EDamagedFile for a
// level that no writer produces.
template <class Node>
Node* ParentForLevel(Node* last, int32_t level, int64_t at) {
  if (!last) return nullptr;
  if (level < 0) throw EDamagedFile(at, "a negative level " + std::to_string(level));
  if (level == last->Level()) return last->Parent();
  if (level == last->Level() + 1) return last;
  if (level > last->Level())
    throw EDamagedFile(at, "a level jump from " + std::to_string(last->Level()) + " to " + std::to_string(level));
  Node* p = last->Parent();
  while (p->Level() > level) p = p->Parent();
  return p->Parent();
}

void CheckCount(int64_t at, int32_t count, const char* what) {
  if (count < 0) throw EDamagedFile(at, "a count of " + std::to_string(count) + " " + what);
}

// Counts are never trusted: each record must fit in the bytes left.
void CheckRoom(const TLibFile& f, int64_t minSize, int64_t index, int64_t count, const char* what) {
  if (f.Remaining() < minSize)
    throw EDamagedFile(f.Position(), "the file ends before " + std::string(what) + " " + std::to_string(index + 1) +
                                         " of " + std::to_string(count));
}

}  // namespace

bool TLibObj::LibraryFileExists(const std::string& file) { return FileExists(file); }

void TLibObj::LockForWriting(const std::string& file) {
  const std::string target = ResolveLinks(file);
  if (writerLock_ && writerLock_->Target() == target) return;
  writerLock_.reset();
  writerLock_ = std::make_unique<TFileLock>(target, file, TFileLock::kDefaultWait);
}

void TLibObj::StartNewFile(const std::string& file) {
  FileName = file;
  stampedFile_ = ResolveLinks(file);
  stamp_ = TFileStamp::Of(stampedFile_);
}

void TLibObj::OpenLibrary(const std::string& file, bool merge, TOperation& op, bool sortVolumes) {
  if (!LibraryFileExists(file)) throw EError("errFNF", {file});
  TLibObj header("");
  std::string why;
  {
    TLibFile f(file, TLibFile::TMode::Read);
    try {
      f.ReadHeader(header);
    } catch (const EDamagedFile& e) {
      header.Version.clear();  // not even a header: an unknown file
      why = f.FileSize() == 0 ? "an empty file" : std::to_string(f.FileSize()) + " bytes, " + e.what();
    }
  }
  if (header.Version != Version && header.Version != kLibraryVersion22) {
    std::string text = file + ": " + op.Text("errUnknownFile");
    if (!why.empty()) text += " (" + why + ")";
    throw EError(text);
  }
  LoadLibrary(file, merge, op, sortVolumes);
}

// Holds back the listener's calls while a load adds records one by one:
// the load reports them in one block when it ends.
class TQuietLoad {
 public:
  explicit TQuietLoad(TLibObj& lib) : lib_(lib) { ++lib_.quiet_; }
  ~TQuietLoad() { --lib_.quiet_; }
  TQuietLoad(const TQuietLoad&) = delete;
  TQuietLoad& operator=(const TQuietLoad&) = delete;

 private:
  TLibObj& lib_;
};

void TLibObj::LoadLibrary(const std::string& file, bool merge, TOperation& op, bool sortVolumes) {
  if (!LibraryFileExists(file)) throw EError("errFNF", {file});
  TLibFile f(file, TLibFile::TMode::Read);
  const TBusyScope busy(*this);
  TLibraryListener* events = Events();
  const int firstVolume = merge ? Folders.TopCount() : 0;
  const int firstCollection = merge ? Collections.TopCount() : 0;
  if (events && !merge) events->OnResetting();
  std::optional<TQuietLoad> quiet(std::in_place, *this);
  if (!merge) {
    Clear();
    FileName = file;
    Categories.Clear();
    Locations.Clear();
    stampedFile_ = ResolveLinks(file);
    stamp_ = f.Stamp();
  }
  TLibObj header("");
  bool began = false;
  std::exception_ptr failure;
  try {
    f.ReadHeader(header);
    if (header.Version != Version && header.Version != kLibraryVersion22)
      throw EError(file + ": " + op.Text("errWrongFile"));
    op.Begin(op.Text("msgsLoading", {file}), f.FileSize());
    began = true;
    if (!merge) {
      Comments = header.Comments;
      Category = header.Category;
    }
    FolderRecordCount = header.FolderRecordCount;
    CollectionRecordCount = header.CollectionRecordCount;
    CategoryCount = header.CategoryCount;
    LoadRecords(f, merge, header.Version == kLibraryVersion22, op);
    // Counts lower than the records written: what follows would be lost
    // by the next save.
    if (f.Remaining() > 0)
      throw EDamagedFile(f.Position(), std::to_string(f.Remaining()) + " bytes after the last record");
  } catch (...) {
    failure = std::current_exception();
  }
  relinkIndex_.clear();
  quiet.reset();
  // What was read, also before a failure, as one block.
  if (events && !merge) events->OnReset();
  if (events && merge) {
    const TLibraryChange volumes{
        .Kind = TLibraryChange::TKind::Folders, .First = firstVolume, .Count = Folders.TopCount() - firstVolume};
    const TLibraryChange collections{.Kind = TLibraryChange::TKind::Collections,
                                     .First = firstCollection,
                                     .Count = Collections.TopCount() - firstCollection};
    for (const TLibraryChange& block : {volumes, collections}) {
      if (block.Count == 0) continue;
      events->OnInserting(block);
      events->OnInserted(block);
    }
  }
  if (sortVolumes) SortVolumes();
  RecountTotals();
  if (began) op.End(op.Text("msgsLoaded", {file}));
  Modified = merge || header.Version != Version;
  if (!failure) return;
  try {
    std::rethrow_exception(failure);
  } catch (const EDamagedFile& e) {
    throw EError("errDamagedFile", {file, std::to_string(e.Offset()), e.what()});
  }
}

void TLibObj::LoadRecords(TLibFile& f, bool merge, bool is22, TOperation& op) {
  // A merged file's folder indexes count from the first folder it adds, so
  // its collection links find its own folders.
  int64_t offset = 0;
  if (merge) {
    Folders.ForEach([](TFolderNode* n) { n->Data()->StoreTreePosition(); });
    offset = static_cast<int64_t>(Folders.Count());
  }
  const int64_t minItem = is22 ? kMinItemRecord22 : kMinItemRecord23;
  CheckCount(f.Position(), FolderRecordCount, "folder records");
  CheckCount(f.Position(), CollectionRecordCount, "collection records");
  CheckCount(f.Position(), CategoryCount, "categories");

  TFolderNode* last = nullptr;
  for (int32_t i = 0; i < FolderRecordCount; ++i) {
    int64_t at = f.Position();
    CheckRoom(f, kMinFolderRecord, i, FolderRecordCount, "folder record");
    auto folder = std::make_unique<TLibFolder>();
    f.ReadFolder(*folder);
    if (folder->IsFolder != 0 && folder->IsFolder != 1)
      throw EDamagedFile(at, "a folder record of kind " + std::to_string(folder->IsFolder));
    op.Step(op.StepDue() ? folder->Name + "\\" : std::string(), f.Position());
    op.CheckStop();

    if (folder->IsFolder == 0) last = nullptr;  // a volume always starts a new top-level node
    TFolderNode* parent = ParentForLevel(last, folder->Level, at);
    if (!parent && folder->IsFolder == 1) throw EDamagedFile(at, "a folder record outside any volume");
    if (merge) folder->AbsIndex = static_cast<int32_t>(folder->AbsIndex + offset);
    TLibFolder* record = folder.get();
    last = AddFolderRecord(parent, std::move(folder));

    if (!record->Location.empty()) Locations.Add(record->Location);
    CheckCount(at, record->ItemCount, "file entries");
    for (int32_t j = 0; j < record->ItemCount; ++j) {
      op.CheckStop();
      CheckRoom(f, minItem, j, record->ItemCount, "file entry");
      auto item = std::make_unique<TLibFolderItem>();
      if (is22)
        f.ReadEntry22(*item);
      else
        f.ReadEntry23(*item);
      AddItem(record, std::move(item));
    }
  }

  Folders.ForEach([&](TFolderNode* n) { relinkIndex_.emplace(n->Data()->AbsIndex, n->Data()); });
  TColNode* lastCol = nullptr;
  for (int32_t i = 0; i < CollectionRecordCount; ++i) {
    int64_t at = f.Position();
    CheckRoom(f, kMinColRecord, i, CollectionRecordCount, "collection record");
    auto item = std::make_unique<TLibColItem>(std::string());
    f.ReadColItem(*item);
    if (merge && item->FolderIndex != -1) item->FolderIndex = static_cast<int32_t>(item->FolderIndex + offset);
    TColNode* parent = ParentForLevel(lastCol, item->Level, at);
    TLibColItem* c = item.get();
    lastCol = AddCollectionRecord(parent, std::move(item));
    op.Step(op.StepDue() ? op.Text("msgsLoadingCol", {c->Caption}) : std::string(), f.Position());
    Relink(*c);
    c->AttachNode(lastCol);
    op.CheckStop();
  }

  for (int32_t i = 0; i < CategoryCount; ++i) {
    CheckRoom(f, kMinCategory, i, CategoryCount, "category");
    std::string category = f.ReadStr();
    Categories.Add(category);
    op.Step(op.StepDue() ? op.Text("msgsLoadingCat", {category}) : std::string(), f.Position());
    op.CheckStop();
  }
}

void TLibObj::SaveLibrary(const std::string& file, TOperation& op) {
  FileName = file;
  RecountTotals();
  const std::string target = ResolveLinks(file);
  std::unique_ptr<TFileLock> ownLock;
  if (!writerLock_ || writerLock_->Target() != target)
    ownLock = std::make_unique<TFileLock>(target, file, TFileLock::kDefaultWait);
  RemoveStaleTemporaries(target);
  // A file that is gone holds nothing to lose: the save writes it again.
  if (const TFileStamp now = TFileStamp::Of(target); target == stampedFile_ && now.Exists && now != stamp_)
    throw EError("errFileChanged", {file});

  TProgressScope progress(op, op.Text("msgsSaving", {FileName}), FolderCount);
  try {
    // The new file is written beside the old one and replaces it only when
    // complete and on disk: a failed or stopped save leaves the old file as it was.
    TAtomicFile out(target, file);
    {
      TLibFile f(out.TempName(), TLibFile::TMode::Create, file);
      FolderRecordCount = static_cast<int32_t>(Folders.Count());
      CollectionRecordCount = static_cast<int32_t>(Collections.Count());
      CategoryCount = Categories.Count();
      f.WriteHeader(*this);
      WriteRecords(f, op);
      f.Commit();
    }
    stamp_ = out.Commit();
    stampedFile_ = target;
  } catch (const EValueTooLong& e) {
    throw EError("errValueTooLong", {e.Record(), std::to_string(e.Length())});
  }
  progress.Close(op.Text("msgsSaved", {FileName}));
  Modified = false;
}

void TLibObj::WriteRecords(TLibFile& f, TOperation& op) {
  int64_t written = 0;
  for (TFolderNode* n = Folders.GetFirstNode(); n; n = n->GetNext()) {
    TLibFolder& folder = *n->Data();
    folder.StoreTreePosition();
    try {
      f.WriteFolder(folder);
    } catch (const EValueTooLong& e) {
      throw EValueTooLong(folder.GetPath(), e.Length());
    }
    ++written;
    op.Step(op.StepDue() ? folder.GetPath() : std::string(), written);
    op.CheckStop();
    for (const auto& item : folder.Items) {
      try {
        f.WriteEntry(*item);
      } catch (const EValueTooLong& e) {
        throw EValueTooLong(item->GetItemPath(), e.Length());
      }
      op.CheckStop();
    }
  }
  written = 0;
  for (TColNode* n = Collections.GetFirstNode(); n; n = n->GetNext()) {
    TLibColItem& c = *n->Data();
    c.StoreTreePosition();
    try {
      f.WriteColItem(c);
    } catch (const EValueTooLong& e) {
      throw EValueTooLong(c.Caption, e.Length());
    }
    ++written;
    op.Step(op.StepDue() ? op.Text("msgsSavingCol", {c.Caption}) : std::string(), written);
    op.CheckStop();
  }
  written = 0;
  for (const auto& category : Categories) {
    try {
      f.WriteStr(category);
    } catch (const EValueTooLong& e) {
      throw EValueTooLong(category.substr(0, 64), e.Length());
    }
    ++written;
    op.Step(op.StepDue() ? op.Text("msgsSavingCat", {category}) : std::string(), written);
    op.CheckStop();
  }
}

TSerialCheck TLibObj::CheckSerialDuplicates(const std::string& serial, const std::string& path,
                                             const TMessageTable& texts) const {
  TSerialCheck result;
  if (Folders.TopCount() == 0 || serial.empty()) return result;
  result.Message = Format(texts.GetText("confSerDup"), {serial}) + "\r\n";
  int found = 0;
  for (int i = 0; i < Folders.TopCount(); ++i) {
    TFolderNode* node = Folders.Top(i);
    const TLibFolder* volume = node->Data();
    // Paths on the medium are case-sensitive: compared exactly.
    if (volume->Serial != serial || volume->SourcePath != path) continue;
    result.Unique = false;
    if (++found == 1) result.FirstDuplicate = node;
    if (found <= 9)
      result.Message += volume->Name + "\r\n";
    else if (found == 10)
      result.Message += "..\r\n";
  }
  result.Message += "\r\n" + texts.GetText("confContinue");
  return result;
}

}  // namespace tw
