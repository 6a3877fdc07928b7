// Hands the library's change reports to every view model. Reports that come
// from another thread than the window's are dropped: an operation on the
// worker changes the library only while it is busy, and the views read it
// again when it is no longer (the window makes the library busy on its own
// thread before the worker starts, so the views learn it there).
//
// Used on the window's thread; its calls may come from any thread.
#pragma once

#include <QThread>
#include <functional>
#include <vector>

#include "core/LibraryListener.h"

namespace tw {

class TLibraryViews : public TLibraryListener {
 public:
  void Add(TLibraryListener* view) { views_.push_back(view); }
  // Called after the views have been told everything a busy period changed.
  std::function<void(bool)> BusyChanged;

  void OnBusy(bool busy) override {
    if (!Here()) return;
    Each(&TLibraryListener::OnBusy, busy);
    if (BusyChanged) BusyChanged(busy);
  }
  void OnResetting() override {
    if (Here()) for (auto* v : views_) v->OnResetting();
  }
  void OnReset() override {
    if (Here()) for (auto* v : views_) v->OnReset();
  }
  void OnInserting(const TLibraryChange& c) override { Each(&TLibraryListener::OnInserting, c); }
  void OnInserted(const TLibraryChange& c) override { Each(&TLibraryListener::OnInserted, c); }
  void OnRemoving(const TLibraryChange& c) override { Each(&TLibraryListener::OnRemoving, c); }
  void OnRemoved(const TLibraryChange& c) override { Each(&TLibraryListener::OnRemoved, c); }
  void OnReordering(const TLibraryChange& c) override { Each(&TLibraryListener::OnReordering, c); }
  void OnReordered(const TLibraryChange& c) override { Each(&TLibraryListener::OnReordered, c); }
  void OnChanged(const TLibraryChange& c) override { Each(&TLibraryListener::OnChanged, c); }

 private:
  bool Here() const { return QThread::currentThread() == thread_; }
  template <class M, class A>
  void Each(M method, const A& arg) {
    if (!Here()) return;
    for (auto* v : views_) (v->*method)(arg);
  }

  QThread* thread_ = QThread::currentThread();
  std::vector<TLibraryListener*> views_;
};

}  // namespace tw
