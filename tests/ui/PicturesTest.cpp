// The pictures: one file-type lookup per extension, the fixed pictures of
// the rules, and collection pictures read from the user's images file.
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include "state/Globals.h"
#include "ui/Pictures.h"

using namespace tw;

class PicturesTest : public QObject {
  Q_OBJECT
 private slots:
  void FileTypesAreLookedUpOncePerExtension();
  void ImagesFileGivesTheCollectionPictures_data();
  void ImagesFileGivesTheCollectionPictures();
};

void PicturesTest::FileTypesAreLookedUpOncePerExtension() {
  QTemporaryDir dir;
  qputenv("TARNWEX_CONFIG_DIR", dir.filePath("config").toUtf8());
  TNullHost host;
  TGlobalData g(host, dir.path().toStdString() + "/");
  TPictures pictures(g);
  const int txt = pictures.FileIconIndex("CD\\docs\\a.txt");
  QVERIFY(txt > TPictures::Program);
  QCOMPARE(pictures.FileIconIndex("CD\\other\\B.TXT"), txt);  // the extension, whatever its case
  QCOMPARE(g.IconCache.size(), size_t(1));
  const int mp3 = pictures.FileIconIndex("song.mp3");
  QVERIFY(mp3 != txt);
  QCOMPARE(pictures.FileIconIndex("SETUP.EXE"), int(TPictures::Program));
  QCOMPARE(pictures.FileIconIndex("run.com"), int(TPictures::Program));
  QVERIFY(!pictures.Icon(mp3).isNull());
  g.ShowIcons = false;
  QCOMPARE(pictures.FileIconIndex("song.mp3"), int(TPictures::PlainFile));
}

void PicturesTest::ImagesFileGivesTheCollectionPictures_data() {
  QTest::addColumn<QString>("format");
  QTest::addColumn<int>("images");
  QTest::newRow("strip of three") << "png" << 3;
  QTest::newRow("icon file of two") << "ico" << 2;
  QTest::newRow("missing file") << "" << 0;
}

void PicturesTest::ImagesFileGivesTheCollectionPictures() {
  QFETCH(QString, format);
  QFETCH(int, images);
  QTemporaryDir dir;
  qputenv("TARNWEX_CONFIG_DIR", dir.filePath("config").toUtf8());
  const QString file = dir.filePath("images." + (format.isEmpty() ? QString("png") : format));
  if (format == "png") {
    QImage strip(48, 16, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter(&strip).fillRect(16, 0, 16, 16, Qt::black);
    QVERIFY(strip.save(file));
  } else if (format == "ico") {
    // An icon file of a 16 and a 32 pixel image, each stored as PNG data.
    QByteArray images[2];
    for (int i = 0; i < 2; ++i) {
      QImage image(16 << i, 16 << i, QImage::Format_ARGB32);
      image.fill(i ? Qt::white : Qt::black);
      QBuffer buffer(&images[i]);
      buffer.open(QIODevice::WriteOnly);
      QVERIFY(image.save(&buffer, "PNG"));
    }
    QByteArray ico;
    QDataStream out(&ico, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out << quint16(0) << quint16(1) << quint16(2);
    quint32 offset = 6 + 2 * 16;
    for (int i = 0; i < 2; ++i) {
      out << quint8(16 << i) << quint8(16 << i) << quint8(0) << quint8(0) << quint16(1) << quint16(32)
          << quint32(images[i].size()) << offset;
      offset += quint32(images[i].size());
    }
    ico += images[0] + images[1];
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(ico);
  }
  TNullHost host;
  TGlobalData g(host, dir.path().toStdString() + "/");
  g.ImagesFile = file.toStdString();
  TPictures pictures(g);
  const std::vector<QIcon> read = ReadImageList(file);
  QCOMPARE(int(read.size()), images);
  if (images > 0) {
    QCOMPARE(pictures.CollectionCount(), images);
    const QColor second = format == "ico" ? QColor(Qt::white) : QColor(Qt::black);
    QCOMPARE(read[1].pixmap(16).toImage().pixelColor(8, 8), second);
  } else {
    QVERIFY(pictures.CollectionCount() > 0);  // the built-in set
  }
}

QTEST_MAIN(PicturesTest)
#include "PicturesTest.moc"
