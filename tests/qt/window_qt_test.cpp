// The program in its real Qt window, driven through the widgets: clicks on the
// buttons and boxes, typing into the fields; the boxes and the folder chooser
// answered through the window's seam unless a test drives the real ones.
// Built once per text width (vantrel-mac and vantrel-mac-ascii).

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QDesktopServices>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "engine/file_system.hpp"
#include "platform/qt/text_qt.hpp"
#include "platform/qt/window_qt.hpp"
#include "tests/support/temp_tree.hpp"
#include "ui/control_kinds.hpp"
#include "ui/program.hpp"

namespace vantrel {
namespace {

using testing::T;
using testing::TempTree;

Text A(const char* ascii) { return TextFromAscii(ascii); }
// The Qt window whose end of the program is recorded instead of ending the test.
class TestHost final : public QtWindowHost {
 public:
  TestHost() : QtWindowHost(noArguments, nullptr) {}
  void EndProgram() override { ended = true; }
  bool ended = false;

 private:
  static inline int noArguments = 0;  // the test's application exists already
};

// The program started up in its window, ready for clicks.
struct QtApp {
  QtApp() : program(std::make_unique<Program>(host, SearchFlavour::Mac)) {
    started = program->StartUp();
    exposed = QTest::qWaitForWindowExposed(host.Window());
  }
  ~QtApp() { program.reset(); }

  template <typename W = QWidget>
  W* Widget(int gadget) {
    return qobject_cast<W*>(host.WidgetOf(gadget));
  }
  void Click(int gadget) { QTest::mouseClick(host.WidgetOf(gadget), Qt::LeftButton); }
  void TypeFolder(const std::string& pathBytes) {
    auto* input = Widget<QLineEdit>(GadgetDirectoryInput);
    input->setFocus();
    input->selectAll();
    QTest::keyClicks(input, QString::fromUtf8(pathBytes.c_str()));
  }
  QTabWidget* Panel() { return Widget<QTabWidget>(GadgetPanel); }
  QTableView* Results() { return Widget<QTableView>(GadgetResults); }
  Text PauseText() { return host.TextOf(GadgetMacPause); }
  // Waits for the search to be over (its last window step taken).
  bool SearchOver(int ms = 30000) {
    QElapsedTimer t;
    t.start();
    while (program->Search().IsAlive() && t.elapsed() < ms) QTest::qWait(10);
    return !program->Search().IsAlive();
  }

  TestHost host;
  std::unique_ptr<Program> program;
  bool started = false;
  bool exposed = false;
};

// Runs fn on the first modal box or dialog that opens, from a timer, while the
// test's own call sits in the box's loop.
void OnModal(std::function<void(QWidget*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, fn] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      fn(modal);
    }
  });
  timer->start(20);
}

// A stage hook that holds the worker at a stage (the fingerprints unless
// told otherwise) until released.
struct HeldWorker {
  explicit HeldWorker(int stage = kStageFingerprints) : at(stage) {}
  int at;
  std::shared_ptr<std::atomic<bool>> reached = std::make_shared<std::atomic<bool>>(false);
  std::shared_ptr<std::atomic<bool>> release = std::make_shared<std::atomic<bool>>(false);
  PassIo Io() const {
    PassIo io = PassIo::Platform();
    io.stageReached = [reached = reached, release = release, at = at](int stage) {
      if (stage != at) return;
      reached->store(true);
      while (!release->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    return io;
  }
};

// A wrong control kind ends the test run at once.
void FailOnWrongKind(int gadget, ControlKind kind, ControlOperation operation) {
  qFatal("gadget %d is a %s, which takes no %s", gadget, KindName(kind), OperationName(operation));
}

// Stands in for the desktop's opener of files: records every file URL.
class UrlRecorder final : public QObject {
  Q_OBJECT

 public:
  std::vector<QUrl> urls;

 public Q_SLOTS:
  void Open(const QUrl& url) { urls.push_back(url); }
};

// Fills the result list with rows of the given paths (group 1 for all) and
// shows it.
void ShowRows(QtApp& app, const std::vector<Text>& paths) {
  std::vector<Text> cells;
  for (const Text& path : paths)
    for (const Text& cell : {A("1"), path, A("5 B"), A("md5"), Text(), Text()}) cells.push_back(cell);
  app.host.AppendRows(GadgetResults, cells);
  app.host.SelectTab(GadgetPanel, kResultsTab);
  QApplication::processEvents();
}

QPoint CellCentre(QTableView* view, int row, int column) {
  return view->visualRect(view->model()->index(row, column)).center();
}

// Runs fn on the popup menu that opens next, from a timer, while the test's
// own call sits in the menu's loop.
void OnMenu(std::function<void(QMenu*)> fn) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, timer, [timer, fn] {
    if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      timer->stop();
      timer->deleteLater();
      fn(menu);
    }
  });
  timer->start(20);
}

// Chooses the menu's entry with the given text as a person does with the keys.
void ChooseEntry(QMenu* menu, const QString& text) {
  for (QAction* action : menu->actions()) {
    if (action->text() == text) {
      menu->setActiveAction(action);
      QTest::keyClick(menu, Qt::Key_Return);
      return;
    }
  }
  QTest::keyClick(menu, Qt::Key_Escape);
}

}  // namespace

class WindowQtTest : public QObject {
  Q_OBJECT

 private Q_SLOTS:
  void initTestCase();
  void WidgetsSitWhereTheLayoutPutsThem();
  void WholeSearchFindsShowsAndDeletesByteNames();
  void PauseResumesOnOneButtonAndStopEndsAPausedSearch();
  void NoDuplicatesBoxIsANoteAndGivesThePanelBack();
  void HandOverArrivesWithoutAnyFurtherEvent();
  void BoxesChooserSpinFieldsAndWindowFlags();
  void SpaceTogglesTheCheckOfTheFocusedRow();
  void TextFieldsTakeTextOfAnyLength();
  void ANameWithALineBreakShowsWhole();
  void ChooserAnswerNeverNamesAnotherFolder();
  void RemovingRowsKeepsTheRowsLeftAsTheyWere();
  void BarIsBusyUntilTheFirstValueOfASearchAndOfADelete();
  void DeleteKeepsTheScrollPositionAndTheCurrentRow();
  void TipsShowTheWholeTextOfCutCellsOnly();
  void DoubleClickAndReturnOpenTheRowsFile();
  void TheRowMenuOffersItsEntriesByPointerAndByKey();
  void HomeAndEndGoToTheFirstAndLastRow();
  void DroppedFoldersAndFilesGoIntoTheSearchList();
  void AWrongControlKindIsReported();
  void AFolderWhoseNameIsNotUtf8CanBeDropped();
  void OpenHandsTheDesktopTheFileWhoseNameIsNotUtf8();
  void DroppedFileUrlsWithAHostNameTheRightFolderOrNone();
  void ATipShowsANameWithMarkupAsItIs();
};

void WindowQtTest::WidgetsSitWhereTheLayoutPutsThem() {
  QtApp app;
  QVERIFY(app.started);
  QVERIFY(app.exposed);
  QWidget* window = app.host.Window();
  QCOMPARE(window->size(), QSize(800, 600));
  QCOMPARE(window->minimumSize(), QSize(800, 600));
  QCOMPARE(window->maximumSize(), QSize(800, 600));
  QVERIFY(window->windowFlags() & Qt::WindowCloseButtonHint);
  QVERIFY(window->windowFlags() & Qt::WindowMinimizeButtonHint);
  QVERIFY(!(window->windowFlags() & Qt::WindowMaximizeButtonHint));
  QCOMPARE(window->windowTitle(), QStringLiteral(" Vantrel v1.4"));
  QVERIFY(window->isActiveWindow());
  QRect centred(QPoint(), window->size());
  centred.moveCenter(QGuiApplication::primaryScreen()->availableGeometry().center());
  QCOMPARE(window->pos(), centred.topLeft());
  QCOMPARE(window->font().family(), QStringLiteral("Verdana"));
  QCOMPARE(window->font().pointSize(), 10);

  // Positions that do not depend on measured text, read from the widgets.
  struct Case {
    int gadget;
    QRect place;
    int tab;  // -1: on the window
  };
  const Case cases[] = {
      {GadgetDirectoryInput, {120, 13, 520, 20}, -1},
      {GadgetBrowse, {650, 13, 120, 20}, -1},
      {GadgetSearchList, {125, 55, 655, 76}, -1},
      {GadgetPanel, {10, 153, 780, 383}, -1},
      {GadgetProgress, {10, 540, 780, 20}, -1},
      {GadgetStart, {10, 565, 255, 25}, -1},
      {GadgetMacPause, {272, 565, 255, 25}, -1},
      {GadgetStop, {535, 565, 255, 25}, -1},
      {GadgetMinSize, {105, 259, 98, 20}, kOptionsTab},
      {GadgetMaxSize, {105, 289, 98, 20}, kOptionsTab},
      {GadgetResults, {3, 5, 770, 310}, kResultsTab},
      {GadgetSelectAll, {7, 317, 145, 22}, kResultsTab},
      {GadgetSelectAllButOne, {161, 317, 145, 22}, kResultsTab},
      {GadgetReverseSelection, {315, 317, 145, 22}, kResultsTab},
      {GadgetClearList, {469, 317, 145, 22}, kResultsTab},
      {GadgetDeleteSelected, {621, 317, 145, 22}, kResultsTab},
  };
  for (const Case& c : cases) {
    QWidget* w = app.host.WidgetOf(c.gadget);
    QVERIFY2(w, qPrintable(QString::number(c.gadget)));
    QCOMPARE(w->geometry(), c.place);
    QWidget* container = c.tab < 0 ? window : app.Panel()->widget(c.tab);
    QVERIFY2(container->isAncestorOf(w), qPrintable(QString::number(c.gadget)));
  }
  // A page's controls are placed from the page's own corner.
  QWidget* page = app.Panel()->widget(kResultsTab);
  QCOMPARE(app.Results()->mapTo(page, QPoint(0, 0)), QPoint(3, 5));

  // The check boxes and the method label follow the measured widths: the
  // text's width in the window's font, plus 10, plus 20.
  const QFontMetrics metrics(QFont(QStringLiteral("Verdana"), 10));
  auto measured = [&](int gadget) {
    const QString text = gadget == GadgetMethodLabel ? app.Widget<QLabel>(gadget)->text()
                                                     : app.Widget<QCheckBox>(gadget)->text();
    return metrics.horizontalAdvance(text) + 30;
  };
  for (int gadget : {GadgetSubdirs, GadgetSizeLimit, GadgetAlwaysOnTop, GadgetHighPriority, GadgetMethodLabel,
                     GadgetMd5, GadgetCrc32, GadgetSha1, GadgetFileTypes})
    QCOMPARE(app.host.WidgetOf(gadget)->width(), measured(gadget));
  auto right = [&](int gadget) { return app.host.WidgetOf(gadget)->geometry().right() + 1; };
  QCOMPARE(app.host.WidgetOf(GadgetMd5)->x(), right(GadgetMethodLabel) + 10);
  QCOMPARE(app.host.WidgetOf(GadgetCrc32)->x(), right(GadgetMd5) + 10);
  QCOMPARE(app.host.WidgetOf(GadgetSha1)->x(), right(GadgetCrc32) + 10);
  QCOMPARE(app.host.WidgetOf(GadgetFileTypesInput)->x(), right(GadgetFileTypes) + 10);

  // The result list: the check-box column, then columns 0 to 5.
  const int widths[] = {25, 60, 260, 85, 100, 100, 100};
  QCOMPARE(app.Results()->model()->columnCount(), 7);
  for (int column = 0; column < 7; ++column) QCOMPARE(app.Results()->columnWidth(column), widths[column]);
  QCOMPARE(app.Results()->model()->headerData(4, Qt::Horizontal).toString(), QStringLiteral("MD5"));
  QCOMPARE(app.Results()->selectionMode(), QAbstractItemView::ExtendedSelection);
  QCOMPARE(app.Widget<QAbstractItemView>(GadgetSearchList)->selectionMode(), QAbstractItemView::ExtendedSelection);

  // Initial states.
  QCOMPARE(app.Panel()->currentIndex(), kOptionsTab);
  QVERIFY(!app.host.WidgetOf(GadgetMinSize)->isEnabled());
  QVERIFY(!app.host.WidgetOf(GadgetFileTypesInput)->isEnabled());
  QVERIFY(app.Widget<QCheckBox>(GadgetMd5)->isChecked());
  QVERIFY(!app.host.WidgetOf(GadgetMd5)->isEnabled());
  QCOMPARE(app.host.WidgetOf(GadgetMacPause)->toolTip(), QStringLiteral("Pause/Resume searching"));
}

void WindowQtTest::WholeSearchFindsShowsAndDeletesByteNames() {
  // "\xff\xfe" is no UTF-8; the decoy's name is what a lossy conversion of that
  // name would give (two U+FFFD), so deleting it instead would show.
  TempTree tree({
      {"a/one.txt", "the same contents"},
      {"a/two.txt", "the same contents"},
      {"a/three.txt", "unique"},
      {"b/\xff\xfe name.txt", "the same contents"},
      {"b/\xef\xbf\xbd\xef\xbf\xbd name.txt", "a decoy"},
      {"b/four.dat", "a pair"},
      {"b/five.dat", "a pair"},
  });
  const std::string root = tree.Root().native();
  QtApp app;

  // Browse, answered through the seam, then Add; then a typed folder and Add.
  app.host.QueueFolder(T(root + "/a/"));
  app.Click(GadgetBrowse);
  QCOMPARE(app.host.TextOf(GadgetDirectoryInput), T(root + "/a/"));
  app.Click(GadgetAdd);
  app.TypeFolder(root + "/b");
  app.Click(GadgetAdd);
  QCOMPARE(app.host.RowCount(GadgetSearchList), 2);
  QCOMPARE(app.host.RowText(GadgetSearchList, 1, 0), T(root + "/b"));
  QVERIFY(app.host.TextOf(GadgetDirectoryInput).empty());

  app.Click(GadgetStart);
  QTRY_COMPARE_WITH_TIMEOUT(app.host.RowCount(GadgetResults), 5, 30000);
  QVERIFY(app.SearchOver());
  QCOMPARE(app.Panel()->currentIndex(), kResultsTab);
  QVERIFY(app.Panel()->isEnabled());

  // The byte name reads back exactly as the walk found it, and shows as its
  // bytes in Latin-1 (8-bit) or with replacement glyphs for the odd bytes (16-bit).
  const Text byteName = T(root + "/b/\xff\xfe name.txt");
  int byteRow = -1;
  for (int row = 0; row < app.host.RowCount(GadgetResults); ++row)
    if (app.host.RowText(GadgetResults, row, 1) == byteName) byteRow = row;
  QVERIFY(byteRow >= 0);
  const QString shown = app.Results()->model()->index(byteRow, 2).data().toString();
  if constexpr (sizeof(Char) == 1)
    QVERIFY(shown.endsWith(QStringLiteral("/b/\u00ff\u00fe name.txt")));
  else
    QVERIFY(shown.endsWith(QStringLiteral("/b/") + QChar(0xDCFF) + QChar(0xDCFE) + QStringLiteral(" name.txt")));

  app.Click(GadgetSelectAllButOne);
  // The check marks the view shows are the rows' states.
  for (int row = 0; row < app.host.RowCount(GadgetResults); ++row) {
    const bool checked = app.host.RowState(GadgetResults, row) & kRowChecked;
    const bool groupStart = row == 0 || app.host.RowText(GadgetResults, row, 0) != app.host.RowText(GadgetResults, row - 1, 0);
    QCOMPARE(checked, !groupStart);
    QCOMPARE(app.Results()->model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>(),
             checked ? Qt::Checked : Qt::Unchecked);
  }
  // The byte-named file was found in the later folder, so it is never the kept one.
  QVERIFY(app.host.RowState(GadgetResults, byteRow) & kRowChecked);

  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  QCOMPARE(app.host.Boxes().back().title, A("Delete files?"));
  QVERIFY(app.SearchOver());
  QVERIFY(app.host.WidgetOf(GadgetSelectAll)->isEnabled());

  namespace fs = std::filesystem;
  auto exists = [&](const char* relative) { return fs::exists(tree.Root() / relative); };
  QVERIFY(exists("a/one.txt") != exists("a/two.txt"));
  QVERIFY(!exists("b/\xff\xfe name.txt"));
  QVERIFY(exists("b/\xef\xbf\xbd\xef\xbf\xbd name.txt"));
  QVERIFY(exists("b/four.dat") != exists("b/five.dat"));
  QVERIFY(exists("a/three.txt"));
  // Only the kept copies' rows are left.
  QCOMPARE(app.host.RowCount(GadgetResults), 2);
  for (int row = 0; row < 2; ++row)
    QVERIFY(fs::exists(testing::FsPath(app.host.RowText(GadgetResults, row, 1))));
}

void WindowQtTest::PauseResumesOnOneButtonAndStopEndsAPausedSearch() {
  TempTree tree({{"x.bin", "twins"}, {"y.bin", "twins"}});
  QtApp app;
  HeldWorker held;
  app.program->Search().SetPassIo(held.Io());

  // No search: the button does nothing.
  app.Click(GadgetMacPause);
  QCOMPARE(app.PauseText(), A("Pause"));

  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);
  app.Click(GadgetStart);
  QTRY_VERIFY_WITH_TIMEOUT(held.reached->load(), 30000);
  QVERIFY(!app.Panel()->isEnabled());

  app.Click(GadgetMacPause);
  QCOMPARE(app.PauseText(), A("Resume"));
  QVERIFY(app.program->Search().SearchPaused());
  app.Click(GadgetMacPause);
  QCOMPARE(app.PauseText(), A("Pause"));
  QVERIFY(!app.program->Search().SearchPaused());
  app.Click(GadgetMacPause);
  QCOMPARE(app.PauseText(), A("Resume"));

  // Let go of the worker: paused, it reads nothing more and shows nothing.
  held.release->store(true);
  QTest::qWait(300);
  QCOMPARE(app.host.RowCount(GadgetResults), 0);
  QVERIFY(app.program->Search().IsAlive());

  app.Click(GadgetStop);
  QCOMPARE(app.PauseText(), A("Pause"));
  QVERIFY(!app.program->Search().IsAlive());
  QVERIFY(app.Panel()->isEnabled());
  QTest::qWait(300);
  QCOMPARE(app.host.RowCount(GadgetResults), 0);
  QVERIFY(app.host.Boxes().empty());
}

void WindowQtTest::NoDuplicatesBoxIsANoteAndGivesThePanelBack() {
  TempTree tree({{"p.txt", "one"}, {"q.txt", "two"}});
  QtApp app;
  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);

  // The real box, answered by a click on its one button.
  QString windowTitle, headline, message;
  int buttons = 0;
  OnModal([&](QWidget* modal) {
    auto* box = qobject_cast<QMessageBox*>(modal);
    if (!box) return;
    windowTitle = box->windowTitle();
    headline = box->text();
    message = box->informativeText();
    buttons = static_cast<int>(box->buttons().size());
    QTest::mouseClick(box->buttons().first(), Qt::LeftButton);
  });
  app.Click(GadgetStart);
  QTRY_COMPARE_WITH_TIMEOUT(static_cast<int>(app.host.Boxes().size()), 1, 30000);
  QVERIFY(app.SearchOver());
  QCOMPARE(windowTitle, QStringLiteral("Information"));
  QCOMPARE(headline, QStringLiteral("Information"));
  QCOMPARE(message, QStringLiteral("No duplicates found."));
  QCOMPARE(buttons, 1);
  QCOMPARE(app.host.Boxes()[0].answer, kAnswerOk);
  QVERIFY(app.Panel()->isEnabled());
  QCOMPARE(app.Panel()->currentIndex(), kOptionsTab);
  QCOMPARE(app.host.RowCount(GadgetResults), 0);
}

void WindowQtTest::HandOverArrivesWithoutAnyFurtherEvent() {
  TempTree tree({{"m.txt", "copy"}, {"n.txt", "copy"}});
  QtApp app;
  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);

  // The loop below ends when the rows arrive, or fails after 20 s: only the
  // worker's queued calls can wake it before then.
  QEventLoop loop;
  bool rowsArrived = false;
  QObject::connect(app.Results()->model(), &QAbstractItemModel::rowsInserted, &loop, [&] {
    rowsArrived = true;
    loop.quit();
  });
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  QElapsedTimer elapsed;
  elapsed.start();
  app.Click(GadgetStart);
  if (!rowsArrived) loop.exec();
  QVERIFY(rowsArrived);
  QVERIFY(elapsed.elapsed() < 20000);
  QCOMPARE(app.host.RowCount(GadgetResults), 2);
  QVERIFY(app.SearchOver());
}

void WindowQtTest::BoxesChooserSpinFieldsAndWindowFlags() {
  QtApp app;
  TestHost& host = app.host;

  // Questions: Yes is the default (Return), No answers 7; other boxes answer 1.
  OnModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Return); });
  QCOMPARE(host.Ask(BoxKind::Question, A("Delete files?"), A("Delete selected files from disk?")), kAnswerYes);
  OnModal([](QWidget* box) {
    QTest::mouseClick(qobject_cast<QMessageBox*>(box)->button(QMessageBox::No), Qt::LeftButton);
  });
  QCOMPARE(host.Ask(BoxKind::Question, A("t"), A("m")), kAnswerNo);
  OnModal([](QWidget* box) { QTest::keyClick(box, Qt::Key_Escape); });
  QCOMPARE(host.Ask(BoxKind::Error, A("Error!"), A("The selected directory is not valid.")), kAnswerOk);

  // The folder chooser: the chosen folder's bytes (UTF-8 here, also for the
  // 8-bit program), and "/" for the root; Browse adds the trailing "/".
  TempTree tree({{"b\xc3\xbcro/", ""}});
  const std::string chosen = tree.Root().native() + "/b\xc3\xbcro";
  for (const std::string& folder : {chosen, std::string("/")}) {
    OnModal([folder](QWidget* modal) {
      auto* dialog = qobject_cast<QFileDialog*>(modal);
      // Opened in the folder with nothing picked inside, the chooser gives that folder.
      dialog->setDirectory(QString::fromUtf8(folder.c_str()));
      static_cast<QDialog*>(dialog)->accept();
    });
    QCOMPARE(host.ChooseFolder(A("Please select a directory"), A("/")), T(folder));
  }
  OnModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
  QVERIFY(host.ChooseFolder({}, {}).empty());

  // Spin fields: typed text goes in as typed; the arrows step from a typed
  // number and write decimal digits; the range ends at 0 and 2147483647. The
  // minimum's changes reach the program (the maximum follows it).
  app.Click(GadgetSizeLimit);
  QVERIFY(host.WidgetOf(GadgetMinSize)->isEnabled());
  auto* minSize = host.WidgetOf(GadgetMinSize);
  auto type = [&](const char* text) {
    minSize->setFocus();
    QTest::keyClick(minSize, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(minSize, QString::fromLatin1(text));
  };
  type("500");
  QCOMPARE(host.TextOf(GadgetMaxSize), A("500"));
  QTest::keyClick(minSize, Qt::Key_Up);
  QCOMPARE(host.TextOf(GadgetMinSize), A("501"));
  QCOMPARE(host.TextOf(GadgetMaxSize), A("501"));
  type("ab");
  QCOMPARE(host.TextOf(GadgetMinSize), A("ab"));
  QTest::keyClick(minSize, Qt::Key_Up);
  QCOMPARE(host.TextOf(GadgetMinSize), A("502"));
  type("99999999999");
  QTest::keyClick(minSize, Qt::Key_Up);
  QCOMPARE(host.TextOf(GadgetMinSize), A("2147483647"));
  type("-4");
  QTest::keyClick(minSize, Qt::Key_Down);
  QCOMPARE(host.TextOf(GadgetMinSize), A("0"));

  // Always on top, and back; the window stays shown.
  app.Click(GadgetAlwaysOnTop);
  QVERIFY(host.Window()->windowFlags() & Qt::WindowStaysOnTopHint);
  QVERIFY(host.Window()->isVisible());
  app.Click(GadgetAlwaysOnTop);
  QVERIFY(!(host.Window()->windowFlags() & Qt::WindowStaysOnTopHint));
  QVERIFY(host.Window()->isVisible());

  // Closing the window ends the program.
  host.Window()->close();
  QVERIFY(host.ended);
}

void WindowQtTest::SpaceTogglesTheCheckOfTheFocusedRow() {
  TempTree tree({{"a.txt", "same"}, {"b.txt", "same"}, {"c.txt", "same"}});
  QtApp app;
  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);
  app.Click(GadgetStart);
  QTRY_COMPARE_WITH_TIMEOUT(app.host.RowCount(GadgetResults), 3, 30000);
  QVERIFY(app.SearchOver());
  QTableView* view = app.Results();
  auto checkShown = [&](int row) {
    return view->model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked;
  };

  // A person picks a row by its name, or walks to it with the arrow keys, and
  // presses the space bar: that row's check box follows, as a click on it would.
  struct Case {
    const char* how;
    int row;
  };
  for (const Case& c : {Case{"click on the name", 1}, Case{"arrow down", 2}}) {
    if (c.row == 1) {
      QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 2)).center());
    } else {
      QTest::keyClick(view, Qt::Key_Down);
    }
    QCOMPARE(view->currentIndex().row(), c.row);
    QTest::keyClick(view, Qt::Key_Space);
    QApplication::processEvents();
    QVERIFY2(app.host.RowState(GadgetResults, c.row) & kRowChecked, c.how);
    QVERIFY2(checkShown(c.row), c.how);
    QTest::keyClick(view, Qt::Key_Space);
    QApplication::processEvents();
    QVERIFY2(!(app.host.RowState(GadgetResults, c.row) & kRowChecked), c.how);
    QVERIFY2(!checkShown(c.row), c.how);
  }
}

void WindowQtTest::TextFieldsTakeTextOfAnyLength() {
  QtApp app;
  app.Click(GadgetFileTypes);
  // Pasted and set: a list of file types (or a path) longer than 32767 characters.
  const QString longText = QString(40000, u'x');
  auto* types = app.Widget<QLineEdit>(GadgetFileTypesInput);
  QApplication::clipboard()->setText(longText);
  types->setFocus();
  QTest::keyClick(types, Qt::Key_V, Qt::ControlModifier);
  QCOMPARE(app.host.TextOf(GadgetFileTypesInput).size(), std::size_t{40000});
  app.host.SetText(GadgetDirectoryInput, Text(40000, static_cast<Char>('y')));
  QCOMPARE(app.host.TextOf(GadgetDirectoryInput).size(), std::size_t{40000});
}

void WindowQtTest::ANameWithALineBreakShowsWhole() {
  // The row of a name with a line break shows the whole name on its one line
  // (the break as a visible mark), while the row's path reads back exactly.
  TempTree tree({{"new\nline.txt", "same"}, {"other.txt", "same"}});
  QtApp app;
  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);
  app.Click(GadgetStart);
  QTRY_COMPARE_WITH_TIMEOUT(app.host.RowCount(GadgetResults), 2, 30000);
  QVERIFY(app.SearchOver());
  int row = app.host.RowText(GadgetResults, 0, 1) == T(tree.Root().native() + "/new\nline.txt") ? 0 : 1;
  QCOMPARE(app.host.RowText(GadgetResults, row, 1), T(tree.Root().native() + "/new\nline.txt"));
  const QString shown = app.Results()->model()->index(row, 2).data().toString();
  QVERIFY2(!shown.contains(u'\n'), qPrintable(shown));
  QVERIFY2(shown.startsWith(QString::fromUtf8(tree.Root().native().c_str()) + QStringLiteral("/new")), qPrintable(shown));
  QVERIFY2(shown.endsWith(QStringLiteral("line.txt")), qPrintable(shown));
}

void WindowQtTest::ChooserAnswerNeverNamesAnotherFolder() {
  // The chooser names a folder whose name is not UTF-8 with U+FFFD in place of
  // the bytes; that answer stands for the folder only when no other folder
  // beside it reads the same.
  const QString lossy = QStringLiteral("b") + QChar(QChar::ReplacementCharacter);
  struct Case {
    const char* what;
    std::vector<std::string> folders;
    std::string given;  // "" for no folder
  };
  const std::vector<Case> cases = {
      {"one folder, not UTF-8", {"b\xff"}, "b\xff"},
      {"one folder, named by the replacement character", {"b\xef\xbf\xbd"}, "b\xef\xbf\xbd"},
      {"both", {"b\xff", "b\xef\xbf\xbd"}, ""},
      {"two folders, neither UTF-8", {"b\xff", "b\xfe"}, ""},
      {"a file, not a folder", {}, ""},
  };
  for (const Case& c : cases) {
    std::vector<testing::TreeEntry> entries = {{"parent/other", "x"}};
    if (c.folders.empty()) entries.push_back({"parent/b\xfd", "a file"});
    for (const std::string& folder : c.folders) entries.push_back({"parent/" + folder + "/inner.txt", "x"});
    TempTree tree(entries);
    const std::string parent = tree.Root().native() + "/parent";
    const QString answer = QFile::decodeName(QByteArray::fromStdString(parent)) + QStringLiteral("/") + lossy;
    const Text folder = ChosenFolderText(answer);
    QVERIFY2(folder.empty() == c.given.empty(), c.what);
    if (!folder.empty()) QVERIFY2(testing::Bytes(folder) == parent + "/" + c.given, c.what);
  }
}

void WindowQtTest::RemovingRowsKeepsTheRowsLeftAsTheyWere() {
  QtApp app;
  QTableView* view = app.Results();
  const int nameWidth = view->columnWidth(2);
  std::vector<Text> cells;
  for (int row = 0; row < 10; ++row)
    for (int cell = 0; cell < 6; ++cell) cells.push_back(A(cell == 1 ? "/f" : "x") + DecimalText(row));
  app.host.AppendRows(GadgetResults, cells);
  app.host.SetRowState(GadgetResults, 3, kRowChecked);
  app.host.SetRowState(GadgetResults, 6, kRowHighlighted | kRowChecked);
  app.host.SetRowState(GadgetResults, 8, kRowHighlighted);
  QApplication::processEvents();
  view->selectionModel()->setCurrentIndex(view->model()->index(6, 2), QItemSelectionModel::NoUpdate);

  // Runs at the start, in the middle and at the end; the rows left close up.
  app.host.RemoveRows(GadgetResults, {0, 1, 4, 5, 7, 9});
  QApplication::processEvents();
  const std::vector<std::pair<int, int>> left = {{2, 0}, {3, kRowChecked}, {6, kRowHighlighted | kRowChecked}, {8, kRowHighlighted}};
  QCOMPARE(app.host.RowCount(GadgetResults), 4);
  QCOMPARE(view->model()->rowCount(), 4);
  for (int row = 0; row < 4; ++row) {
    QCOMPARE(app.host.RowText(GadgetResults, row, 1), A("/f") + DecimalText(left[row].first));
    QCOMPARE(view->model()->index(row, 2).data().toString(), QStringLiteral("/f") + QString::number(left[row].first));
    QCOMPARE(app.host.RowState(GadgetResults, row), left[row].second);
    QCOMPARE(view->selectionModel()->isRowSelected(row), (left[row].second & kRowHighlighted) != 0);
    QCOMPARE(view->model()->index(row, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked,
             (left[row].second & kRowChecked) != 0);
  }
  QCOMPARE(view->currentIndex().row(), 2);  // the row that was 6
  QCOMPARE(view->columnWidth(2), nameWidth);

  // Rows added later sit after the ones left; removing every row empties the list.
  app.host.AppendRows(GadgetResults, std::vector<Text>(6, A("new")));
  QCOMPARE(app.host.RowText(GadgetResults, 4, 1), A("new"));
  app.host.RemoveRows(GadgetResults, {0, 1, 2, 3, 4});
  QCOMPARE(app.host.RowCount(GadgetResults), 0);
  QCOMPARE(view->model()->rowCount(), 0);
}

void WindowQtTest::BarIsBusyUntilTheFirstValueOfASearchAndOfADelete() {
  TempTree tree({{"x.bin", "twins"}, {"y.bin", "twins"}, {"z.bin", "twins"}});
  QtApp app;
  auto* bar = app.Widget<QProgressBar>(GadgetProgress);
  QVERIFY(bar);
  QCOMPARE(bar->maximum(), 100);
  HeldWorker held(kStageWalk);
  app.program->Search().SetPassIo(held.Io());
  app.TypeFolder(tree.Root().native());
  app.Click(GadgetAdd);
  app.Click(GadgetStart);
  QTRY_VERIFY_WITH_TIMEOUT(held.reached->load(), 30000);
  // The walk runs: the bar moves on its own, with no value.
  QCOMPARE(bar->minimum(), 0);
  QCOMPARE(bar->maximum(), 0);
  held.release->store(true);
  QVERIFY(app.SearchOver());
  QCOMPARE(bar->maximum(), 100);
  QCOMPARE(bar->value(), 0);
  QCOMPARE(app.host.RowCount(GadgetResults), 3);

  // A Delete held inside its first deletion has shown no value yet.
  auto inside = std::make_shared<std::atomic<bool>>(false);
  auto letGo = std::make_shared<std::atomic<bool>>(false);
  HostFiles files = HostFiles::Platform();
  files.deleteFile = [inside, letGo](const Text& path) {
    inside->store(true);
    while (!letGo->load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return DeleteFileAt(path);
  };
  app.program->SetHostFiles(files);
  app.Click(GadgetSelectAllButOne);
  app.host.QueueAnswer(kAnswerYes);
  app.Click(GadgetDeleteSelected);
  QTRY_VERIFY_WITH_TIMEOUT(inside->load(), 30000);
  QTest::qWait(50);  // the window's thread runs what has been posted
  QCOMPARE(bar->maximum(), 0);
  QVERIFY(!app.Panel()->isEnabled());
  letGo->store(true);
  QVERIFY(app.SearchOver());
  QCOMPARE(bar->maximum(), 100);
  QCOMPARE(bar->value(), 0);
  QVERIFY(app.Panel()->isEnabled());
  QCOMPARE(app.host.RowCount(GadgetResults), 1);
}

void WindowQtTest::DeleteKeepsTheScrollPositionAndTheCurrentRow() {
  // 150 pairs: Select all except one checks the second file of each, so the
  // Delete removes every second row. Row 2k is kept and becomes row k; row
  // 2k + 1 goes, and the row after it (2k + 2, now k + 1) takes its place.
  constexpr int kPairs = 150;
  std::vector<testing::TreeEntry> entries;
  for (int pair = 0; pair < kPairs; ++pair) {
    const std::string contents = testing::PatternBytes(static_cast<std::size_t>(100 + pair), static_cast<unsigned>(pair));
    entries.push_back({"a/" + std::to_string(pair), contents});
    entries.push_back({"b/" + std::to_string(pair), contents});
  }
  struct Case {
    const char* what;
    int top;      // the row scrolled to the top
    int current;  // the focused row
    int topAfter;
    int currentAfter;
  } cases[] = {
      {"a kept row at the top, a kept row focused", 120, 150, 60, 75},
      {"a deleted row at the top, a deleted row focused", 121, 131, 61, 66},
  };
  for (const Case& c : cases) {
    qInfo("%s", c.what);
    TempTree tree(entries);
    QtApp app;
    app.host.AppendRow(GadgetSearchList, tree.PathOf("a"));
    app.host.AppendRow(GadgetSearchList, tree.PathOf("b"));
    app.Click(GadgetStart);
    QVERIFY(app.SearchOver());
    QCOMPARE(app.host.RowCount(GadgetResults), 2 * kPairs);
    app.Click(GadgetSelectAllButOne);
    QTableView* view = app.Results();
    QApplication::processEvents();
    view->selectionModel()->setCurrentIndex(view->model()->index(c.current, 2), QItemSelectionModel::NoUpdate);
    QApplication::processEvents();
    view->scrollTo(view->model()->index(c.top, 1), QAbstractItemView::PositionAtTop);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum() / 2);
    QApplication::processEvents();
    QCOMPARE(view->indexAt(QPoint(2, 2)).row(), c.top);
    const int scrolledLeft = view->horizontalScrollBar()->value();

    app.host.QueueAnswer(kAnswerYes);
    app.Click(GadgetDeleteSelected);
    QVERIFY(app.SearchOver());
    QApplication::processEvents();
    QCOMPARE(app.host.RowCount(GadgetResults), kPairs);
    QCOMPARE(view->indexAt(QPoint(2, 2)).row(), c.topAfter);
    QCOMPARE(view->currentIndex().row(), c.currentAfter);
    QCOMPARE(view->horizontalScrollBar()->value(), scrolledLeft);
  }
}


void WindowQtTest::initTestCase() { SetWrongKindHandler(FailOnWrongKind); }

void WindowQtTest::TipsShowTheWholeTextOfCutCellsOnly() {
  QtApp app;
  const Text longPath = A("/a/very/long/folder/name/that/the/filename/column/cannot/show/whole/in/its/width/file.txt");
  ShowRows(app, {longPath, A("/a/b.txt")});
  QTableView* view = app.Results();
  QVERIFY(view->fontMetrics().horizontalAdvance(ToQString(longPath)) > view->columnWidth(2));
  auto tipAt = [](QAbstractItemView* list, QPoint at) {
    // A tip goes a moment after it is told to.
    QToolTip::hideText();
    QElapsedTimer waited;
    waited.start();
    while (QToolTip::isVisible() && waited.elapsed() < 5000) QTest::qWait(20);
    QHelpEvent help(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &help);
    return QToolTip::isVisible() ? QToolTip::text() : QString();
  };
  QCOMPARE(tipAt(view, CellCentre(view, 0, 2)), ToQString(longPath));
  QCOMPARE(tipAt(view, CellCentre(view, 1, 2)), QString());  // shown whole
  QCOMPARE(tipAt(view, CellCentre(view, 0, 3)), QString());  // its size, whole
  // Widened by dragging (here: by its header), the column shows it whole.
  QVERIFY(view->horizontalHeader()->sectionResizeMode(2) == QHeaderView::Interactive);
  view->horizontalHeader()->resizeSection(2, view->fontMetrics().horizontalAdvance(ToQString(longPath)) + 20);
  QCOMPARE(tipAt(view, CellCentre(view, 0, 2)), QString());

  // The search list: a folder too long for it shows its tip, a short one none.
  app.host.SelectTab(GadgetPanel, kOptionsTab);
  const Text longFolder = A("/") + Text(120, static_cast<Char>('x'));
  app.host.AppendRow(GadgetSearchList, longFolder);
  app.host.AppendRow(GadgetSearchList, A("/tmp"));
  auto* list = app.Widget<QAbstractItemView>(GadgetSearchList);
  QApplication::processEvents();
  QCOMPARE(tipAt(list, list->visualRect(list->model()->index(0, 0)).center()), ToQString(longFolder));
  // Over a folder shown whole, the list's own tip.
  QCOMPARE(tipAt(list, list->visualRect(list->model()->index(1, 0)).center()), QStringLiteral("Search list"));
  QToolTip::hideText();
}

void WindowQtTest::DoubleClickAndReturnOpenTheRowsFile() {
  TempTree tree({{"a/b\xc3\xbcro.txt", "x"}, {"b/other.txt", "x"}});
  QtApp app;
  UrlRecorder opener;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
  const Text file = tree.PathOf("a/b\xc3\xbcro.txt");
  ShowRows(app, {tree.PathOf("b/other.txt"), file, tree.PathOf("gone.txt")});
  QTableView* view = app.Results();
  const QUrl expected = QUrl::fromLocalFile(QString::fromUtf8(testing::Bytes(file).c_str()));

  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 1, 2));
  QCOMPARE(opener.urls.size(), std::size_t{1});
  QCOMPARE(opener.urls[0], expected);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 1, 2));
  QCOMPARE(view->currentIndex().row(), 1);
  QTest::keyClick(view, Qt::Key_Return);
  QCOMPARE(opener.urls.size(), std::size_t{2});
  QCOMPARE(opener.urls[1], expected);
  // A double-click on the check box checks and unchecks; it opens nothing.
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 0, 0));
  QCOMPARE(opener.urls.size(), std::size_t{2});
  // A file that is gone: the error box, and the desktop is not asked.
  app.host.QueueAnswer(kAnswerOk);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 2, 2));
  QCOMPARE(opener.urls.size(), std::size_t{2});
  QCOMPARE(app.host.Boxes().size(), std::size_t{1});
  QCOMPARE(app.host.Boxes()[0].kind, BoxKind::Error);
  QCOMPARE(app.host.Boxes()[0].text, A("The file could not be opened:\n") + tree.PathOf("gone.txt"));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void WindowQtTest::TheRowMenuOffersItsEntriesByPointerAndByKey() {
  QtApp app;
  ShowRows(app, {A("/q/one"), A("/a/two"), A("/a/three"), A("/q/four")});
  QTableView* view = app.Results();

  // A right click on a row: that row becomes the current and only selected
  // one, and the menu shows the program's entries.
  view->selectionModel()->select(view->model()->index(0, 1),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  QStringList shown;
  bool separatorFourth = false;
  OnMenu([&](QMenu* menu) {
    for (QAction* action : menu->actions()) shown << action->text();
    separatorFourth = menu->actions().size() > 3 && menu->actions()[3]->isSeparator();
    ChooseEntry(menu, QStringLiteral("Copy path"));
  });
  const QPoint at = CellCentre(view, 1, 2);
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, at);
  QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at);
  QContextMenuEvent byPointer(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &byPointer);
  QCOMPARE(shown, (QStringList{QStringLiteral("Open"), QStringLiteral("Open containing folder"),
                               QStringLiteral("Copy path"), QString(),
                               QStringLiteral("Check all duplicates in this folder"),
                               QStringLiteral("Uncheck all in this folder"),
                               QStringLiteral("Check all duplicates in this folder and its subfolders"),
                               QStringLiteral("Uncheck all in this folder and its subfolders")}));
  QVERIFY(separatorFourth);
  QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("/a/two"));
  QCOMPARE(view->currentIndex().row(), 1);
  QCOMPARE(app.host.FocusedRow(GadgetResults), 1);
  QVERIFY(view->selectionModel()->isRowSelected(1));
  QVERIFY(!view->selectionModel()->isRowSelected(0));

  // The menu key on the focused row: check the duplicates in its folder. Of
  // /a/two and /a/three, the first stays unchecked: the group keeps a copy
  // elsewhere too, so both /a rows are checked.
  OnMenu([](QMenu* menu) { ChooseEntry(menu, QStringLiteral("Check all duplicates in this folder")); });
  QTest::keyClick(view, Qt::Key_Menu);
  QApplication::processEvents();
  for (int row = 0; row < 4; ++row)
    QCOMPARE((app.host.RowState(GadgetResults, row) & kRowChecked) != 0, row == 1 || row == 2);
  QVERIFY(view->model()->index(2, 0).data(Qt::CheckStateRole).value<Qt::CheckState>() == Qt::Checked);

  // Shift+F10, dismissed: nothing changes.
  OnMenu([](QMenu* menu) { QTest::keyClick(menu, Qt::Key_Escape); });
  QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
  QCOMPARE(app.host.Menus().size(), std::size_t{3});
  QApplication::clipboard()->clear();

  // The space bar on a highlighted row: every highlighted row takes its new
  // mark; on a row alone, that row alone.
  view->selectionModel()->select(QItemSelection(view->model()->index(0, 0), view->model()->index(3, 6)),
                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view->selectionModel()->setCurrentIndex(view->model()->index(0, 2), QItemSelectionModel::NoUpdate);
  QTest::keyClick(view, Qt::Key_Space);
  QApplication::processEvents();
  for (int row = 0; row < 4; ++row) QVERIFY(app.host.RowState(GadgetResults, row) & kRowChecked);
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 3, 2));
  QTest::keyClick(view, Qt::Key_Space);
  QApplication::processEvents();
  for (int row = 0; row < 4; ++row)
    QCOMPARE((app.host.RowState(GadgetResults, row) & kRowChecked) != 0, row != 3);
}

void WindowQtTest::HomeAndEndGoToTheFirstAndLastRow() {
  QtApp app;
  std::vector<Text> paths;
  for (int row = 0; row < 200; ++row) paths.push_back(A("/f") + DecimalText(row));
  ShowRows(app, paths);
  QTableView* view = app.Results();
  QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 3, 2));
  QTest::keyClick(view, Qt::Key_End);
  QCOMPARE(view->currentIndex().row(), 199);
  QCOMPARE(view->currentIndex().column(), 2);
  QVERIFY(view->selectionModel()->isRowSelected(199));
  QVERIFY(!view->selectionModel()->isRowSelected(3));
  QVERIFY(view->viewport()->rect().intersects(view->visualRect(view->currentIndex())));
  QCOMPARE(app.host.RowState(GadgetResults, 199), kRowHighlighted);
  QTest::keyClick(view, Qt::Key_Home);
  QCOMPARE(view->currentIndex().row(), 0);
  QVERIFY(view->selectionModel()->isRowSelected(0));
  QVERIFY(!view->selectionModel()->isRowSelected(199));
  QCOMPARE(view->indexAt(QPoint(2, 2)).row(), 0);
  // With Shift, as with an arrow key, the selection reaches from where it was.
  QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
  QCOMPARE(view->selectionModel()->selectedRows().size(), 200);
}

void WindowQtTest::DroppedFoldersAndFilesGoIntoTheSearchList() {
  TempTree tree({{"b\xc3\xbcro/x.txt", "x"}, {"two/y.txt", "y"}});
  QtApp app;
  const std::string folder = tree.Root().native() + "/b\xc3\xbcro";
  const std::string file = tree.Root().native() + "/two/y.txt";
  auto* data = new QMimeData;
  data->setUrls({QUrl::fromLocalFile(QString::fromUtf8(folder.c_str())), QUrl::fromLocalFile(QString::fromUtf8(file.c_str())),
                 QUrl(QStringLiteral("https://example.org/dir/"))});
  QWidget* window = app.host.Window();
  const QPoint at = window->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  QVERIFY(enter.isAccepted());
  QDropEvent drop(QPointF(at), Qt::CopyAction, data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
  QVERIFY(drop.isAccepted());
  QCOMPARE(app.host.RowCount(GadgetSearchList), 2);
  QCOMPARE(app.host.RowText(GadgetSearchList, 0, 0), T(folder));
  QCOMPARE(app.host.RowText(GadgetSearchList, 1, 0), T(tree.Root().native() + "/two/"));
  QVERIFY(app.host.Boxes().empty());

  // Nothing local: the drag is refused.
  auto* remote = new QMimeData;
  remote->setUrls({QUrl(QStringLiteral("https://example.org/dir/"))});
  QDragEnterEvent refused(at, Qt::CopyAction, remote, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &refused);
  QVERIFY(!refused.isAccepted());
  // The fields let a drop through to the window instead of taking its text.
  QVERIFY(!app.host.WidgetOf(GadgetDirectoryInput)->acceptDrops());
  QVERIFY(!app.host.WidgetOf(GadgetMinSize)->findChild<QLineEdit*>()->acceptDrops());
  delete data;
  delete remote;
}

void WindowQtTest::AWrongControlKindIsReported() {
  QtApp app;
  static int reported = 0;
  reported = 0;
  SetWrongKindHandler([](int, ControlKind, ControlOperation) { ++reported; });
  QVERIFY(!app.host.IsChecked(GadgetAdd));
  app.host.AppendRow(GadgetResults, A("x"));
  app.host.SetValue(GadgetSubdirs, 1);
  QCOMPARE(app.host.RowCount(GadgetResults), 0);
  QCOMPARE(reported, 3);
  app.host.SetValue(GadgetMinSize, 7);
  QCOMPARE(reported, 3);
  SetWrongKindHandler(FailOnWrongKind);
}

namespace {

// A drop of the given URLs on the middle of the window, as a file manager makes it.
void DropOnWindow(QtApp& app, const QList<QUrl>& urls) {
  QMimeData data;
  data.setUrls(urls);
  QWidget* window = app.host.Window();
  const QPoint at = window->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &enter);
  if (!enter.isAccepted()) return;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(window, &drop);
}

// The file URL a file manager hands over for a path: its bytes percent-encoded.
QUrl FileUrlOfBytes(const std::string& bytes) {
  return QUrl::fromEncoded(QByteArray("file://") + QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

}  // namespace

void WindowQtTest::AFolderWhoseNameIsNotUtf8CanBeDropped() {
  // "caf\xE9" is Latin-1, no UTF-8: the walk finds it and Add takes it when
  // typed; a drop from the file manager names it by its percent-encoded bytes.
  TempTree tree({{"caf\xE9/x.txt", "x"}, {"caf\xE9-file/y.txt", "y"}});
  QtApp app;
  app.host.QueueAnswer(kAnswerOk);
  app.host.QueueAnswer(kAnswerOk);  // for any box, so that none waits
  const std::string folder = tree.Root().native() + "/caf\xE9";
  DropOnWindow(app, {FileUrlOfBytes(folder), FileUrlOfBytes(tree.Root().native() + "/caf\xE9-file/y.txt")});
  QCOMPARE(app.host.RowCount(GadgetSearchList), 2);
  QCOMPARE(testing::Bytes(app.host.RowText(GadgetSearchList, 0, 0)), folder);
  QCOMPARE(testing::Bytes(app.host.RowText(GadgetSearchList, 1, 0)), tree.Root().native() + "/caf\xE9-file/");
  QCOMPARE(app.host.Boxes().size(), std::size_t{0});
}

void WindowQtTest::OpenHandsTheDesktopTheFileWhoseNameIsNotUtf8() {
  TempTree tree({{"caf\xE9/x.txt", "x"}, {"b/x.txt", "x"}});
  QtApp app;
  UrlRecorder opener;
  QDesktopServices::setUrlHandler(QStringLiteral("file"), &opener, "Open");
  const std::string file = tree.Root().native() + "/caf\xE9/x.txt";
  ShowRows(app, {tree.PathOf("b/x.txt"), tree.PathOf("caf\xE9/x.txt")});
  QTableView* view = app.Results();
  app.host.QueueAnswer(kAnswerOk);
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, CellCentre(view, 1, 2));
  QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
  QCOMPARE(opener.urls.size(), std::size_t{1});
  // The URL names the file: its path, percent-decoded, is the file's bytes.
  const QByteArray named = QByteArray::fromPercentEncoding(opener.urls[0].path(QUrl::FullyEncoded).toLatin1());
  QCOMPARE(named.toStdString(), file);
}

void WindowQtTest::DroppedFileUrlsWithAHostNameTheRightFolderOrNone() {
  // "file://localhost/p" is the local file /p. "file://tmp/p" is /p on the
  // machine "tmp": not a local file, even when a local "/tmp/p" exists.
  TempTree tree({{"one/f", "x"}, {"two/g", "y"}});
  const std::string root = tree.Root().native();
  QVERIFY(root.rfind("/tmp/", 0) == 0);
  QtApp app;
  app.host.QueueAnswer(kAnswerOk);
  app.host.QueueAnswer(kAnswerOk);
  DropOnWindow(app, {QUrl::fromEncoded(QByteArray::fromStdString("file://localhost" + root + "/one"))});
  DropOnWindow(app, {QUrl::fromEncoded(QByteArray::fromStdString("file://" + root.substr(1) + "/two"))});
  QStringList rows;
  for (int r = 0; r < app.host.RowCount(GadgetSearchList); ++r)
    rows << QString::fromStdString(testing::Bytes(app.host.RowText(GadgetSearchList, r, 0)));
  QCOMPARE(rows, QStringList{QString::fromStdString(root + "/one")});
  QCOMPARE(app.host.Boxes().size(), std::size_t{0});
}

void WindowQtTest::ATipShowsANameWithMarkupAsItIs() {
  // A name may hold anything but '/' and NUL, markup included; the tip shows
  // the cell's text, not what a rich-text reading of it would make.
  QtApp app;
  const Text path = A("/a/very/long/folder/name/that/the/column/cannot/show/<b>draft</b> &lt;old&gt; copy/file.txt");
  ShowRows(app, {path});
  QTableView* view = app.Results();
  QVERIFY(view->fontMetrics().horizontalAdvance(ToQString(path)) > view->columnWidth(2));
  QToolTip::hideText();
  const QPoint at = CellCentre(view, 0, 2);
  QHelpEvent help(QEvent::ToolTip, at, view->viewport()->mapToGlobal(at));
  QApplication::sendEvent(view->viewport(), &help);
  QVERIFY(QToolTip::isVisible());
  QLabel* tip = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->inherits("QTipLabel") && w->isVisible()) tip = qobject_cast<QLabel*>(w);
  QVERIFY(tip);
  // What the label shows: its text as plain text, or the plain text of its rich-text reading.
  const bool rich = tip->textFormat() == Qt::RichText ||
                    (tip->textFormat() == Qt::AutoText && Qt::mightBeRichText(tip->text()));
  QString shown = tip->text();
  if (rich) {
    QTextDocument document;
    document.setHtml(tip->text());
    shown = document.toPlainText();
  }
  QCOMPARE(shown, ToQString(path));
  QToolTip::hideText();
}

}  // namespace vantrel

QTEST_MAIN(vantrel::WindowQtTest)
#include "window_qt_test.moc"
