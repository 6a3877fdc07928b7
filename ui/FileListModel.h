// The file list over the entries of one folder: one row per entry of the
// folder's Items, in the list's sort order, each row carrying its entry.
// Texts are made when a view asks for them; file-type pictures are looked up
// once per extension.
//
// Used on the window's thread only.
#pragma once

#include <QAbstractTableModel>
#include <array>
#include <vector>

#include "core/LibClasses.h"

namespace tw {

class TGlobalData;
class TPictures;

// The sort comparison of two rows under a column and its direction (0 never
// chosen, 1 descending, 2 ascending): -1, 0 or +1. Columns 1, 4 and 5
// compare their displayed texts.
int CompareRows(const TLibFolderItem& a, const TLibFolderItem& b, int column, int direction,
                const std::string& newLineSeparator);

class TFileListModel : public QAbstractTableModel, public TLibraryListener {
  Q_OBJECT
 public:
  enum TColumn { ColName, ColType, ColSize, ColDate, ColCategory, ColComments, ColumnCount };

  TFileListModel(TGlobalData& g, TPictures& pictures, QObject* parent = nullptr);

  // Shows the entries of `folder` (none: no rows), sorted by the sort column
  // in its current direction.
  void SetFolder(TLibFolder* folder);
  TLibFolder* Folder() const { return folder_; }
  TLibFolderItem* Item(int row) const { return rows_[static_cast<size_t>(row)]; }
  int RowOf(const TLibFolderItem* item) const;

  // The sort of a column click: flips the column's direction (never chosen
  // and ascending become descending, descending becomes ascending), makes it
  // the sort column, then sorts.
  void ClickColumn(int column);
  // Sorts by the sort column without changing its direction.
  void SortRows();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  // A column caption (the language files change them).
  bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role = Qt::EditRole) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;
  Qt::DropActions supportedDragActions() const override { return Qt::CopyAction | Qt::LinkAction; }
  // Sorting goes through ClickColumn: a header click is the Part's click.
  void sort(int column, Qt::SortOrder order) override;

  // The column captions (the language files change them).
  std::array<QString, ColumnCount> Captions{"Name", "Type", "Size", "Date", "Category", "Comments"};
  // Large pictures (large-icon style).
  bool LargeIcons = false;

  // TLibraryListener
  void OnBusy(bool busy) override;
  void OnResetting() override;
  void OnInserted(const TLibraryChange& change) override;
  void OnRemoving(const TLibraryChange& change) override;
  void OnRemoved(const TLibraryChange& change) override;
  void OnChanged(const TLibraryChange& change) override;

 signals:
  // The shown folder went away with its node.
  void FolderRemoved();

 private:
  QString Text(const TLibFolderItem& item, int column) const;
  void Refill();

  TGlobalData& g_;
  TPictures& pictures_;
  TLibFolder* folder_ = nullptr;
  std::vector<TLibFolderItem*> rows_;
  bool pendingRefill_ = false;
};

}  // namespace tw
