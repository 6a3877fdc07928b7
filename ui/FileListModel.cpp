#include "ui/FileListModel.h"

#include <QDataStream>
#include <QIODevice>
#include <QMimeData>
#include <algorithm>

#include "base/CaseFold.h"
#include "base/TextUtils.h"
#include "state/Globals.h"
#include "ui/FolderTreeModel.h"
#include "ui/Pictures.h"
#include "ui/Text.h"

namespace tw {

namespace {

std::string NameKey(const TLibFolderItem& item) {
  return (item.IsFolder && !item.IsArchive() ? "0" : "1") + UpperAscii(item.Name);
}

std::string TextKey(const TLibFolderItem& item, int column, const std::string& separator) {
  switch (column) {
    case TFileListModel::ColType: return item.GetExtension();
    case TFileListModel::ColCategory: return item.Category;
    case TFileListModel::ColComments: return JoinLines(item.Comments, separator);
    default: return NameKey(item);
  }
}

template <class K>
int Order(const K& a, const K& b, int direction) {
  if (a == b) return 0;
  if (a > b) return direction == 2 ? 1 : -1;
  return direction == 1 ? 1 : -1;
}

}  // namespace

int CompareRows(const TLibFolderItem& a, const TLibFolderItem& b, int column, int direction,
                const std::string& newLineSeparator) {
  switch (column) {
    case TFileListModel::ColSize: return Order(a.Size, b.Size, direction);
    case TFileListModel::ColDate: return Order(a.Date, b.Date, direction);
    default: return Order(TextKey(a, column, newLineSeparator), TextKey(b, column, newLineSeparator), direction);
  }
}

TFileListModel::TFileListModel(TGlobalData& g, TPictures& pictures, QObject* parent)
    : QAbstractTableModel(parent), g_(g), pictures_(pictures) {}

void TFileListModel::SetFolder(TLibFolder* folder) {
  beginResetModel();
  folder_ = folder;
  rows_.clear();
  if (folder_) {
    rows_.reserve(static_cast<size_t>(folder_->Items.Count()));
    for (const auto& item : folder_->Items) rows_.push_back(item.get());
  }
  endResetModel();
  SortRows();
}

int TFileListModel::RowOf(const TLibFolderItem* item) const {
  const auto it = std::find(rows_.begin(), rows_.end(), item);
  return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

void TFileListModel::ClickColumn(int column) {
  if (column < 0 || column >= ColumnCount) return;
  uint8_t& direction = g_.SortDirections[static_cast<size_t>(column)];
  direction = direction == 1 ? 2 : 1;
  g_.SortColumn = static_cast<uint8_t>(column);
  SortRows();
}

void TFileListModel::sort(int column, Qt::SortOrder) { ClickColumn(column); }

void TFileListModel::SortRows() {
  if (rows_.size() < 2) return;
  const int column = g_.SortColumn < ColumnCount ? g_.SortColumn : 0;
  // A column never chosen sorts ascending.
  const int direction = g_.SortDirections[static_cast<size_t>(column)] == 1 ? 1 : 2;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  const QModelIndexList before = persistentIndexList();
  std::vector<TLibFolderItem*> moved;
  moved.reserve(static_cast<size_t>(before.size()));
  for (const QModelIndex& index : before) moved.push_back(rows_[static_cast<size_t>(index.row())]);

  if (column == ColSize || column == ColDate) {
    std::stable_sort(rows_.begin(), rows_.end(), [&](const TLibFolderItem* a, const TLibFolderItem* b) {
      return CompareRows(*a, *b, column, direction, g_.NewLineSeparator) < 0;
    });
  } else {
    // Each row's key is made once.
    std::vector<std::pair<std::string, TLibFolderItem*>> keyed;
    keyed.reserve(rows_.size());
    for (TLibFolderItem* item : rows_) keyed.emplace_back(TextKey(*item, column, g_.NewLineSeparator), item);
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      return Order(a.first, b.first, direction) < 0;
    });
    for (size_t i = 0; i < keyed.size(); ++i) rows_[i] = keyed[i].second;
  }

  if (!before.isEmpty()) {
    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i) after.append(index(RowOf(moved[static_cast<size_t>(i)]), before[i].column()));
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TFileListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QString TFileListModel::Text(const TLibFolderItem& item, int column) const {
  switch (column) {
    case ColName: return Q(item.Name);
    case ColType: return Q(item.GetExtension());
    case ColSize: return Q(FormatSize(g_.SizeUnit, static_cast<double>(item.Size), g_.TextFormat()));
    case ColDate: return Q(FormatDate(item.Date));
    case ColCategory: return Q(item.Category);
    case ColComments: return Q(JoinLines(item.Comments, g_.NewLineSeparator));
    default: return {};
  }
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= static_cast<int>(rows_.size())) return {};
  const TLibFolderItem& item = *rows_[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
      if (role == Qt::ToolTipRole && index.column() != ColComments) return {};
      return Text(item, index.column());
    case Qt::TextAlignmentRole:
      if (index.column() == ColSize || index.column() == ColDate)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    case Qt::DecorationRole: {
      if (index.column() != ColName) return {};
      if (item.IsFolder) return pictures_.Icon(item.IsArchive() ? TPictures::ArchiveEntry : TPictures::FolderEntry);
      const int picture = const_cast<TPictures&>(pictures_).FileIconIndex(folder_->GetPath() + item.Name);
      return picture < 0 ? QVariant() : QVariant(pictures_.Icon(picture));
    }
    default:
      return {};
  }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return {};
  if (role == Qt::DisplayRole) return Captions[static_cast<size_t>(section)];
  if (role == Qt::TextAlignmentRole)
    return QVariant::fromValue((section == ColSize || section == ColDate ? Qt::AlignRight : Qt::AlignLeft) |
                               Qt::AlignVCenter);
  return {};
}

bool TFileListModel::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role) {
  if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount) return false;
  if (role != Qt::DisplayRole && role != Qt::EditRole) return false;
  Captions[static_cast<size_t>(section)] = value.toString();
  emit headerDataChanged(orientation, section, section);
  return true;
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemNeverHasChildren;
}

QStringList TFileListModel::mimeTypes() const { return {QString::fromLatin1(kEntriesMime)}; }

QMimeData* TFileListModel::mimeData(const QModelIndexList& indexes) const {
  QByteArray bytes;
  QDataStream out(&bytes, QIODevice::WriteOnly);
  for (const QModelIndex& index : indexes)
    if (index.isValid() && index.column() == 0) out << quintptr(rows_[static_cast<size_t>(index.row())]);
  auto* mime = new QMimeData;
  mime->setData(QString::fromLatin1(kEntriesMime), bytes);
  return mime;
}

void TFileListModel::Refill() {
  // The entries are refilled rather than patched: the rows follow the sort
  // order, not the order of Items.
  TLibFolder* folder = folder_;
  SetFolder(folder);
}

void TFileListModel::OnBusy(bool busy) {
  // Nothing of the library is read while an operation changes it; the
  // window selects the folder again afterwards.
  if (busy) SetFolder(nullptr);
}

void TFileListModel::OnResetting() { SetFolder(nullptr); }

void TFileListModel::OnInserted(const TLibraryChange& c) {
  if (c.Kind == TLibraryChange::TKind::Items && folder_ && c.Folder == folder_->Node) Refill();
}

void TFileListModel::OnRemoving(const TLibraryChange& c) {
  if (!folder_) return;
  if (c.Kind == TLibraryChange::TKind::Items && c.Folder == folder_->Node) {
    pendingRefill_ = true;
    return;
  }
  if (c.Kind != TLibraryChange::TKind::Folders) return;
  // The shown folder goes when it or one of its ancestors is among the
  // removed rows.
  for (TFolderNode* node = folder_->Node; node; node = node->Parent()) {
    if (node->Parent() == c.Folder && node->Index() >= c.First && node->Index() < c.First + c.Count) {
      SetFolder(nullptr);
      emit FolderRemoved();
      return;
    }
  }
}

void TFileListModel::OnRemoved(const TLibraryChange& c) {
  if (pendingRefill_ && c.Kind == TLibraryChange::TKind::Items) {
    pendingRefill_ = false;
    Refill();
  }
}

void TFileListModel::OnChanged(const TLibraryChange& c) {
  if (!folder_ || rows_.empty()) return;
  if (c.Kind == TLibraryChange::TKind::Items && c.Folder == folder_->Node)
    emit dataChanged(index(0, 0), index(rowCount() - 1, ColumnCount - 1));
}

}  // namespace tw
