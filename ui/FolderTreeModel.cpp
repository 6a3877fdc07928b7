#include "ui/FolderTreeModel.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>

#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {

TFolderTreeModel::TFolderTreeModel(TPictures& pictures, QObject* parent)
    : QAbstractItemModel(parent), pictures_(pictures) {}

void TFolderTreeModel::SetLibrary(TLibObj* lib) {
  beginResetModel();
  lib_ = lib;
  busy_ = false;
  endResetModel();
}

TFolderNode* TFolderTreeModel::Node(const QModelIndex& index) const {
  return index.isValid() ? static_cast<TFolderNode*>(index.internalPointer()) : nullptr;
}

QModelIndex TFolderTreeModel::IndexOf(TFolderNode* node) const {
  if (!node || busy_) return {};
  return createIndex(node->Index(), 0, node);
}

QModelIndex TFolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (!lib_ || busy_ || column != 0 || row < 0) return {};
  if (!parent.isValid()) {
    if (row >= lib_->Folders.TopCount()) return {};
    return createIndex(row, 0, lib_->Folders.Top(row));
  }
  TFolderNode* p = Node(parent);
  if (row >= p->Count()) return {};
  return createIndex(row, 0, p->Item(row));
}

QModelIndex TFolderTreeModel::parent(const QModelIndex& child) const {
  TFolderNode* node = Node(child);
  if (!node || busy_ || !node->Parent()) return {};
  return IndexOf(node->Parent());
}

int TFolderTreeModel::rowCount(const QModelIndex& parent) const {
  if (!lib_ || busy_) return 0;
  if (!parent.isValid()) return lib_->Folders.TopCount();
  if (parent.column() != 0) return 0;
  return Node(parent)->Count();
}

int TFolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant TFolderTreeModel::data(const QModelIndex& index, int role) const {
  TFolderNode* node = Node(index);
  if (!node || busy_) return {};
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      return Q(node->Text);
    case Qt::DecorationRole: {
      const TLibFolder* folder = node->Data();
      if (!folder || folder->IsVolume()) return pictures_.Tree(TPictures::TreeVolume);
      if (folder->IsArchiveFolder()) return pictures_.Tree(TPictures::TreeArchive);
      return pictures_.Tree(TPictures::TreeFolder);
    }
    default:
      return {};
  }
}

bool TFolderTreeModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  TFolderNode* node = Node(index);
  if (!node || busy_ || role != Qt::EditRole || !node->IsTopLevel()) return false;
  const QString text = value.toString();
  if (text.isEmpty() || text == Q(node->Text)) return false;
  emit VolumeRenamed(node, text);
  return true;
}

Qt::ItemFlags TFolderTreeModel::flags(const QModelIndex& index) const {
  TFolderNode* node = Node(index);
  if (!node || busy_) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (node->IsTopLevel()) f |= Qt::ItemIsEditable;
  return f;
}

QStringList TFolderTreeModel::mimeTypes() const { return {QString::fromLatin1(kFoldersMime)}; }

QMimeData* TFolderTreeModel::mimeData(const QModelIndexList& indexes) const {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  for (const QModelIndex& index : indexes)
    if (TFolderNode* node = Node(index)) out << quintptr(node);
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kFoldersMime), bytes);
  return mime;
}

void TFolderTreeModel::OnBusy(bool busy) {
  // Nothing of the library is read while an operation changes it.
  beginResetModel();
  busy_ = busy;
  endResetModel();
}

void TFolderTreeModel::OnResetting() {
  if (!busy_) beginResetModel();
}
void TFolderTreeModel::OnReset() {
  if (!busy_) endResetModel();
}

void TFolderTreeModel::OnInserting(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  beginInsertRows(IndexOf(c.Folder), c.First, c.First + c.Count - 1);
}
void TFolderTreeModel::OnInserted(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  endInsertRows();
}
void TFolderTreeModel::OnRemoving(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  beginRemoveRows(IndexOf(c.Folder), c.First, c.First + c.Count - 1);
}
void TFolderTreeModel::OnRemoved(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  endRemoveRows();
}

void TFolderTreeModel::OnReordering(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  const QModelIndex parent = IndexOf(c.Folder);
  emit layoutAboutToBeChanged({QPersistentModelIndex(parent)}, QAbstractItemModel::VerticalSortHint);
  moving_.clear();
  for (const QModelIndex& index : persistentIndexList())
    moving_.emplace_back(QPersistentModelIndex(index), Node(index));
}

void TFolderTreeModel::OnReordered(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders) return;
  for (auto& [index, node] : moving_)
    if (node) changePersistentIndex(index, createIndex(node->Index(), index.column(), node));
  moving_.clear();
  emit layoutChanged({QPersistentModelIndex(IndexOf(c.Folder))}, QAbstractItemModel::VerticalSortHint);
}

void TFolderTreeModel::OnChanged(const TLibraryChange& c) {
  if (busy_ || c.Kind != TLibraryChange::TKind::Folders || c.Count <= 0) return;
  const QModelIndex parent = IndexOf(c.Folder);
  emit dataChanged(index(c.First, 0, parent), index(c.First + c.Count - 1, 0, parent));
}

}  // namespace tw
