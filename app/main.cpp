// tarnwex: the desktop program.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include "base/InstanceLock.h"
#include "state/Globals.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"
#include "ui/WindowHost.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwex"));
  QApplication::setApplicationDisplayName(QStringLiteral("Tarnwex"));
  QApplication::setDesktopFileName(QStringLiteral("tarnwex"));
  // Without a desktop session Qt knows no icon theme: Adwaita carries the
  // pictures then, and the program's drawn set where it has none.
  if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
    QIcon::setThemeName(QStringLiteral("Adwaita"));
  QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));

  tw::TWindowHost host;
  tw::TGlobalData g(host);
  g.LoadSettings();
  std::unique_ptr<tw::TInstanceLock> instance;
  if (!g.MultiApps) {
    instance = std::make_unique<tw::TInstanceLock>("Tarnwex");
    if (instance->HeldElsewhere()) {
      QMessageBox::critical(nullptr, QApplication::applicationDisplayName(), tw::Q(g.GetText("infoRun")));
      return 1;
    }
  }
  tw::TMainWindow window(g, host);
  window.ApplyLoadedSettings();
  window.LoadLanguage();
  window.show();
  const QStringList args = QApplication::arguments();
  window.OpenStartLibrary(args.size() > 1 ? args.at(1) : QString());
  return app.exec();
}
