#include "platform/qt/window_qt.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>
#include <QToolTip>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/file_system.hpp"
#include "platform/qt/row_list_qt.hpp"
#include "platform/qt/spin_field_qt.hpp"
#include "platform/qt/text_qt.hpp"
#include "ui/chooser_rules.hpp"
#include "ui/control_kinds.hpp"
#include "ui/gadgets.hpp"

namespace vantrel {
namespace {

// Buttons, check boxes, tabs and frame captions take '&' as a mnemonic marker;
// the program's texts mean a plain '&'.
QString Caption(const Text& text) { return ToQString(text).replace(u'&', QStringLiteral("&&")); }
Text FromCaption(QString caption) { return FromQString(caption.replace(QStringLiteral("&&"), QStringLiteral("&"))); }

constexpr int kResultCells = 6;
constexpr int kCheckColumnWidth = 25;
constexpr int kAlertMessageWidth = 300;

// What a person does to a row, as a list view reports it.
using RowActionSink = std::function<void(RowAction action, int row)>;

// A list view that shows a cell's whole text as its tip when the cell cuts
// it, and no tip over a cell shown whole.
template <typename View>
class TippedView : public View {
 public:
  explicit TippedView(QWidget* parent) : View(parent) {}
  RowList* rows = nullptr;

 protected:
  bool viewportEvent(QEvent* event) override {
    if (event->type() != QEvent::ToolTip || !rows) return View::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    QString tip = rows->CutCellTip(help->pos());
    // A name may hold markup; the tip shows it as it is, never as rich text.
    if (Qt::mightBeRichText(tip))
      tip = QStringLiteral("<p style='white-space:pre'>") + tip.toHtmlEscaped() + QStringLiteral("</p>");
    if (tip.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      const QModelIndex index = this->indexAt(help->pos());
      QToolTip::showText(help->globalPos(), tip, this->viewport(), this->visualRect(index));
    }
    return true;
  }
};

// The result list. Every key and click that means something for a row goes
// to the program as a row action: the space bar (ToggleCheck), Return and a
// double-click (Open), the context menu by pointer, menu key or Shift+F10
// (Menu). Home and End go to the first and the last row as an arrow key
// moves, keeping the column.
class ResultView final : public TippedView<QTableView> {
 public:
  explicit ResultView(QWidget* parent) : TippedView<QTableView>(parent) {}
  RowActionSink act;
  // Where the row's menu opens: at the pointer that asked for it, else beside the row.
  QPoint menuAt;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    const QModelIndex current = currentIndex();
    if (current.isValid() && mods == Qt::NoModifier) {
      if (key == Qt::Key_Space || key == Qt::Key_Select) {
        Act(RowAction::ToggleCheck, current.row());
        event->accept();
        return;
      }
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        Act(RowAction::Open, current.row());
        event->accept();
        return;
      }
    }
    if (key == Qt::Key_Menu || (key == Qt::Key_F10 && mods == Qt::ShiftModifier)) {
      MenuByKey();
      event->accept();
      return;
    }
    QTableView::keyPressEvent(event);
  }
  void mouseDoubleClickEvent(QMouseEvent* event) override {
    // A double-click on the check box is two clicks on it, not an Open.
    const QModelIndex index = indexAt(event->position().toPoint());
    if (event->button() == Qt::LeftButton && index.isValid() && index.column() != 0) {
      Act(RowAction::Open, index.row());
      event->accept();
      return;
    }
    QTableView::mouseDoubleClickEvent(event);
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    if (event->reason() != QContextMenuEvent::Mouse) {
      MenuByKey();
      event->accept();
      return;
    }
    const QModelIndex index = indexAt(event->pos());
    if (!index.isValid()) return;
    // The row clicked becomes the focused one, and the selection when it was
    // not part of it, as a list does on a right click.
    QItemSelectionModel* selection = selectionModel();
    const auto command = selection->isRowSelected(index.row())
                             ? QItemSelectionModel::NoUpdate
                             : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
    selection->setCurrentIndex(index, command);
    menuAt = event->globalPos();
    Act(RowAction::Menu, index.row());
    event->accept();
  }
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
    const int rowCount = model() ? model()->rowCount() : 0;
    if ((action == MoveHome || action == MoveEnd) && rowCount > 0) {
      const int column = currentIndex().isValid() ? currentIndex().column() : 1;
      return model()->index(action == MoveHome ? 0 : rowCount - 1, column);
    }
    return QTableView::moveCursor(action, modifiers);
  }

 private:
  void Act(RowAction action, int row) {
    if (act && row >= 0) act(action, row);
  }
  void MenuByKey() {
    const QModelIndex current = currentIndex();
    if (!current.isValid()) return;
    scrollTo(current);
    const QRect cell = visualRect(model()->index(current.row(), std::max(current.column(), 1)));
    menuAt = viewport()->mapToGlobal(cell.bottomLeft());
    Act(RowAction::Menu, current.row());
  }
};

using SearchListView = TippedView<QListView>;

// The folder chooser. The toolkit shows a name that is not UTF-8 with U+FFFD
// in place of what it could not decode; such an answer is taken when it names
// one folder (ResolveShownFolder), and refused otherwise.
class FolderDialog final : public QFileDialog {
 public:
  explicit FolderDialog(QWidget* parent) : QFileDialog(parent) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
  }
  void accept() override {
    const QStringList files = selectedFiles();
    if (!files.isEmpty() && !QFileInfo::exists(files.first()) && !ChosenFolderText(files.first()).empty()) {
      QDialog::accept();
      return;
    }
    QFileDialog::accept();
  }
};

// The paths of the local files and folders a drag carries, as the file
// system names them.
std::vector<Text> DroppedPaths(const QMimeData* data) {
  std::vector<Text> paths;
  if (!data || !data->hasUrls()) return paths;
  for (const QUrl& url : data->urls()) {
    // A file URL names a file of this machine only without a host or with
    // "localhost"; its path is taken from the percent-encoded form, so that
    // a name's bytes arrive as they are, UTF-8 or not.
    if (url.scheme().compare(QStringLiteral("file"), Qt::CaseInsensitive) != 0) continue;
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) != 0) continue;
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (!bytes.isEmpty() && bytes.front() == '/') paths.push_back(TextFromSystemBytes(bytes.toStdString()));
  }
  return paths;
}

// The name Qt takes for a path the program holds: its bytes decoded as Qt decodes names.
QString NameOf(const Text& path) { return QFile::decodeName(QByteArray::fromStdString(SystemBytesFromText(path))); }

// A file URL that keeps a path's bytes, whatever they are.
QString FileUrlOf(const std::string& bytes) {
  return QStringLiteral("file://") + QString::fromLatin1(QByteArray::fromStdString(bytes).toPercentEncoding("/"));
}

}  // namespace

// The top-level window: reports a close request and size changes, and keeps
// the client widget filling it.
class QtWindowHost::MainWindow final : public QWidget {
 public:
  explicit MainWindow(QtWindowHost& host) : host_(host) { setAcceptDrops(true); }

 protected:
  // Local files and folders may be dropped anywhere on the window.
  void dragEnterEvent(QDragEnterEvent* event) override {
    if (!DroppedPaths(event->mimeData()).empty()) event->acceptProposedAction();
  }
  void dragMoveEvent(QDragMoveEvent* event) override {
    if (!DroppedPaths(event->mimeData()).empty()) event->acceptProposedAction();
  }
  void dropEvent(QDropEvent* event) override {
    const std::vector<Text> paths = DroppedPaths(event->mimeData());
    if (paths.empty()) return;
    event->acceptProposedAction();
    if (host_.events_) host_.events_->OnDrop(paths);
  }
  void closeEvent(QCloseEvent* event) override {
    // The program decides whether and how the window goes.
    event->ignore();
    if (host_.events_) host_.events_->OnCloseRequest();
  }
  void resizeEvent(QResizeEvent* event) override {
    QWidget::resizeEvent(event);
    if (host_.client_) host_.client_->resize(size());
    if (host_.events_) host_.events_->OnSizeEvent();
  }

 private:
  QtWindowHost& host_;
};

QtWindowHost::QtWindowHost(int& argc, char** argv) {
  if (!QApplication::instance()) ownApp_ = std::make_unique<QApplication>(argc, argv);
  // The programs carry their icon as a resource; the tests have none.
  const QString icon = QStringLiteral(":/vantrel/vantrel.png");
  if (QFile::exists(icon)) QApplication::setWindowIcon(QIcon(icon));
}

QtWindowHost::~QtWindowHost() {
  window_.reset();
}

QWidget* QtWindowHost::Window() const { return window_.get(); }

QWidget* QtWindowHost::WidgetOf(int gadget) const {
  const Control* c = Find(gadget);
  return c ? c->widget : nullptr;
}

const QtWindowHost::Control* QtWindowHost::Find(int gadget) const {
  auto it = controls_.find(gadget);
  return it == controls_.end() ? nullptr : &it->second;
}

const QtWindowHost::Control* QtWindowHost::Taking(int gadget, ControlOperation operation) const {
  const Control* c = Find(gadget);
  if (!c || !CheckControlKind(gadget, c->kind, operation)) return nullptr;
  return c;
}

RowList* QtWindowHost::RowsOf(int gadget) const {
  const Control* c = Taking(gadget, ControlOperation::Rows);
  return c ? c->rows : nullptr;
}

void QtWindowHost::Report(int gadget) {
  if (events_) events_->OnControlEvent(gadget);
}

// --- The window -------------------------------------------------------------

bool QtWindowHost::OpenWindow(const Text& title, int width, int height, bool sizable) {
  window_ = std::make_unique<MainWindow>(*this);
  Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::WindowMinimizeButtonHint;
  if (sizable) flags |= Qt::WindowMaximizeButtonHint;
  window_->setWindowFlags(flags);
  window_->setWindowTitle(ToQString(title));
  font_ = QFont(QStringLiteral("Verdana"), 10);
  window_->setFont(font_);

  QRect area(0, 0, width, height);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    area.setSize(area.size().boundedTo(available.size()));
    area.moveCenter(available.center());
  }
  if (sizable) {
    window_->resize(area.size());
  } else {
    window_->setFixedSize(area.size());
  }
  window_->move(area.topLeft());

  client_ = new QWidget(window_.get());
  client_->setGeometry(0, 0, area.width(), area.height());
  container_ = client_;
  return true;
}

Extent QtWindowHost::ClientSize() {
  if (!window_) return {};
  return {window_->width(), window_->height()};
}

Extent QtWindowHost::ScreenSize() {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (!screen) return {};
  return {screen->size().width(), screen->size().height()};
}

void QtWindowHost::SetSizeLimits(Extent smallest, Extent largest) {
  if (!window_) return;
  window_->setMinimumSize(smallest.width, smallest.height);
  window_->setMaximumSize(largest.width, largest.height);
}

void QtWindowHost::ShowAndActivate() {
  if (!window_) return;
  window_->show();
  window_->raise();
  window_->activateWindow();
}

void QtWindowHost::SetAlwaysOnTop(bool onTop) {
  if (!window_) return;
  const bool visible = window_->isVisible();
  // Changing a window's flags hides it; it comes back where it was.
  window_->setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
  if (visible) window_->show();
}

void QtWindowHost::SetWindowEnabled(bool enabled) {
  if (client_) client_->setEnabled(enabled);
}

void QtWindowHost::BringToFront() {
  if (!window_) return;
  window_->raise();
  window_->activateWindow();
}

int QtWindowHost::RunEventLoop() { return QApplication::exec(); }

void QtWindowHost::EndProgram() {
  std::fflush(nullptr);
  std::_Exit(0);
}

void QtWindowHost::PostToWindowThread(std::function<void()> task) {
  QObject* context = window_ ? static_cast<QObject*>(window_.get()) : QCoreApplication::instance();
  QMetaObject::invokeMethod(context, std::move(task), Qt::QueuedConnection);
}

// --- Building controls ------------------------------------------------------

void QtWindowHost::CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) {
  if (!container_) return;
  QWidget* widget = nullptr;
  RowList* rows = nullptr;
  switch (kind) {
    case ControlKind::Frame:
      widget = new QGroupBox(Caption(text), container_);
      break;
    case ControlKind::Label: {
      auto* label = new QLabel(ToQString(text), container_);
      label->setTextFormat(Qt::PlainText);
      widget = label;
      break;
    }
    case ControlKind::TextField: {
      auto* field = new QLineEdit(ToQString(text), container_);
      field->setMaxLength(INT_MAX);  // a list of file types or a path may be long
      field->setAcceptDrops(false);  // a dropped folder goes to the window
      QObject::connect(field, &QLineEdit::textEdited, field, [this, gadget] { Report(gadget); });
      widget = field;
      break;
    }
    case ControlKind::Button: {
      auto* button = new QPushButton(Caption(text), container_);
      button->setAutoDefault(false);
      QObject::connect(button, &QPushButton::clicked, button, [this, gadget] { Report(gadget); });
      widget = button;
      break;
    }
    case ControlKind::CheckBox: {
      auto* box = new QCheckBox(Caption(text), container_);
      QObject::connect(box, &QCheckBox::clicked, box, [this, gadget] { Report(gadget); });
      widget = box;
      break;
    }
    case ControlKind::ListBox: {
      auto* view = new SearchListView(container_);
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
      view->setEditTriggers(QAbstractItemView::NoEditTriggers);
      view->setUniformItemSizes(true);
      rows = new RowList(view, new RowModel(1, false, view));
      view->rows = rows;
      QObject::connect(view, &QListView::clicked, view, [this, gadget] { Report(gadget); });
      widget = view;
      break;
    }
    case ControlKind::Panel: {
      auto* tabs = new QTabWidget(container_);
      QObject::connect(tabs, &QTabWidget::tabBarClicked, tabs, [this, gadget] { Report(gadget); });
      widget = tabs;
      break;
    }
    case ControlKind::SpinField: {
      auto* spin = new SpinField(container_);
      if (!text.empty()) spin->SetText(ToQString(text));
      QObject::connect(spin, &SpinField::Changed, spin, [this, gadget] { Report(gadget); });
      widget = spin;
      break;
    }
    case ControlKind::ResultList: {
      auto* view = new ResultView(container_);
      auto* model = new RowModel(kResultCells, true, view);
      rows = new RowList(view, model);
      view->rows = rows;
      view->act = [this, gadget](RowAction action, int row) {
        if (events_) events_->OnRowAction(gadget, action, row);
      };
      view->setSelectionBehavior(QAbstractItemView::SelectRows);
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
      view->setEditTriggers(QAbstractItemView::NoEditTriggers);
      view->setShowGrid(false);
      view->setWordWrap(false);
      view->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
      view->verticalHeader()->hide();
      // Rows of one height need no measuring: 100,000 of them lay out at once.
      view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
      view->verticalHeader()->setDefaultSectionSize(QFontMetrics(font_).height() + 4);
      view->horizontalHeader()->setStretchLastSection(false);
      view->horizontalHeader()->setMinimumSectionSize(kCheckColumnWidth);
      view->horizontalHeader()->setHighlightSections(false);
      view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
      view->setColumnWidth(0, kCheckColumnWidth);
      QObject::connect(model, &RowModel::CheckToggled, view, [this, gadget] { Report(gadget); });
      QObject::connect(view, &QTableView::clicked, view, [this, gadget] { Report(gadget); });
      widget = view;
      break;
    }
    case ControlKind::ProgressBar: {
      auto* bar = new QProgressBar(container_);
      bar->setRange(0, 100);
      bar->setValue(0);
      bar->setTextVisible(false);
      widget = bar;
      break;
    }
  }
  if (!widget) return;
  widget->setGeometry(place.x, place.y, place.w, place.h);
  widget->show();
  controls_[gadget] = Control{kind, widget, rows};
}

void QtWindowHost::AddTab(int panel, const Text& title) {
  const Control* c = Taking(panel, ControlOperation::Tabs);
  if (!c) return;
  auto* page = new QWidget;
  static_cast<QTabWidget*>(c->widget)->addTab(page, Caption(title));
  container_ = page;
}

void QtWindowHost::EndTabs(int panel) {
  Taking(panel, ControlOperation::Tabs);
  container_ = client_;
}

void QtWindowHost::AddColumn(int gadget, const Text& title, int width) {
  const Control* c = Taking(gadget, ControlOperation::Columns);
  if (!c) return;
  RowModel& model = c->rows->Model();
  model.AddColumn(title);
  static_cast<QTableView*>(c->widget)->setColumnWidth(model.columnCount() - 1, width);
}

void QtWindowHost::SetToolTip(int gadget, const Text& text) {
  if (QWidget* w = WidgetOf(gadget)) w->setToolTip(ToQString(text));
}

Extent QtWindowHost::MeasureText(const Text& text) {
  if (text.empty()) return {};
  const QFontMetrics metrics(font_);
  return {metrics.horizontalAdvance(ToQString(text)), metrics.height()};
}

// --- Controls -----------------------------------------------------------------

Rect QtWindowHost::PlaceOf(int gadget) {
  const QWidget* w = WidgetOf(gadget);
  if (!w) return {};
  const QRect g = w->geometry();
  return {g.x(), g.y(), g.width(), g.height()};
}

void QtWindowHost::SetPlace(int gadget, Rect place) {
  if (QWidget* w = WidgetOf(gadget)) w->setGeometry(place.x, place.y, place.w, place.h);
}

void QtWindowHost::SetEnabled(int gadget, bool enabled) {
  if (QWidget* w = WidgetOf(gadget)) w->setEnabled(enabled);
}

bool QtWindowHost::IsChecked(int gadget) {
  const Control* c = Taking(gadget, ControlOperation::Check);
  return c && static_cast<QCheckBox*>(c->widget)->isChecked();
}

void QtWindowHost::SetChecked(int gadget, bool checked) {
  if (const Control* c = Taking(gadget, ControlOperation::Check)) static_cast<QCheckBox*>(c->widget)->setChecked(checked);
}

Text QtWindowHost::TextOf(int gadget) {
  const Control* c = Taking(gadget, ControlOperation::ReadText);
  if (!c) return {};
  switch (c->kind) {
    case ControlKind::Frame: return FromCaption(static_cast<QGroupBox*>(c->widget)->title());
    case ControlKind::Label: return FromQString(static_cast<QLabel*>(c->widget)->text());
    case ControlKind::TextField: return FromQString(static_cast<QLineEdit*>(c->widget)->text());
    case ControlKind::Button:
    case ControlKind::CheckBox: return FromCaption(static_cast<QAbstractButton*>(c->widget)->text());
    case ControlKind::SpinField: return FromQString(static_cast<SpinField*>(c->widget)->text());
    default: return {};
  }
}

void QtWindowHost::SetText(int gadget, const Text& text) {
  const Control* c = Taking(gadget, ControlOperation::WriteText);
  if (!c) return;
  switch (c->kind) {
    case ControlKind::Frame: static_cast<QGroupBox*>(c->widget)->setTitle(Caption(text)); break;
    case ControlKind::Label: static_cast<QLabel*>(c->widget)->setText(ToQString(text)); break;
    case ControlKind::TextField: static_cast<QLineEdit*>(c->widget)->setText(ToQString(text)); break;
    case ControlKind::Button:
    case ControlKind::CheckBox: static_cast<QAbstractButton*>(c->widget)->setText(Caption(text)); break;
    case ControlKind::SpinField: static_cast<SpinField*>(c->widget)->SetText(ToQString(text)); break;
    default: break;
  }
}

void QtWindowHost::SetValue(int gadget, std::int64_t value) {
  const Control* c = Taking(gadget, ControlOperation::Value);
  if (!c) return;
  if (c->kind == ControlKind::ProgressBar)
    static_cast<QProgressBar*>(c->widget)->setValue(static_cast<int>(std::clamp<std::int64_t>(value, 0, 100)));
  else if (c->kind == ControlKind::SpinField)
    static_cast<SpinField*>(c->widget)->SetValue(value);
}

void QtWindowHost::SetBusy(int gadget, bool busy) {
  // A bar whose range is empty moves on its own and shows no value.
  if (const Control* c = Taking(gadget, ControlOperation::Busy))
    static_cast<QProgressBar*>(c->widget)->setRange(0, busy ? 0 : 100);
}

void QtWindowHost::SelectTab(int panel, int tab) {
  if (const Control* c = Taking(panel, ControlOperation::Tabs)) static_cast<QTabWidget*>(c->widget)->setCurrentIndex(tab);
}

// --- Rows -----------------------------------------------------------------------

int QtWindowHost::RowCount(int gadget) {
  RowList* rows = RowsOf(gadget);
  return rows ? rows->Model().Rows() : 0;
}

Text QtWindowHost::RowText(int gadget, int row, int column) {
  RowList* rows = RowsOf(gadget);
  return rows ? Text(rows->Model().Cell(row, column)) : Text();
}

int QtWindowHost::RowState(int gadget, int row) {
  RowList* rows = RowsOf(gadget);
  return rows ? rows->State(row) : 0;
}

void QtWindowHost::SetRowState(int gadget, int row, int state) {
  if (RowList* rows = RowsOf(gadget)) rows->SetState(row, state);
}

void QtWindowHost::AppendRow(int gadget, const Text& text) {
  if (const Control* c = Taking(gadget, ControlOperation::AppendRow)) c->rows->AppendRows({text});
}

void QtWindowHost::AppendRows(int gadget, const std::vector<Text>& cells) {
  if (const Control* c = Taking(gadget, ControlOperation::AppendRows)) c->rows->AppendRows(cells);
}

void QtWindowHost::RemoveRow(int gadget, int row) {
  if (RowList* rows = RowsOf(gadget)) rows->RemoveRow(row);
}

void QtWindowHost::RemoveRows(int gadget, const std::vector<int>& rows) {
  if (RowList* list = RowsOf(gadget)) list->RemoveRows(rows);
}

void QtWindowHost::ClearRows(int gadget) {
  if (RowList* rows = RowsOf(gadget)) rows->Clear();
}

int QtWindowHost::FocusedRow(int gadget) {
  RowList* rows = RowsOf(gadget);
  if (!rows) return -1;
  const QModelIndex current = rows->View().currentIndex();
  return current.isValid() ? current.row() : -1;
}

// --- The host ---------------------------------------------------------------------

Text QtWindowHost::UserLanguageName() { return FromQString(QLocale::system().nativeLanguageName()); }

Text QtWindowHost::WorkingDirectory() {
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  if (error) return {};
  return TextFromSystemBytes(here.native());
}

int QtWindowHost::ShowBox(BoxKind kind, const Text& title, const Text& text) {
  // Every box is a note alert: the title as the window's title and as the
  // headline, the message below it, the program's icon.
  QMessageBox box(window_.get());
  box.setWindowTitle(ToQString(title));
  box.setText(ToQString(title));
  box.setInformativeText(ToQString(text));
  // Qt sizes a box by its headline and would wrap a longer message after a
  // few words; an alert gives its message room to read in one or two lines.
  if (auto* message = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
    message->setMinimumWidth(kAlertMessageWidth);
  const QIcon icon = QApplication::windowIcon();
  if (icon.isNull()) {
    box.setIcon(QMessageBox::Information);
  } else {
    box.setIconPixmap(icon.pixmap(64, 64));
  }
  if (kind == BoxKind::Question) {
    QPushButton* yes = box.addButton(QMessageBox::Yes);
    QPushButton* no = box.addButton(QMessageBox::No);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? kAnswerYes : kAnswerNo;
  }
  box.setStandardButtons(QMessageBox::Ok);
  box.exec();
  return kAnswerOk;
}

Text QtWindowHost::ShowFolderChooser(const Text&, const Text&) {
  // The chooser opens with its own title and in its own folder.
  FolderDialog dialog(window_.get());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  return ChosenFolderText(dialog.selectedFiles().first());
}

bool QtWindowHost::OpenFile(const Text& path) {
  // The desktop answers a missing file late or not at all; a file that is
  // not there cannot be opened.
  if (FileSizeOf(path) < 0) return false;
  return QDesktopServices::openUrl(QUrl::fromEncoded(FileUrlOf(SystemBytesFromText(path)).toLatin1(), QUrl::StrictMode));
}

bool QtWindowHost::RevealFile(const Text& path) {
  const std::string bytes = SystemBytesFromText(path);
  const std::size_t slash = bytes.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string(".") : bytes.substr(0, std::max<std::size_t>(slash, 1));
  if (FileSizeOf(TextFromSystemBytes(folder)) != -2) return false;
  // The file manager's own interface selects the file; without a file manager
  // that offers it, the desktop's opener shows the folder.
  auto openFolder = [folder] {
    // A file URL keeps the folder's bytes, which an argument decoded as text may not.
    return QProcess::startDetached(QStringLiteral("xdg-open"), {FileUrlOf(folder)});
  };
  QDBusConnection bus = QDBusConnection::sessionBus();
  const QString service = QStringLiteral("org.freedesktop.FileManager1");
  QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
  const bool offered = names && (names->isServiceRegistered(service).value() ||
                                 names->activatableServiceNames().value().contains(service));
  if (!offered) return openFolder();
  QDBusMessage call = QDBusMessage::createMethodCall(service, QStringLiteral("/org/freedesktop/FileManager1"),
                                                     service, QStringLiteral("ShowItems"));
  call << QStringList{FileUrlOf(FileSizeOf(path) >= 0 ? bytes : folder)} << QString();
  // Asked without waiting: the window stays free while the file manager starts.
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), window_.get());
  QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher, [watcher, openFolder] {
    if (watcher->isError()) openFolder();
    watcher->deleteLater();
  });
  return true;
}

void QtWindowHost::CopyToClipboard(const Text& text) {
  // The program copies paths: the clipboard takes the name as the system
  // decodes it, so that it pastes as the file's name in either program.
  QGuiApplication::clipboard()->setText(NameOf(text));
}

int QtWindowHost::ShowMenu(int gadget, int row, const std::vector<Text>& entries) {
  const Control* c = Taking(gadget, ControlOperation::Rows);
  if (!c || row < 0) return -1;
  QMenu menu(window_.get());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (entries[i].empty()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(Caption(entries[i]));
    action->setData(static_cast<int>(i));
  }
  QPoint at = QCursor::pos();
  if (auto* results = dynamic_cast<ResultView*>(c->widget)) {
    at = results->menuAt;
  } else if (auto* view = qobject_cast<QAbstractItemView*>(c->widget)) {
    at = view->viewport()->mapToGlobal(view->visualRect(view->model()->index(row, 0)).bottomLeft());
  }
  QAction* chosen = menu.exec(at);
  return chosen ? chosen->data().toInt() : -1;
}

}  // namespace vantrel
