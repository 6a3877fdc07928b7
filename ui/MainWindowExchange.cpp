// The Export and Import text commands of the main window and their dialogs.
#include <QAction>
#include <memory>

#include "base/AtomicFile.h"
#include "base/Error.h"
#include "exchange/Export.h"
#include "exchange/Import.h"
#include "ui/ExportDialog.h"
#include "ui/ImportDialog.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"

namespace tw {

void TMainWindow::BuildExchangeCommands() {
  const auto bind = [this](std::initializer_list<const char*> names, std::function<void()> run) {
    for (const char* name : names) {
      const QString key = QString::fromLatin1(name);
      connect(Command(key), &QAction::triggered, this, [this, run] {
        if (Idle()) run();
      });
      MakeAvailable(key);
    }
  };
  bind({"miExport"}, [this] { ExportCommand(esLibrary); });
  bind({"miVExport", "pmTVExport", "tbExport"}, [this] { ExportCommand(esSelection); });
  bind({"miImpText", "pmTVImportText"}, [this] { ImportTextCommand(); });
}

TfrmExport& TMainWindow::ExportDialog() {
  if (!exportDialog_) exportDialog_ = new TfrmExport(g_, this);
  return *exportDialog_;
}

TfrmImport& TMainWindow::ImportDialog() {
  if (!importDialog_) importDialog_ = new TfrmImport(g_, this);
  return *importDialog_;
}

bool TMainWindow::ExportCommand(TExportSource source) {
  if (!Idle()) return false;
  TfrmExport& dialog = ExportDialog();
  if (dialog.Run(source) != QDialog::Accepted) return false;
  // Writing the export over the open library's file would destroy the catalog.
  const TFileStamp target = TFileStamp::Of(dialog.Options().FileName), library = TFileStamp::Of(Library().FileName);
  if (target.Exists && library.Exists && target.Device == library.Device && target.Inode == library.Inode) {
    ShowError(Q(dialog.Options().FileName) + " is the open library itself; give another file to write.");
    return false;
  }
  TExportSourceData data;
  data.Source = source;
  if (source == esSelection) data.Selection = SelectedFolderNodes();
  // Built here: the exporter takes the text formats from the settings on
  // the window's thread.
  auto exporter = std::make_shared<TExport>(g_, dialog.Options(), std::move(data));
  return RunDetached([exporter](TOperation& op) { exporter->Export(op); },
                     [this](const TOperationRunner::TOutcome&) {
                       // The totals change the library, so they wait for the window's thread.
                       TLibObj& lib = Library();
                       lib.RecountTotals();
                       g_.EndProgress(Format(g_.GetText("msgsExported"), {lib.FileName}));
                     });
}

bool TMainWindow::ImportTextCommand() {
  if (!Idle()) return false;
  TfrmImport& dialog = ImportDialog();
  if (dialog.Run() != QDialog::Accepted) return false;
  const TImportOptions options = dialog.Options();
  return RunBusy([this, options](TOperation& op) { RunTextImport(g_, options, op); },
                 [this](const TOperationRunner::TOutcome&) {
                   TLibObj& lib = Library();
                   sb_tree->SetText(0, Q(Format(g_.GetText("infoVol"), {std::to_string(lib.VolumeCount)})));
                   if (lib.CurVolumeNode) SelectFolderNode(lib.CurVolumeNode);
                 });
}

}  // namespace tw
