#include "ui/CollectionTreeModel.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <unordered_set>

#include "ui/FolderTreeModel.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {

namespace {

// The pointers a drag of this program carries under `format`, as numbers:
// nothing is known of them before they are found in the library.
std::vector<quintptr> Pointers(const QMimeData* data, const char* format) {
  std::vector<quintptr> pointers;
  if (!data) return pointers;
  const QByteArray bytes = data->data(QString::fromLatin1(format));
  QDataStream in(bytes);
  while (!in.atEnd()) {
    quintptr p = 0;
    in >> p;
    if (in.status() != QDataStream::Ok) break;
    pointers.push_back(p);
  }
  return pointers;
}

// Those of `pointers` that `visit` meets among the library's records, in
// their order, each once. `visit` calls its argument for every record that
// may be meant; only records met this way are ever followed.
template <class T, class Visit>
std::vector<T*> Known(const std::vector<quintptr>& pointers, Visit visit) {
  std::vector<T*> found;
  if (pointers.empty()) return found;
  const std::unordered_set<quintptr> wanted(pointers.begin(), pointers.end());
  std::unordered_set<quintptr> known;
  visit([&](const T* record) {
    const auto p = reinterpret_cast<quintptr>(record);
    if (wanted.count(p)) known.insert(p);
  });
  std::unordered_set<quintptr> seen;
  for (quintptr p : pointers)
    if (known.count(p) && seen.insert(p).second) found.push_back(reinterpret_cast<T*>(p));
  return found;
}

}  // namespace

TCollectionTreeModel::TCollectionTreeModel(TPictures& pictures, QObject* parent)
    : QAbstractItemModel(parent), pictures_(pictures) {}

void TCollectionTreeModel::SetLibrary(TLibObj* lib) {
  beginResetModel();
  lib_ = lib;
  busy_ = false;
  endResetModel();
}

TColNode* TCollectionTreeModel::Node(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TColNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TCollectionTreeModel::IndexOf(TColNode* node) const {
  if (!node || busy_ || !lib_) return {};
  return createIndex(node->Index(), 0, node);
}

// --- changes ---

TColNode* TCollectionTreeModel::Add(TColNode* parent, std::unique_ptr<TLibColItem> item) {
  TLibColItem* c = item.get();
  TColNode* node = lib_->AddCollectionRecord(parent, std::move(item));
  c->AttachNode(node);
  lib_->Modified = true;
  return node;
}

TColNode* TCollectionTreeModel::AddLink(TColNode* parent, const std::string& caption, TLibFolder* folder,
                                        TLibFolderItem* entry) {
  TColNode* node = Add(parent, std::make_unique<TLibColItem>(caption));
  node->Data()->LinkTo(folder, entry, node);
  lib_->ReportCollectionChanged(node);
  lib_->SortCollectionSiblings(node);
  return node;
}

void TCollectionTreeModel::SetCaption(TColNode* node, const std::string& caption) {
  node->Data()->Caption = caption;
  ItemEdited(node);
}

void TCollectionTreeModel::ItemEdited(TColNode* node) {
  TLibColItem* item = node->Data();
  node->Text = item->Caption;
  // The pictures of a memo item follow its chosen picture.
  item->AttachNode(node);
  lib_->Modified = true;
  lib_->ReportCollectionChanged(node);
  lib_->SortCollectionSiblings(node);
}

bool TCollectionTreeModel::Move(TColNode* node, TColNode* parent) {
  if (!lib_->MoveCollectionNode(node, parent)) return false;
  lib_->Modified = true;
  return true;
}

void TCollectionTreeModel::Delete(TColNode* node) {
  lib_->DeleteCollectionNode(node);
  lib_->Modified = true;
}

// --- what a drag carries ---

std::vector<TColNode*> TCollectionTreeModel::DraggedCollections(const QMimeData* data) const {
  if (!lib_ || busy_) return {};
  return Known<TColNode>(Pointers(data, kCollectionsMime), [&](auto&& meet) { lib_->Collections.ForEach(meet); });
}

std::vector<TFolderNode*> TCollectionTreeModel::DraggedFolders(const QMimeData* data) const {
  if (!lib_ || busy_) return {};
  return Known<TFolderNode>(Pointers(data, kFoldersMime), [&](auto&& meet) { lib_->Folders.ForEach(meet); });
}

std::vector<TLibFolderItem*> TCollectionTreeModel::DraggedEntries(const QMimeData* data) const {
  if (!lib_ || busy_) return {};
  return Known<TLibFolderItem>(Pointers(data, kEntriesMime), [&](auto&& meet) {
    lib_->Folders.ForEach([&](TFolderNode* n) {
      for (const auto& item : n->Data()->Items) meet(item.get());
    });
  });
}

// --- the model ---

QModelIndex TCollectionTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!lib_ || busy_ || column != 0 || row < 0) return {};
  if (!parent.isValid()) {
    if (row >= lib_->Collections.TopCount()) return {};
    return createIndex(row, 0, lib_->Collections.Top(row));
  }
  TColNode* p = Node(parent);
  if (row >= p->Count()) return {};
  return createIndex(row, 0, p->Item(row));
}

QModelIndex TCollectionTreeModel::parent(const QModelIndex& child) const {
  TColNode* node = Node(child);
  if (!node || busy_ || !node->Parent()) return {};
  return IndexOf(node->Parent());
}

int TCollectionTreeModel::rowCount(const QModelIndex& parent) const {
  if (!lib_ || busy_) return 0;
  if (!parent.isValid()) return lib_->Collections.TopCount();
  if (parent.column() != 0) return 0;
  return Node(parent)->Count();
}

int TCollectionTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TCollectionTreeModel::data(const QModelIndex& index, int role) const {
  TColNode* node = Node(index);
  if (!node || busy_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Q(node->Text);
    case Qt::DecorationRole: {
      // A node never given pictures shows the first one.
      const int image = node->Data() && node->ImageIndex >= 0 ? node->ImageIndex : 0;
      const int selected = node->Data() && node->SelectedIndex >= 0 ? node->SelectedIndex : image;
      QIcon icon = pictures_.Collection(image);
      if (selected == image || icon.isNull()) return icon;
      const QIcon chosen = pictures_.Collection(selected);
      QIcon both;
      for (const QSize& size : icon.availableSizes()) {
        both.addPixmap(icon.pixmap(size), QIcon::Normal);
        both.addPixmap(chosen.pixmap(size), QIcon::Selected);
      }
      return both.isNull() ? icon : both;
    }
    default:
      return {};
  }
}

bool TCollectionTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TColNode* node = Node(index);
  if (!node || busy_ || !node->Data() || role != Qt::EditRole || !value.canConvert<QString>()) return false;
  if (Editable && !Editable()) return false;
  const std::string caption = S(value.toString());
  if (caption == node->Text && caption == node->Data()->Caption) return false;
  SetCaption(node, caption);
  return true;
}

Qt::ItemFlags TCollectionTreeModel::flags(const QModelIndex& index) const {
  if (busy_ || !lib_) return Qt::NoItemFlags;
  // Empty space takes drops too.
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
         Qt::ItemIsDropEnabled;
}

QStringList TCollectionTreeModel::mimeTypes() const {
  return {QString::fromLatin1(kCollectionsMime), QString::fromLatin1(kFoldersMime), QString::fromLatin1(kEntriesMime)};
}

QMimeData* TCollectionTreeModel::mimeData(const QModelIndexList& indexes) const {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  for (const QModelIndex& index : indexes)
    if (TColNode* node = Node(index)) out << quintptr(node);
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kCollectionsMime), bytes);
  return mime;
}

bool TCollectionTreeModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int, int,
                                           const QModelIndex& parent) const {
  if (!data || !lib_ || busy_ || !(supportedDropActions() & action)) return false;
  if (data->hasFormat(QString::fromLatin1(kCollectionsMime))) return true;
  if (data->hasFormat(QString::fromLatin1(kFoldersMime)) || data->hasFormat(QString::fromLatin1(kEntriesMime)))
    return parent.isValid() || lib_->Collections.TopCount() == 0;
  return false;
}

bool TCollectionTreeModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                                        const QModelIndex& parent) {
  if (!canDropMimeData(data, action, row, column, parent) || !DropHandler) return false;
  return DropHandler(data, Node(parent));
}

// --- following the library ---

void TCollectionTreeModel::OnBusy(bool busy) {
  // Nothing of the library is read while an operation changes it.
  beginResetModel();
  busy_ = busy;
  endResetModel();
}

void TCollectionTreeModel::OnResetting() {
  if (!busy_) beginResetModel();
}
void TCollectionTreeModel::OnReset() {
  if (!busy_) endResetModel();
}

void TCollectionTreeModel::OnInserting(const TLibraryChange& c) {
  if (!Follows(c)) return;
  beginInsertRows(IndexOf(c.Collection), c.First, c.First + c.Count - 1);
}
void TCollectionTreeModel::OnInserted(const TLibraryChange& c) {
  if (Follows(c)) endInsertRows();
}
void TCollectionTreeModel::OnRemoving(const TLibraryChange& c) {
  if (!Follows(c)) return;
  beginRemoveRows(IndexOf(c.Collection), c.First, c.First + c.Count - 1);
}
void TCollectionTreeModel::OnRemoved(const TLibraryChange& c) {
  if (Follows(c)) endRemoveRows();
}

void TCollectionTreeModel::OnReordering(const TLibraryChange& c) {
  if (!Follows(c)) return;
  emit layoutAboutToBeChanged({QPersistentModelIndex(IndexOf(c.Collection))}, QAbstractItemModel::VerticalSortHint);
  moving_.clear();
  for (const QModelIndex& index : persistentIndexList()) moving_.emplace_back(QPersistentModelIndex(index), Node(index));
}

void TCollectionTreeModel::OnReordered(const TLibraryChange& c) {
  if (!Follows(c)) return;
  for (auto& [index, node] : moving_)
    if (node) changePersistentIndex(index, createIndex(node->Index(), index.column(), node));
  moving_.clear();
  emit layoutChanged({QPersistentModelIndex(IndexOf(c.Collection))}, QAbstractItemModel::VerticalSortHint);
}

void TCollectionTreeModel::OnChanged(const TLibraryChange& c) {
  if (!Follows(c) || c.Count <= 0) return;
  const QModelIndex parent = IndexOf(c.Collection);
  emit dataChanged(index(c.First, 0, parent), index(c.First + c.Count - 1, 0, parent));
}

}  // namespace tw
