#include "ui/Translator.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QStackedWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <algorithm>
#include <set>

#include "base/Error.h"
#include "state/Globals.h"
#include "ui/MainWindow.h"
#include "ui/Text.h"

namespace tw {
namespace {

const char* const kGeneration = "twLanguageGeneration";

// One text of a component: how its key ends, its text, how to set it.
struct TText {
  QString Key;
  QString Text;
  std::function<void(const QString&)> Set;
  // A column or tab: translated only when it has a text; a tab is written
  // out even without one.
  bool Indexed = false;
  bool WrittenWhenEmpty = false;
};

bool Named(const QObject* o) {
  const QString& name = o->objectName();
  return !name.isEmpty() && !name.startsWith(QLatin1String("qt_")) && !name.startsWith(QLatin1String("_q_"));
}

bool IsForm(const QObject* o) {
  const auto* w = qobject_cast<const QWidget*>(o);
  return w && w->isWindow() && !qobject_cast<const QMenu*>(w);
}

// A menu's own action, the one its parent menu shows: its caption belongs
// to the menu. (menuAction() may answer another action that drops the menu
// down, such as a tool bar button's.)
QAction* OwnAction(const QMenu* menu) {
  for (QObject* child : menu->children())
    if (auto* a = qobject_cast<QAction*>(child); a && a->menu<QMenu*>() == menu) return a;
  return nullptr;
}

bool IsMenuAction(const QObject* o) {
  const auto* a = qobject_cast<const QAction*>(o);
  return a && a->parent() && a->menu<QMenu*>() == a->parent();
}

// An action that only tool bars show: its hint is its text.
bool OnToolBarsOnly(const QAction* a) {
  const QList<QObject*> shown = a->associatedObjects();
  return !shown.isEmpty() && std::all_of(shown.begin(), shown.end(), [](const QObject* o) {
    return qobject_cast<const QToolBar*>(o) || qobject_cast<const QToolButton*>(o);
  });
}

void AddColumns(std::vector<TText>& out, const QString& name, QAbstractItemModel* model) {
  if (!model) return;
  for (int i = 0; i < model->columnCount(); ++i)
    out.push_back({name + "." + QString::number(i), model->headerData(i, Qt::Horizontal).toString(),
                   [model, i](const QString& t) { model->setHeaderData(i, Qt::Horizontal, t); }, true, false});
}

// The texts of one component of a window; none for a kind without texts.
std::vector<TText> TextsOf(QObject* o) {
  std::vector<TText> out;
  // A label without a name of its own is known by the field it labels.
  if (auto* label = qobject_cast<QLabel*>(o); label && !Named(label) && label->buddy() && Named(label->buddy())) {
    out.push_back({label->buddy()->objectName() + QStringLiteral(".Label"), label->text(),
                   [label](const QString& t) { label->setText(t); }});
    return out;
  }
  if (!Named(o)) return out;
  const QString name = o->objectName();
  if (auto* menu = qobject_cast<QMenu*>(o)) {
    if (QAction* a = OwnAction(menu)) out.push_back({name, a->text(), [a](const QString& t) { a->setText(t); }});
  } else if (auto* a = qobject_cast<QAction*>(o)) {
    if (IsMenuAction(a) || a->isSeparator()) return out;
    if (OnToolBarsOnly(a))
      out.push_back({name, a->toolTip(), [a](const QString& t) {
                       a->setText(t);
                       a->setToolTip(t);
                     }});
    else
      out.push_back({name, a->text(), [a](const QString& t) { a->setText(t); }});
  } else if (auto* label = qobject_cast<QLabel*>(o)) {
    // The fields of the window's bars show states, not captions.
    if (!qobject_cast<TBar*>(label->parentWidget()))
      out.push_back({name, label->text(), [label](const QString& t) { label->setText(t); }});
  } else if (auto* check = qobject_cast<QCheckBox*>(o)) {
    out.push_back({name, check->text(), [check](const QString& t) { check->setText(t); }});
  } else if (auto* tool = qobject_cast<QToolButton*>(o)) {
    if (!tool->defaultAction())
      out.push_back({name, tool->toolTip(), [tool](const QString& t) {
                       if (tool->text() == tool->toolTip()) tool->setText(t);
                       tool->setToolTip(t);
                     }});
  } else if (auto* tabs = qobject_cast<QTabBar*>(o)) {
    for (int i = 0; i < tabs->count(); ++i)
      out.push_back({name + "." + QString::number(i), tabs->tabText(i),
                     [tabs, i](const QString& t) { tabs->setTabText(i, t); }, true, true});
  } else if (auto* tree = qobject_cast<QTreeView*>(o)) {
    if (!tree->isHeaderHidden()) AddColumns(out, name, tree->model());
  } else if (auto* table = qobject_cast<QTableView*>(o)) {
    if (!table->horizontalHeader()->isHidden()) AddColumns(out, name, table->model());
  }
  // A page of a tab widget: its tab's text.
  if (auto* page = qobject_cast<QWidget*>(o); page && qobject_cast<QStackedWidget*>(page->parentWidget())) {
    if (auto* pages = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget())) {
      const int i = pages->indexOf(page);
      if (i >= 0)
        out.push_back({name, pages->tabText(i), [pages, page](const QString& t) {
                         const int at = pages->indexOf(page);
                         if (at >= 0) pages->setTabText(at, t);
                       }});
    }
  }
  return out;
}

// Depth first: the components a component holds, then the component itself;
// windows of their own are left to their own walk. `skip`: components whose
// own components are left out.
void Walk(QObject* parent, const std::function<void(QObject*)>& visit, const QSet<QString>* skip) {
  for (QObject* child : parent->children()) {
    if (IsForm(child) || IsMenuAction(child)) continue;
    if (!skip || !skip->contains(child->objectName().toLower())) Walk(child, visit, skip);
    visit(child);
  }
}

std::string WithSlash(std::string path) {
  if (!path.empty() && path.back() != '/') path += '/';
  return path;
}

// A help page named by a language file: a page inside the manual folder,
// never a path out of it or a file that is no page (the desktop would run
// what it opens).
QString HelpPageOf(const std::string& name) {
  const QString page = Q(name).trimmed();
  if (page.isEmpty() || page.startsWith('/') || page.contains('\\')) return {};
  for (const QString& part : page.split('/'))
    if (part == QLatin1String("..")) return {};
  const QString suffix = QFileInfo(page).suffix().toLower();
  if (suffix != QLatin1String("html") && suffix != QLatin1String("htm")) return {};
  return Q(InstalledFolder("manual")) + page;
}

}  // namespace

TTranslator::TTranslator(TGlobalData& g, QWidget* mainWindow) : QObject(mainWindow), g_(g), main_(mainWindow) {
  setObjectName(QStringLiteral("MultiLang"));
  DefaultHelpFile = Q(InstalledFolder("manual")) + QStringLiteral("index.html");
  qApp->installEventFilter(this);
}

TTranslator::~TTranslator() { qApp->removeEventFilter(this); }

std::string TTranslator::UserFolder() const { return WithSlash(g_.ProgramDir()) + "languages/"; }

std::vector<std::string> TTranslator::Folders() const { return {InstalledFolder("languages"), UserFolder()}; }

void TTranslator::BuildLanguageMenu(QMenu* menu) {
  entries_ = ListLanguageFiles(Folders());
  for (const TLanguageEntry& entry : entries_) {
    if (!entry.Offered()) continue;
    const std::string name = entry.MenuName();
    // The name as it is: an "&" in it is no access key.
    QAction* a = menu->addAction(Q(name).replace('&', QLatin1String("&&")));
    if (ShowIcons) {
      const QString icon = Q(entry.Path.substr(0, entry.Path.size() - 4)) + QStringLiteral(".ico");
      if (QFileInfo(icon).isFile()) {
        const QIcon picture(icon);
        if (!picture.availableSizes().isEmpty()) a->setIcon(picture);
      }
    }
    connect(a, &QAction::triggered, this, [this, name] {
      if (auto* window = qobject_cast<TMainWindow*>(main_.data()); window && !window->Idle()) return;
      SelectLanguage(name);
    });
  }
}

void TTranslator::Load(TLanguageFile file) {
  strings_ = std::move(file);
  const std::string help = strings_.HelpFile();
  HelpFile = help.empty() ? QString() : HelpPageOf(help);
}

bool TTranslator::SelectLanguage(const std::string& name) {
  const TLanguageEntry* entry = FindLanguage(entries_, name);
  if (!entry) return false;
  try {
    Load(TLanguageFile::Load(entry->Path));
  } catch (const std::exception&) {
    return false;  // gone or unreadable since the menu was built
  }
  CurrentLanguage = name;
  g_.LanguageName = CurrentLanguage;
  Apply();
  return true;
}

void TTranslator::RestoreBuiltInTexts() {
  if (BuiltInFile.empty()) return;
  try {
    Load(TLanguageFile::Load(UserFolder() + BuiltInFile));
  } catch (const std::exception&) {
    Load(TLanguageFile::Parse(LanguageText(builtIn_)));
  }
  CurrentLanguage = BuiltInFile;
  g_.LanguageName = CurrentLanguage;
  Apply();
}

void TTranslator::WriteBuiltInTexts() {
  builtIn_ = CollectTexts();
  if (!BuiltInFile.empty()) WriteLanguageFile(UserFolder() + BuiltInFile, builtIn_);
}

void TTranslator::ExportLanguage(const std::string& file) { WriteLanguageFile(file, CollectTexts()); }

QList<QWidget*> TTranslator::Windows() const {
  QList<QWidget*> windows;
  if (!main_) return windows;
  windows << main_.data();
  const std::function<void(QObject*)> owned = [&](QObject* parent) {
    for (QObject* child : parent->children()) {
      if (IsForm(child) && Named(child)) windows << static_cast<QWidget*>(child);
      owned(child);
    }
  };
  owned(main_.data());
  QList<QWidget*> others;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (IsForm(w) && w->objectName().startsWith(QLatin1String("frm")) && !windows.contains(w)) others << w;
  std::sort(others.begin(), others.end(),
            [](const QWidget* a, const QWidget* b) { return a->objectName() < b->objectName(); });
  return windows + others;
}

std::vector<std::string> TTranslator::CollectTexts() const {
  if (MakeWindows) MakeWindows();
  std::vector<std::string> lines;
  std::set<std::string> written;
  auto append = [&](const QString& form, QObject* o) {
    for (const TText& t : TextsOf(o)) {
      if (!t.WrittenWhenEmpty && (t.Text.isEmpty() || t.Text == QLatin1String("-"))) continue;
      // A line holds one text: line ends inside it would split it.
      QString text = t.Text;
      text.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace('\n', ' ').replace('\r', ' ');
      std::string line = S(form + "." + t.Key + "=" + text);
      // Two windows of one kind (an editor in two dialogs) give one line.
      if (written.insert(line).second) lines.push_back(std::move(line));
    }
  };
  for (QWidget* window : Windows()) {
    const QString form = window->objectName();
    if (!SkipList.contains(form.toLower())) Walk(window, [&](QObject* o) { append(form, o); }, &SkipList);
    if (!window->windowTitle().isEmpty() && window->windowTitle() != QLatin1String("-"))
      lines.push_back(S(form + "." + form + "=" + window->windowTitle()));
  }
  const std::vector<std::string>& table = g_.Messages().Lines();
  for (size_t i = 1; i < table.size(); ++i) {
    const auto eq = table[i].find('=');
    if (eq != std::string::npos && eq + 1 < table[i].size()) lines.push_back(table[i]);
  }
  return lines;
}

QString TTranslator::Translate(const QString& def, const QString& key) const {
  return Q(strings_.Translate(S(def), S(key)));
}

void TTranslator::TranslateWindow(QWidget* window) {
  const QString form = window->objectName();
  Walk(window, [&](QObject* o) {
    for (const TText& t : TextsOf(o)) {
      if (t.Text == QLatin1String("-") || (t.Indexed && t.Text.isEmpty())) continue;
      const QString text = Translate(t.Text, form + "." + t.Key);
      if (text != t.Text) t.Set(text);
    }
  }, nullptr);
  if (window->windowTitle() != QLatin1String("-"))
    window->setWindowTitle(Translate(window->windowTitle(), form + "." + form));
  window->setProperty(kGeneration, generation_);
}

void TTranslator::TranslateMessages() {
  TMessageTable& table = g_.Messages();
  const std::vector<std::string> lines = table.Lines();
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto eq = lines[i].find('=');
    if (eq == std::string::npos || eq + 1 == lines[i].size()) continue;
    const std::string key = lines[i].substr(0, eq);
    const std::string text = lines[i].substr(eq + 1);
    const std::string translated = strings_.Translate(text, key);
    if (translated != text) table.SetText(key, translated);
  }
}

void TTranslator::Apply() {
  ++generation_;
  for (QWidget* window : Windows()) TranslateWindow(window);
  TranslateMessages();
  emit Applied();
}

bool TTranslator::eventFilter(QObject* watched, QEvent* event) {
  // A window made after the last language was applied gets it when it is
  // first shown.
  if (event->type() == QEvent::Show && generation_ > 0 && CurrentLanguage != BuiltInFile && IsForm(watched) &&
      Named(watched) && watched->property(kGeneration).toInt() != generation_)
    TranslateWindow(static_cast<QWidget*>(watched));
  return QObject::eventFilter(watched, event);
}

}  // namespace tw
