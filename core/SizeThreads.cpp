#include "core/SizeThreads.h"

#include <utility>

#include "base/TextUtils.h"

namespace tw {

TFileSizeThread::TFileSizeThread(TDisplay display, TOnTerminate onTerminate)
    : display_(std::move(display)), onTerminate_(std::move(onTerminate)) {}

TFileSizeThread::~TFileSizeThread() { StopAndWait(); }

void TFileSizeThread::Start() { thread_ = std::thread([this] { Run(); }); }

void TFileSizeThread::StopAndWait() noexcept {
  Terminate();
  if (thread_.joinable()) thread_.join();
}

void TFileSizeThread::WaitFor() {
  if (thread_.joinable()) thread_.join();
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void TFileSizeThread::AddSize(int64_t size) {
  // Only this thread writes the total, so load and store need no exchange.
  total_.store(AddSizes(total_.load(std::memory_order_relaxed), size), std::memory_order_relaxed);
  if (std::chrono::steady_clock::now() - lastShown_ >= kShowInterval) ShowSize();
}

void TFileSizeThread::ShowSize() {
  lastShown_ = std::chrono::steady_clock::now();
  const int64_t total = Total();
  if (display_) display_(total);
}

void TFileSizeThread::Run() noexcept {
  // Nobody could catch an error on this thread: it ends the run and waits
  // for WaitFor(). The end callback runs in any case.
  try {
    ShowSize();
    Execute();
    ShowSize();
  } catch (...) {
    error_ = std::current_exception();
  }
  if (onTerminate_) {
    try {
      onTerminate_();
    } catch (...) {
      if (!error_) error_ = std::current_exception();
    }
  }
}

TFolderFileSizeThread::TFolderFileSizeThread(TDisplay display, const TTree<TLibFolder>* tree,
                                             const TFolderNode* start, TOnTerminate onTerminate)
    : TFileSizeThread(std::move(display), std::move(onTerminate)), tree_(tree), start_(start) {
  Start();
}

// The run reads tree_ and start_: it must end before they go.
TFolderFileSizeThread::~TFolderFileSizeThread() { StopAndWait(); }

void TFolderFileSizeThread::Execute() {
  if (tree_ == nullptr) {
    if (start_ != nullptr) SumNode(start_);
    return;
  }
  for (int i = 0; i < tree_->TopCount(); ++i)
    if (!SumNode(tree_->Top(i))) return;
}

bool TFolderFileSizeThread::SumNode(const TFolderNode* node) {
  // Pre-order over the branch: each folder's entries, then its children.
  // Iterative, as a damaged library may nest very deeply.
  const TFolderNode* end = node->GetNextSkippingChildren();
  for (const TFolderNode* n = node; n != end; n = n->GetNext()) {
    if (Terminated()) return false;
    const TLibFolder* folder = n->Data();
    if (folder == nullptr) continue;
    for (const auto& item : folder->Items) {
      // Archive files are left out: their members are counted in the archive's folder record.
      if (!item->IsFolder && !IsArchiveName(item->Name)) AddSize(item->Size);
      if (Terminated()) return false;
    }
  }
  return true;
}

}  // namespace tw
