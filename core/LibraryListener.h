// What views of a library are told about its changes.
//
// Every change of the trees and of the entry lists is reported twice: before
// it is made (Inserting, Removing, Reordering), with the rows it will take or
// the rows that go, and after (Inserted, Removed, Reordered). A change of
// values in place (an entry's size, date, tags, category or comments, a
// folder record's texts) is reported after it is made (Changed). Kept sizes
// and the library's totals follow every change and are not reported apart:
// a view reads them again with the rows above a change.
//
// A load reports what it read in one block when it ends: a replacing load
// as Resetting and Reset, a merge as the volumes and collection records it
// appended (Inserting then comes right before Inserted; the library is
// busy meanwhile).
//
// Rows are those of the library at the call: a folder record's row is its
// node's Index() among its siblings, an entry's row its index in its
// folder's Items. An inserted folder record comes with everything below it,
// as a finished subtree in one block.
//
// Threads: the calls come on the thread that changes the library, while it
// changes it. Between Busy(true) and Busy(false) that is an operation's
// thread and nobody else reads the library; a window then waits for
// Busy(false), on its own thread, before reading it again. Outside a busy
// period only the window's thread changes the library.
#pragma once

namespace tw {

class TLibFolder;
class TLibColItem;
template <class T>
class TTreeNode;

struct TLibraryChange {
  enum class TKind {
    Folders,      // folder-tree rows below Folder (nullptr: the volumes)
    Items,        // rows of Folder's Items
    Collections,  // collection-tree rows below Collection (nullptr: top level)
  };
  TKind Kind = TKind::Folders;
  TTreeNode<TLibFolder>* Folder = nullptr;
  TTreeNode<TLibColItem>* Collection = nullptr;
  int First = 0;
  int Count = 0;
};

class TLibraryListener {
 public:
  virtual ~TLibraryListener() = default;

  // An operation starts or ends changing the library on its own thread.
  virtual void OnBusy(bool /*busy*/) {}
  // The whole library is about to be replaced or emptied (a load, Clear),
  // and has been.
  virtual void OnResetting() {}
  virtual void OnReset() {}

  virtual void OnInserting(const TLibraryChange& /*change*/) {}
  virtual void OnInserted(const TLibraryChange& /*change*/) {}
  virtual void OnRemoving(const TLibraryChange& /*change*/) {}
  virtual void OnRemoved(const TLibraryChange& /*change*/) {}
  // The rows below one parent change their order (sorting the volumes or
  // collection siblings); First and Count are 0 and the parent's row count.
  // A collection node moved elsewhere is reported as a removal and an
  // insertion.
  virtual void OnReordering(const TLibraryChange& /*change*/) {}
  virtual void OnReordered(const TLibraryChange& /*change*/) {}
  // Values of the rows changed in place.
  virtual void OnChanged(const TLibraryChange& /*change*/) {}
};

}  // namespace tw
