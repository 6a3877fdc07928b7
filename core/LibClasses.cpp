#include "core/LibClasses.h"

#include <algorithm>
#include <clocale>
#include <cstring>
#include <unordered_set>

#include "base/CaseFold.h"
#include "base/Error.h"
#include "base/Messages.h"
#include "base/TextUtils.h"

namespace tw {
namespace {

// Name of the last component of a path on the medium: one trailing "/"
// dropped, then everything up to the last "/".
std::string SourceName(const std::string& path) {
  std::string p = path;
  if (!p.empty() && p.back() == '/') p.pop_back();
  auto slash = p.rfind('/');
  return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The chain of records from the volume down to `f`.
std::vector<const TLibFolder*> ChainFromVolume(const TLibFolder* f) {
  std::vector<const TLibFolder*> chain;
  for (; f; f = f->Parent) chain.push_back(f);
  std::reverse(chain.begin(), chain.end());
  return chain;
}

}  // namespace

// ---------------------------------------------------------------- TItemList

size_t TItemList::LowerBound(std::string_view name) const {
  // Appending in order is the common case (loading, sorted scans).
  if (items_.empty() || CompareNames(items_.back()->Name, name) < 0) return items_.size();
  auto it = std::lower_bound(items_.begin(), items_.end(), name,
                             [](const std::unique_ptr<TLibFolderItem>& a, std::string_view b) {
                               return CompareNames(a->Name, b) < 0;
                             });
  return static_cast<size_t>(it - items_.begin());
}

std::pair<TLibFolderItem*, bool> TItemList::Add(std::unique_ptr<TLibFolderItem> item) {
  size_t pos = LowerBound(item->Name);
  if (pos < items_.size() && items_[pos]->Name == item->Name) return {items_[pos].get(), false};
  auto it = items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(pos), std::move(item));
  return {it->get(), true};
}

TLibFolderItem* TItemList::FindExact(std::string_view name) const {
  size_t pos = LowerBound(name);
  return pos < items_.size() && items_[pos]->Name == name ? items_[pos].get() : nullptr;
}

TLibFolderItem* TItemList::Find(std::string_view name) const {
  if (TLibFolderItem* exact = FindExact(name)) return exact;
  // Names equal without regard to case form one run; take its first entry.
  auto it = std::lower_bound(items_.begin(), items_.end(), name,
                             [](const std::unique_ptr<TLibFolderItem>& a, std::string_view b) {
                               return CompareText(a->Name, b) < 0;
                             });
  return it != items_.end() && CompareText((*it)->Name, name) == 0 ? it->get() : nullptr;
}

int TItemList::IndexOf(const TLibFolderItem* item) const {
  size_t pos = LowerBound(item->Name);
  return pos < items_.size() && items_[pos].get() == item ? static_cast<int>(pos) : -1;
}

int TItemList::PositionFor(std::string_view name) const {
  size_t pos = LowerBound(name);
  return pos < items_.size() && items_[pos]->Name == name ? -1 : static_cast<int>(pos);
}

TLibFolderItem* TItemList::InsertAt(int row, std::unique_ptr<TLibFolderItem> item) {
  return items_.insert(items_.begin() + row, std::move(item))->get();
}

std::unique_ptr<TLibFolderItem> TItemList::Extract(int index) {
  auto owned = std::move(items_[index]);
  items_.erase(items_.begin() + index);
  return owned;
}

// --------------------------------------------------------------- TLibFolder

TLibFolder::TLibFolder(const std::string& path) : Name(SourceName(path)) {}

std::string TLibFolder::GetPath() const {
  auto chain = ChainFromVolume(this);
  const std::string& vol = chain.front()->Name;
  std::string path = vol;
  auto first = path.find('\\');
  if (first != std::string::npos && first + 1 == path.size()) path.pop_back();
  path += '\\';
  for (size_t i = 1; i < chain.size(); ++i) path.append(chain[i]->Name).append(1, '\\');
  return path;
}

std::string TLibFolder::GetSourcePath() const {
  auto chain = ChainFromVolume(this);
  std::string path = chain.front()->SourcePath;
  for (size_t i = 1; i < chain.size(); ++i) path.append(chain[i]->Name).append(1, '/');
  return path;
}

std::string TLibFolder::GetDisplayPath() const {
  auto chain = ChainFromVolume(this);
  std::string path = "[" + chain.front()->Name + "]\\";
  for (size_t i = 1; i < chain.size(); ++i) path.append(chain[i]->Name).append(1, '\\');
  return path;
}

TLibFolder* TLibFolder::GetVolume() {
  TLibFolder* f = this;
  while (f->Parent) f = f->Parent;
  return f;
}

bool TLibFolder::IsArchiveFolder() const { return IsArchiveName(Name); }

int64_t TLibFolder::GetFilesSize() const {
  int64_t total = 0;
  for (const auto& item : Items) total = AddSizes(total, item->Size);
  return total;
}

int64_t TLibFolder::GetSize() const {
  if (IsVolume()) return KeptSize;
  int64_t total = 0;
  for (const auto& item : Items)
    total = AddSizes(total, item->IsFolder ? item->GetTargetFolder()->KeptSize : item->Size);
  return total;
}

TLibFolder* TLibFolder::ChildFolder(std::string_view name) const {
  if (!Node) return nullptr;
  for (int i = 0; i < Node->Count(); ++i)
    if (Node->Item(i)->Data()->Name == name) return Node->Item(i)->Data();
  return nullptr;
}

void TLibFolder::PropagateToChildren(bool overwrite) {
  std::vector<TLibFolder*> pending{this};
  while (!pending.empty()) {
    TLibFolder* f = pending.back();
    pending.pop_back();
    for (const auto& item : f->Items) {
      if (item->Category.empty() || overwrite) item->Category = f->Category;
      if (item->Comments.empty() || overwrite) item->Comments = f->Comments;
      if (!item->IsFolder) continue;
      // A folder entry without a folder record of its own has nothing below.
      TLibFolder* target = item->GetTargetFolder();
      if (target == f) continue;
      if (target->Category.empty() || overwrite) target->Category = f->Category;
      if (target->Comments.empty() || overwrite) target->Comments = f->Comments;
      pending.push_back(target);
    }
  }
}

void TLibFolder::StoreTreePosition() {
  Level = Node->Level();
  AbsIndex = Node->AbsoluteIndex();
}

// ----------------------------------------------------------- TLibFolderItem

std::unique_ptr<TLibFolderItem> TLibFolderItem::CreateFile(const std::string& path, int64_t size, TDateTime date) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = SourceName(path);
  item->Size = size;
  item->Date = date;
  return item;
}

std::unique_ptr<TLibFolderItem> TLibFolderItem::CreateFolder(const std::string& path, TDateTime date) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = SourceName(path);
  item->Date = date;
  item->IsFolder = true;
  return item;
}

TLibFolder* TLibFolderItem::GetTargetFolder() const {
  if (!IsFolder || !Folder) return Folder;
  if (Target) return Target;
  TLibFolder* child = Folder->ChildFolder(Name);
  return child ? child : Folder;
}

TLibFolder* TLibFolderItem::GetVolume() const { return Folder ? Folder->GetVolume() : nullptr; }

std::string TLibFolderItem::GetItemPath() const { return Folder ? Folder->GetPath() + Name : Name; }

std::string TLibFolderItem::GetItemSourcePath() const { return Folder ? Folder->GetSourcePath() + Name : Name; }

std::string TLibFolderItem::GetExtension() const {
  if (IsFolder) return {};
  auto dot = Name.rfind('.');
  return dot == std::string::npos ? std::string() : LowerAscii(std::string_view(Name).substr(dot + 1));
}

bool TLibFolderItem::IsArchive() const { return IsArchiveName(Name); }

// -------------------------------------------------------------- TLibColItem

void TLibColItem::AttachNode(TColNode* node) {
  Node = node;
  Level = node->Level();
  FolderIndex = Folder ? Folder->AbsIndex : -1;
  switch (Kind) {
    case ckVolume: node->ImageIndex = 1, node->SelectedIndex = 2; break;
    case ckFolder: node->ImageIndex = 3, node->SelectedIndex = 4; break;
    case ckFile: node->ImageIndex = 5, node->SelectedIndex = 5; break;
    case ckArchive: node->ImageIndex = 6, node->SelectedIndex = 6; break;
    case ckMemo:
      if (ImageIndex < 0) ImageIndex = 0;
      node->ImageIndex = ImageIndex, node->SelectedIndex = ImageIndex;
      break;
    default: break;
  }
}

void TLibColItem::StoreTreePosition() {
  FolderIndex = -1;
  Level = Node->Level();
  if (Folder) FolderIndex = Folder->AbsIndex;
}

void TLibColItem::LinkTo(TLibFolder* folder, TLibFolderItem* item, TColNode* node) {
  if (item) {
    Folder = folder;
    Item = item;
    if (item->IsFolder) {
      Folder = item->GetTargetFolder();
      Item = nullptr;
      Kind = ckFolder;
      Folder->ColNode = node;
      node->Text = Folder->Name;
      Path = Folder->GetPath();
    } else {
      Kind = ckFile;
      item->ColNode = node;
      Path = item->GetItemPath();
      node->Text = item->Name;
    }
  } else {
    Kind = ckFolder;
    Folder = folder;
    folder->ColNode = node;
    Path = folder->GetPath();
    node->Text = folder->Name;
  }
  if (Folder && Kind != ckFile) {
    if (Folder->IsVolume())
      Kind = ckVolume;
    else if (Folder->IsArchiveFolder())
      Kind = ckArchive;
  }
  AttachNode(node);
  Caption = node->Text;
}

// ------------------------------------------------------------------ TLibObj

const TRecording TLibObj::kNoRecording{};

TLibObj::TLibObj(std::string version) : Version(std::move(version)) {}

void TLibObj::Log(const std::string& line) const {
  if (Recording().Op) Recording().Op->Log(line);
}

std::string TLibObj::Text(const std::string& key, std::initializer_list<std::string> values) const {
  return Recording().Op ? Recording().Op->Text(key, values) : Format(BuiltInText(key), values);
}

bool TLibObj::StatusDue() const { return Recording().Op && Recording().Op->StepDue(); }

void TLibObj::Status(const std::string& status, int64_t position) const {
  if (Recording().Op) Recording().Op->Step(status, position);
}

void TLibObj::CheckStop() const {
  if (Recording().Op) Recording().Op->CheckStop();
}

bool TLibObj::StopRequested() const { return Recording().Op && Recording().Op->StopRequested(); }

TLibObj::~TLibObj() {
  listener_ = nullptr;
  Clear();
}

TFolderNode* TLibObj::AddFolderRecord(TFolderNode* parent, std::unique_ptr<TLibFolder> folder) {
  TLibFolder* f = folder.get();
  f->Parent = parent ? parent->Data() : nullptr;
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Folders,
                              .Folder = parent,
                              .First = parent ? parent->Count() : Folders.TopCount(),
                              .Count = 1};
  TLibraryListener* events = Events();
  if (events) events->OnInserting(change);
  TFolderNode* node = Folders.Add(parent, std::move(folder), f->Name);
  f->Node = node;
  // The entry of the folder's name in its parent stands for it from now on:
  // the first record of a name keeps it.
  if (parent)
    if (TLibFolderItem* entry = parent->Data()->Items.FindExact(f->Name); entry && !entry->Target) entry->Target = f;
  if (indexRoot_ && RootOf(node) == indexRoot_) IndexFolderNode(node);
  if (f->IsVolume()) {
    node->ImageIndex = fiVolume, node->SelectedIndex = fiVolumeSelected;
  } else {
    node->ImageIndex = f->IsArchiveFolder() ? fiArchive : fiFolder;
    node->SelectedIndex = fiFolderSelected;
  }
  if (events) events->OnInserted(change);
  return node;
}

TColNode* TLibObj::AddCollectionRecord(TColNode* parent, std::unique_ptr<TLibColItem> item) {
  TLibColItem* c = item.get();
  std::string caption = c->Caption;
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Collections,
                              .Collection = parent,
                              .First = parent ? parent->Count() : Collections.TopCount(),
                              .Count = 1};
  TLibraryListener* events = Events();
  if (events) events->OnInserting(change);
  TColNode* node = Collections.Add(parent, std::move(item), std::move(caption));
  c->Node = node;
  if (events) events->OnInserted(change);
  return node;
}

TLibFolderItem* TLibObj::InsertItem(TLibFolder* folder, std::unique_ptr<TLibFolderItem> item) {
  const int row = folder->Items.PositionFor(item->Name);
  if (row < 0) return nullptr;
  item->Folder = folder;
  // A folder entry added after its record finds it once, here.
  if (item->IsFolder && !item->Target) item->Target = folder->ChildFolder(item->Name);
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Items, .Folder = folder->Node, .First = row, .Count = 1};
  TLibraryListener* events = folder->Node ? Events() : nullptr;
  if (events) events->OnInserting(change);
  TLibFolderItem* entry = folder->Items.InsertAt(row, std::move(item));
  if (events) events->OnInserted(change);
  return entry;
}

TLibFolderItem* TLibObj::AddItem(TLibFolder* folder, std::unique_ptr<TLibFolderItem> item) {
  TLibFolderItem* entry = InsertItem(folder, std::move(item));
  if (entry) KeepSize(entry);
  return entry;
}

TFolderNode* TLibObj::AdoptVolume(TLibObj& from, int index) {
  from.EndPathIndex();
  if (from.CurVolumeNode == from.Folders.Top(index)) from.CurVolumeNode = from.CurFolderNode = from.CurArchiveNode = nullptr;
  std::unique_ptr<TFolderNode> volume = from.Folders.TakeTop(index);
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Folders, .First = Folders.TopCount(), .Count = 1};
  TLibraryListener* events = Events();
  if (events) events->OnInserting(change);
  TFolderNode* node = Folders.AddTop(std::move(volume));
  if (events) events->OnInserted(change);
  return node;
}

void TLibObj::BeginBusy() {
  if (busy_++ == 0 && listener_) listener_->OnBusy(true);
}

void TLibObj::EndBusy() {
  if (--busy_ == 0 && listener_) listener_->OnBusy(false);
}

void TLibObj::ReportItemChanged(const TLibFolderItem* item) {
  TLibraryListener* events = Events();
  if (!events || !item->Folder || !item->Folder->Node) return;
  const int row = item->Folder->Items.IndexOf(item);
  if (row >= 0)
    events->OnChanged({.Kind = TLibraryChange::TKind::Items, .Folder = item->Folder->Node, .First = row, .Count = 1});
}

void TLibObj::ReportFolderChanged(TFolderNode* node) {
  if (TLibraryListener* events = Events())
    events->OnChanged(
        {.Kind = TLibraryChange::TKind::Folders, .Folder = node->Parent(), .First = node->Index(), .Count = 1});
}

void TLibObj::ReportCollectionChanged(TColNode* node) {
  if (TLibraryListener* events = Events())
    events->OnChanged({.Kind = TLibraryChange::TKind::Collections,
                       .Collection = node->Parent(),
                       .First = node->Index(),
                       .Count = 1});
}

void TLibObj::KeepSize(TLibFolderItem* entry) {
  if (entry->Size == 0) return;
  TLibFolder* folder = entry->Folder;
  folder->KeptSize = AddSizes(folder->KeptSize, entry->Size);
  TLibFolder* volume = folder->GetVolume();
  if (entry->GetTargetFolder() != volume) volume->KeptSize = AddSizes(volume->KeptSize, entry->Size);
}

void TLibObj::DeleteItem(TLibFolderItem* item) {
  TLibFolder* folder = item->Folder;
  if (item->Size != 0) {
    TLibFolder* target = item->GetTargetFolder();
    TLibFolder* volume = folder->GetVolume();
    target->KeptSize = SubtractSizes(target->KeptSize, item->Size);
    if (target != volume) volume->KeptSize = SubtractSizes(volume->KeptSize, item->Size);
  }
  if (item->ColNode) DeleteCollectionNode(item->ColNode);
  // Other collection entries that point here lose their link.
  Collections.ForEach([&](TColNode* n) {
    if (n->Data()->Item == item) n->Data()->Item = nullptr;
  });
  const int index = folder->Items.IndexOf(item);
  if (index < 0) return;
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Items, .Folder = folder->Node, .First = index, .Count = 1};
  TLibraryListener* events = folder->Node ? Events() : nullptr;
  if (events) events->OnRemoving(change);
  ++generation_;
  folder->Items.Extract(index);
  if (events) events->OnRemoved(change);
}

void TLibObj::UnlinkColItem(TLibColItem& c) {
  if (c.Item && c.Item->ColNode == c.Node) c.Item->ColNode = nullptr;
  if (c.Folder && c.Folder->ColNode == c.Node) c.Folder->ColNode = nullptr;
}

void TLibObj::DeleteCollectionNode(TColNode* node) {
  for (TColNode* n = node; n && n != node->GetNextSkippingChildren(); n = n->GetNext()) UnlinkColItem(*n->Data());
  const TLibraryChange change{
      .Kind = TLibraryChange::TKind::Collections, .Collection = node->Parent(), .First = node->Index(), .Count = 1};
  TLibraryListener* events = Events();
  if (events) events->OnRemoving(change);
  ++generation_;
  Collections.Delete(node);
  if (events) events->OnRemoved(change);
}

bool TLibObj::MoveCollectionNode(TColNode* node, TColNode* parent) {
  for (TColNode* p = parent; p; p = p->Parent())
    if (p == node) return false;
  TLibraryListener* events = Events();
  const TLibraryChange removal{
      .Kind = TLibraryChange::TKind::Collections, .Collection = node->Parent(), .First = node->Index(), .Count = 1};
  if (events) events->OnRemoving(removal);
  std::unique_ptr<TColNode> owned = Collections.Take(node);
  if (events) events->OnRemoved(removal);
  const TLibraryChange insertion{.Kind = TLibraryChange::TKind::Collections, .Collection = parent, .First = 0, .Count = 1};
  if (events) events->OnInserting(insertion);
  Collections.Insert(parent, 0, std::move(owned));
  if (events) events->OnInserted(insertion);
  return true;
}

void TLibObj::SortCollectionSiblings(TColNode* node) {
  TColNode* parent = node->Parent();
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Collections,
                              .Collection = parent,
                              .First = 0,
                              .Count = parent ? parent->Count() : Collections.TopCount()};
  TLibraryListener* events = Events();
  if (events) events->OnReordering(change);
  Collections.SortChildren(parent,
                           [](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()) < 0; });
  if (events) events->OnReordered(change);
}

void TLibObj::DeleteFolderNode(TFolderNode* node) {
  EndPathIndex();
  std::unordered_set<const TLibFolder*> folders;
  std::unordered_set<const TLibFolderItem*> items;
  TFolderNode* end = node->GetNextSkippingChildren();
  for (TFolderNode* n = node; n != end; n = n->GetNext()) {
    TLibFolder* f = n->Data();
    folders.insert(f);
    TLibFolder* volume = f->GetVolume();
    for (const auto& item : f->Items) {
      items.insert(item.get());
      if (item->Size == 0) continue;
      TLibFolder* target = item->GetTargetFolder();
      target->KeptSize = SubtractSizes(target->KeptSize, item->Size);
      if (target != volume) volume->KeptSize = SubtractSizes(volume->KeptSize, item->Size);
    }
  }
  // Collection nodes that a freed record links back to go with it; any other
  // collection entry pointing into the freed records keeps only its path.
  std::unordered_set<const TLibColItem*> doomed;
  Collections.ForEach([&](TColNode* n) {
    TLibColItem* c = n->Data();
    bool folderGone = c->Folder && folders.count(c->Folder);
    bool itemGone = c->Item && items.count(c->Item);
    if ((folderGone && c->Folder->ColNode == n) || (itemGone && c->Item->ColNode == n)) doomed.insert(c);
    if (folderGone) c->Folder = nullptr;
    if (itemGone) c->Item = nullptr;
  });
  for (TColNode* n = Collections.GetFirstNode(); n;) {
    if (doomed.count(n->Data())) {
      TColNode* next = n->GetNextSkippingChildren();
      DeleteCollectionNode(n);
      n = next;
    } else {
      n = n->GetNext();
    }
  }
  for (TFolderNode** cur : {&CurFolderNode, &CurVolumeNode, &CurArchiveNode})
    if (*cur && folders.count((*cur)->Data())) *cur = nullptr;
  // The entry that stood for the folder now stands for nothing.
  if (TLibFolder* parent = node->Data()->Parent)
    for (const auto& item : parent->Items)
      if (item->Target == node->Data()) item->Target = nullptr;
  const TLibraryChange change{
      .Kind = TLibraryChange::TKind::Folders, .Folder = node->Parent(), .First = node->Index(), .Count = 1};
  TLibraryListener* events = Events();
  if (events) events->OnRemoving(change);
  ++generation_;
  Folders.Delete(node);
  if (events) events->OnRemoved(change);
}

void TLibObj::Clear() {
  TLibraryListener* events = Events();
  if (events) events->OnResetting();
  EndPathIndex();
  ++generation_;
  Collections.Clear();
  Folders.Clear();
  CurFolderNode = CurVolumeNode = CurArchiveNode = nullptr;
  relinkIndex_.clear();
  if (events) events->OnReset();
}

void TLibObj::SortVolumes() {
  const TLibraryChange change{.Kind = TLibraryChange::TKind::Folders, .First = 0, .Count = Folders.TopCount()};
  TLibraryListener* events = Events();
  if (events) events->OnReordering(change);
  Folders.SortTopLevel([](const std::string& a, const std::string& b) { return std::strcoll(a.c_str(), b.c_str()) < 0; });
  if (events) events->OnReordered(change);
}

void TLibObj::RecountTotals() {
  VolumeCount = Folders.TopCount();
  FolderCount = FileCount = 0;
  TotalSize = 0;
  Folders.ForEach([&](TFolderNode* n) {
    for (const auto& item : n->Data()->Items) {
      if (item->IsFolder) {
        ++FolderCount;
      } else {
        ++FileCount;
        TotalSize = AddSizes(TotalSize, item->Size);
      }
    }
  });
  CountsValid = true;
}

TFolderNode* TLibObj::FindFolderNode(TFolderNode* start, const std::string& path) const {
  if (!start) return nullptr;
  if (start == indexRoot_) return FindIndexed(start, path);
  TFolderNode* end = start->GetNextSkippingChildren();
  for (TFolderNode* n = start; n != end; n = n->GetNext()) {
    const TLibFolder* f = n->Data();
    if (f->GetSourcePath() == path || f->GetPath() == path) return n;
  }
  return nullptr;
}

TFolderNode* TLibObj::FindNodeByText(const std::string& text) const {
  for (TFolderNode* n = Folders.GetFirstNode(); n; n = n->GetNext())
    if (n->Text == text) return n;
  return nullptr;
}

TFolderNode* TLibObj::RootOf(TFolderNode* node) {
  while (node && node->Parent()) node = node->Parent();
  return node;
}

void TLibObj::Relink(TLibColItem& c) {
  if (c.FolderIndex == -1) return;
  TLibFolder* folder = nullptr;
  if (!relinkIndex_.empty()) {
    auto it = relinkIndex_.find(c.FolderIndex);
    if (it != relinkIndex_.end()) folder = it->second;
  } else {
    for (TFolderNode* n = Folders.GetFirstNode(); n && !folder; n = n->GetNext())
      if (n->Data()->AbsIndex == c.FolderIndex) folder = n->Data();
  }
  if (!folder) return;
  c.Folder = folder;
  if (c.Kind != ckFile) {
    folder->ColNode = c.Node;
    return;
  }
  // The file whose library path equals the stored path.
  std::string folderPath = folder->GetPath();
  if (c.Path.compare(0, folderPath.size(), folderPath) != 0) return;
  if (TLibFolderItem* item = folder->Items.FindExact(std::string_view(c.Path).substr(folderPath.size()))) {
    c.Item = item;
    item->ColNode = c.Node;
  }
}

}  // namespace tw
