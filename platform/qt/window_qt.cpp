#include "platform/qt/window_qt.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
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
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTableView>

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

namespace vantrel {
namespace {

// Buttons, check boxes, tabs and frame captions take '&' as a mnemonic marker;
// the program's texts mean a plain '&'.
QString Caption(const Text& text) { return ToQString(text).replace(u'&', QStringLiteral("&&")); }
Text FromCaption(QString caption) { return FromQString(caption.replace(QStringLiteral("&&"), QStringLiteral("&"))); }

constexpr int kResultCells = 6;
constexpr int kCheckColumnWidth = 25;
constexpr int kAlertMessageWidth = 300;

// The result list: the space bar flips the check of the focused row, whichever
// cell has the focus, as a click on the row's check box does.
class ResultView final : public QTableView {
 public:
  explicit ResultView(QWidget* parent) : QTableView(parent) {}
  RowList* rows = nullptr;

 protected:
  void keyPressEvent(QKeyEvent* event) override {
    const bool space = event->key() == Qt::Key_Space || event->key() == Qt::Key_Select;
    if (space && rows && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && currentIndex().isValid()) {
      rows->ToggleCheck(currentIndex().row());
      event->accept();
      return;
    }
    QTableView::keyPressEvent(event);
  }
};

// The folder chooser. A folder whose name is not UTF-8 does not exist by the
// name the chooser knows it by; it is taken when it is the one folder there
// that the name can stand for.
class FolderDialog final : public QFileDialog {
 public:
  explicit FolderDialog(QWidget* parent) : QFileDialog(parent) {
    setFileMode(QFileDialog::Directory);
    setOption(QFileDialog::ShowDirsOnly);
  }
  void accept() override {
    const QStringList files = selectedFiles();
    std::string bytes;
    if (!files.isEmpty() && !QFileInfo::exists(files.first()) && ChosenFolderBytes(files.first(), bytes)) {
      QDialog::accept();
      return;
    }
    QFileDialog::accept();
  }
};

}  // namespace

// The top-level window: reports a close request and size changes, and keeps
// the client widget filling it.
class QtWindowHost::MainWindow final : public QWidget {
 public:
  explicit MainWindow(QtWindowHost& host) : host_(host) {}

 protected:
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
      auto* view = new QListView(container_);
      view->setSelectionMode(QAbstractItemView::ExtendedSelection);
      view->setEditTriggers(QAbstractItemView::NoEditTriggers);
      view->setUniformItemSizes(true);
      rows = new RowList(view, new RowModel(1, false, view));
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
  const Control* c = Find(panel);
  if (!c || c->kind != ControlKind::Panel) return;
  auto* page = new QWidget;
  static_cast<QTabWidget*>(c->widget)->addTab(page, Caption(title));
  container_ = page;
}

void QtWindowHost::EndTabs(int) { container_ = client_; }

void QtWindowHost::AddColumn(int gadget, const Text& title, int width) {
  const Control* c = Find(gadget);
  if (!c || c->kind != ControlKind::ResultList) return;
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
  const Control* c = Find(gadget);
  return c && c->kind == ControlKind::CheckBox && static_cast<QCheckBox*>(c->widget)->isChecked();
}

void QtWindowHost::SetChecked(int gadget, bool checked) {
  const Control* c = Find(gadget);
  if (c && c->kind == ControlKind::CheckBox) static_cast<QCheckBox*>(c->widget)->setChecked(checked);
}

Text QtWindowHost::TextOf(int gadget) {
  const Control* c = Find(gadget);
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
  const Control* c = Find(gadget);
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
  const Control* c = Find(gadget);
  if (!c) return;
  if (c->kind == ControlKind::ProgressBar)
    static_cast<QProgressBar*>(c->widget)->setValue(static_cast<int>(std::clamp<std::int64_t>(value, 0, 100)));
  else if (c->kind == ControlKind::SpinField)
    static_cast<SpinField*>(c->widget)->SetValue(value);
}

void QtWindowHost::SetBusy(int gadget, bool busy) {
  // A bar whose range is empty moves on its own and shows no value.
  const Control* c = Find(gadget);
  if (c && c->kind == ControlKind::ProgressBar) static_cast<QProgressBar*>(c->widget)->setRange(0, busy ? 0 : 100);
}

void QtWindowHost::SelectTab(int panel, int tab) {
  const Control* c = Find(panel);
  if (c && c->kind == ControlKind::Panel) static_cast<QTabWidget*>(c->widget)->setCurrentIndex(tab);
}

// --- Rows -----------------------------------------------------------------------

int QtWindowHost::RowCount(int gadget) {
  const Control* c = Find(gadget);
  return c && c->rows ? c->rows->Model().Rows() : 0;
}

Text QtWindowHost::RowText(int gadget, int row, int column) {
  const Control* c = Find(gadget);
  if (!c || !c->rows || row < 0 || row >= c->rows->Model().Rows()) return {};
  return Text(c->rows->Model().Cell(row, column));
}

int QtWindowHost::RowState(int gadget, int row) {
  const Control* c = Find(gadget);
  return c && c->rows ? c->rows->State(row) : 0;
}

void QtWindowHost::SetRowState(int gadget, int row, int state) {
  const Control* c = Find(gadget);
  if (c && c->rows) c->rows->SetState(row, state);
}

void QtWindowHost::AppendRow(int gadget, const Text& text) {
  const Control* c = Find(gadget);
  if (c && c->kind == ControlKind::ListBox) c->rows->AppendRows({text});
}

void QtWindowHost::AppendRows(int gadget, const std::vector<Text>& cells) {
  const Control* c = Find(gadget);
  if (c && c->kind == ControlKind::ResultList) c->rows->AppendRows(cells);
}

void QtWindowHost::RemoveRow(int gadget, int row) {
  const Control* c = Find(gadget);
  if (c && c->rows) c->rows->RemoveRow(row);
}

void QtWindowHost::RemoveRows(int gadget, const std::vector<int>& rows) {
  const Control* c = Find(gadget);
  if (c && c->rows) c->rows->RemoveRows(rows);
}

void QtWindowHost::ClearRows(int gadget) {
  const Control* c = Find(gadget);
  if (c && c->rows) c->rows->Clear();
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
  std::string bytes;
  if (!ChosenFolderBytes(dialog.selectedFiles().first(), bytes)) return {};
  Text path = TextFromSystemBytes(bytes);
  AddTrailingSlash(path);
  return path;
}

}  // namespace vantrel
