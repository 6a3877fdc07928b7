#include "ui/DialogPlacement.h"

#include <QWidget>

#include "base/RegUtils.h"
#include "state/Settings.h"
#include "ui/Text.h"

namespace tw {
namespace {

std::string PlacementKey(const QWidget& window) { return RegKey("Pos\\" + S(window.objectName())); }

}  // namespace

void RestoreDialogPlacement(QWidget& window, TRegStore& store) {
  TPlacement p;
  if (!store.ReadPlacement(PlacementKey(window), p)) return;
  const int width = p.NormPosRight - p.NormPosLeft;
  const int height = p.NormPosBottom - p.NormPosTop;
  if (width > 0 && height > 0) window.setGeometry(p.NormPosLeft, p.NormPosTop, width, height);
}

void SaveDialogPlacement(const QWidget& window, TRegStore& store) {
  const QRect r = window.geometry();
  TPlacement p;
  p.ShowCmd = 1;
  p.MinPosX = p.MinPosY = p.MaxPosX = p.MaxPosY = -1;
  p.NormPosLeft = r.left();
  p.NormPosTop = r.top();
  p.NormPosRight = r.left() + r.width();
  p.NormPosBottom = r.top() + r.height();
  store.WritePlacement(PlacementKey(window), p);
}

}  // namespace tw
