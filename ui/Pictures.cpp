#include "ui/Pictures.h"

#include <QApplication>
#include <QFileInfo>
#include <QImageReader>
#include <QMimeDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPixmap>
#include <QStyle>

#include "state/Globals.h"
#include "ui/Text.h"

namespace tw {

namespace {

// One drawn picture at one size, in the colours of the application palette.
QPixmap Draw(const QString& kind, int size) {
  QPixmap pixmap(size, size);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  const QPalette pal = QApplication::palette();
  const QColor line = pal.color(QPalette::WindowText);
  const QColor accent = pal.color(QPalette::Highlight);
  const QColor paper = pal.color(QPalette::Base);
  const QColor fill = pal.color(QPalette::Button);
  const qreal s = size / 16.0;
  p.scale(s, s);
  p.setPen(QPen(line, 1.0 / s < 0.7 ? 0.7 : 1.0 / s * 1.0));
  auto folder = [&](const QColor& body, bool open) {
    QPainterPath tab;
    tab.moveTo(1.5, 4);
    tab.lineTo(1.5, 2.5);
    tab.lineTo(6, 2.5);
    tab.lineTo(7.5, 4);
    p.setBrush(body.darker(110));
    p.drawPath(tab);
    p.setBrush(body);
    if (open) {
      QPolygonF front({QPointF(1.5, 13.5), QPointF(3.5, 6.5), QPointF(15, 6.5), QPointF(13, 13.5)});
      p.drawRect(QRectF(1.5, 4, 12, 9.5));
      p.drawPolygon(front);
    } else {
      p.drawRect(QRectF(1.5, 4, 13, 9.5));
    }
  };
  auto sheet = [&](const QColor& body) {
    QPainterPath page;
    page.moveTo(3.5, 1.5);
    page.lineTo(10, 1.5);
    page.lineTo(12.5, 4);
    page.lineTo(12.5, 14.5);
    page.lineTo(3.5, 14.5);
    page.closeSubpath();
    p.setBrush(body);
    p.drawPath(page);
  };
  if (kind == "volume") {
    p.setBrush(fill);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(accent);
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
    p.setBrush(paper);
    p.drawEllipse(QRectF(7, 7, 2, 2));
  } else if (kind == "folder" || kind == "folder-open") {
    folder(accent.lighter(150), kind == "folder-open");
  } else if (kind == "archive") {
    p.setBrush(fill);
    p.drawRect(QRectF(2, 3, 12, 11));
    p.setBrush(accent);
    p.drawRect(QRectF(7, 3, 2, 11));
    p.drawLine(QPointF(2, 6), QPointF(14, 6));
  } else if (kind == "program") {
    p.setBrush(paper);
    p.drawRect(QRectF(1.5, 2.5, 13, 11));
    p.setBrush(accent);
    p.drawRect(QRectF(1.5, 2.5, 13, 2.5));
  } else if (kind == "memo") {
    sheet(paper);
    for (qreal y : {5.0, 7.5, 10.0, 12.5}) p.drawLine(QPointF(5, y), QPointF(11, y));
  } else if (kind == "link") {
    sheet(paper);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(4.5, 7, 4, 3));
    p.drawEllipse(QRectF(7.5, 7, 4, 3));
  } else if (kind == "collection") {
    p.setBrush(accent);
    p.drawRect(QRectF(2, 2, 5, 5));
    p.drawRect(QRectF(9, 2, 5, 5));
    p.drawRect(QRectF(2, 9, 5, 5));
    p.drawRect(QRectF(9, 9, 5, 5));
  } else {  // a plain file
    sheet(paper);
  }
  return pixmap;
}

QIcon Themed(const char* name, const QString& fallback) {
  QIcon themed = QIcon::fromTheme(QString::fromLatin1(name));
  return themed.isNull() ? TPictures::Drawn(fallback) : themed;
}

QString UpperExtension(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  const size_t slash = fileName.find_last_of("\\/");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return Q(fileName.substr(dot)).toUpper();
}

}  // namespace

QIcon TPictures::Drawn(const QString& kind) {
  QIcon icon;
  for (int size : {16, 22, 32, 48}) icon.addPixmap(Draw(kind, size));
  return icon;
}

TPictures::TPictures(TGlobalData& g) : g_(g) {
  fileIcons_ = {Themed("folder", "folder"), Themed("package-x-generic", "archive"),
                Themed("text-x-generic", "file"), Themed("application-x-executable", "program")};
  // A folder shows its open picture while expanded (the icon's On state).
  QIcon folder;
  const QIcon closed = Themed("folder", "folder"), open = Themed("folder-open", "folder-open");
  for (int size : {16, 22, 24, 32, 48}) {
    folder.addPixmap(closed.pixmap(size), QIcon::Normal, QIcon::Off);
    folder.addPixmap(open.pixmap(size), QIcon::Normal, QIcon::On);
  }
  tree_ = {folder, open, Themed("media-optical", "volume"), Themed("package-x-generic", "archive")};
  LoadCollectionImages();
}

QIcon TPictures::Tree(TTree kind) const { return tree_[static_cast<size_t>(kind)]; }

int TPictures::FileIconIndex(const std::string& fileName) {
  if (!g_.ShowIcons) return PlainFile;
  const QString ext = UpperExtension(fileName);
  if (ext == ".EXE" || ext == ".COM") return Program;
  const std::string key = S(ext);
  for (const auto& [cached, obj] : g_.IconCache)
    if (cached == key) return obj.ImageIndex;
  // Looked up once per extension: the type's icon from the theme, by the
  // name alone.
  static const QMimeDatabase mimes;
  const QMimeType type = mimes.mimeTypeForFile(Q(fileName), QMimeDatabase::MatchExtension);
  QIcon icon = QIcon::fromTheme(type.iconName());
  if (icon.isNull()) icon = QIcon::fromTheme(type.genericIconName());
  if (icon.isNull()) icon = fileIcons_[PlainFile];
  fileIcons_.push_back(icon);
  const int index = static_cast<int>(fileIcons_.size()) - 1;
  g_.IconCache.push_back({key, TextObj{index}});
  return index;
}

void TPictures::LoadCollectionImages() {
  collection_.clear();
  if (!g_.ImagesFile.empty()) collection_ = ReadImageList(Q(g_.ImagesFile));
  if (collection_.empty())
    // In the positions the collection kinds pick: 0 a group, 1 and 2 a
    // volume link (normal, selected), 3 and 4 a folder link, 5 a file link,
    // 6 an archive link; then pictures to choose for plain items.
    collection_ = {Themed("folder-documents", "collection"), Tree(TreeVolume), Tree(TreeVolume),
                   Themed("folder", "folder"), Themed("folder-open", "folder-open"), fileIcons_[PlainFile],
                   Tree(TreeArchive), Themed("text-x-generic-template", "memo"), Themed("emblem-symbolic-link", "link")};
}

QIcon TPictures::Collection(int index) const {
  if (index < 0 || index >= CollectionCount()) return {};
  return collection_[static_cast<size_t>(index)];
}

QIcon TPictures::Command(const QString& name) const {
  struct TCommandIcon {
    const char* Command;
    const char* Theme;
    QStyle::StandardPixmap Fallback;
  };
  static const std::vector<TCommandIcon> names = {
      {"tbNew", "document-new", QStyle::SP_FileIcon},        {"tbOpen", "document-open", QStyle::SP_DialogOpenButton},      {"tbReload", "view-refresh", QStyle::SP_BrowserReload},
      {"tbSave", "document-save", QStyle::SP_DialogSaveButton},      {"tbAdd", "list-add", QStyle::SP_DriveCDIcon},            {"tbUpdate", "system-software-update", QStyle::SP_BrowserReload},
      {"tbEdit", "document-properties", QStyle::SP_FileDialogDetailedView}, {"tbDel", "edit-delete", QStyle::SP_TrashIcon},        {"tbImport", "document-import", QStyle::SP_ArrowDown},
      {"tbExport", "document-export", QStyle::SP_ArrowUp},  {"tbFind", "edit-find", QStyle::SP_FileDialogContentsView},          {"tbPrint", "document-print", QStyle::SP_ComputerIcon},
      {"tbCat", "tag", QStyle::SP_FileDialogListView},                 {"tbLoc", "mark-location", QStyle::SP_DirHomeIcon},       {"tbOrgFavorites", "bookmark-new", QStyle::SP_DirLinkIcon},
      {"tbOptions", "preferences-system", QStyle::SP_FileDialogInfoView}, {"tbRefresh", "view-refresh", QStyle::SP_BrowserReload}, {"tbStop", "process-stop", QStyle::SP_BrowserStop},
      {"tbLng", "preferences-desktop-locale", QStyle::SP_MessageBoxInformation}, {"tbHelp", "help-contents", QStyle::SP_DialogHelpButton}, {"tbAbout", "help-about", QStyle::SP_MessageBoxQuestion}};
  for (const auto& entry : names) {
    if (name != QLatin1String(entry.Command)) continue;
    const QIcon themed = QIcon::fromTheme(QString::fromLatin1(entry.Theme));
    return themed.isNull() ? QApplication::style()->standardIcon(entry.Fallback) : themed;
  }
  return {};
}

std::vector<QIcon> ReadImageList(const QString& file) {
  std::vector<QIcon> icons;
  QImageReader reader(file);
  if (!reader.canRead()) return icons;
  if (reader.imageCount() > 1) {
    for (int i = 0;; ++i) {
      if (!reader.jumpToImage(i)) break;
      const QImage image = reader.read();
      if (image.isNull()) break;
      icons.emplace_back(QPixmap::fromImage(image));
    }
    return icons;
  }
  const QImage strip = reader.read();
  if (strip.isNull() || strip.height() <= 0) return icons;
  const int side = strip.height();
  for (int x = 0; x + side <= strip.width(); x += side) icons.emplace_back(QPixmap::fromImage(strip.copy(x, 0, side, side)));
  return icons;
}

}  // namespace tw
