#pragma once
// The program's window on Qt 6 Widgets. Each operation of WindowHost maps onto
// one or two Qt calls; what to do and when is the program's business.
//
// The controls lie at the program's coordinates inside a client widget that
// fills the window, or inside a tab's page when a panel's page is current.
// Disabling "the window" disables that client widget, so the boxes the window
// owns stay usable while it is disabled. Tasks from the search's worker reach
// the window's thread as queued calls with the window as context, which wake
// the event loop at once.

#include <QFont>
#include <QWidget>

#include <map>
#include <memory>

#include "ui/control_kinds.hpp"
#include "ui/window_host.hpp"

class QApplication;
class QTabWidget;

namespace vantrel {

class RowList;

class QtWindowHost : public WindowHost {
 public:
  // Makes the application object unless one exists (tests make their own).
  QtWindowHost(int& argc, char** argv);
  ~QtWindowHost() override;
  QtWindowHost(const QtWindowHost&) = delete;
  QtWindowHost& operator=(const QtWindowHost&) = delete;

  bool OpenWindow(const Text& title, int width, int height, bool sizable) override;
  void SetEventSink(WindowEvents* events) override { events_ = events; }
  Extent ClientSize() override;
  Extent ScreenSize() override;
  void SetSizeLimits(Extent smallest, Extent largest) override;
  void ShowAndActivate() override;
  void SetAlwaysOnTop(bool onTop) override;
  void SetWindowEnabled(bool enabled) override;
  void BringToFront() override;
  int RunEventLoop() override;
  void EndProgram() override;
  void PostToWindowThread(std::function<void()> task) override;

  void CreateControl(int gadget, ControlKind kind, Rect place, const Text& text) override;
  void AddTab(int panel, const Text& title) override;
  void EndTabs(int panel) override;
  void AddColumn(int gadget, const Text& title, int width) override;
  void SetToolTip(int gadget, const Text& text) override;
  Extent MeasureText(const Text& text) override;

  Rect PlaceOf(int gadget) override;
  void SetPlace(int gadget, Rect place) override;
  void SetEnabled(int gadget, bool enabled) override;
  bool IsChecked(int gadget) override;
  void SetChecked(int gadget, bool checked) override;
  Text TextOf(int gadget) override;
  void SetText(int gadget, const Text& text) override;
  void SetValue(int gadget, std::int64_t value) override;
  void SetBusy(int gadget, bool busy) override;
  void SelectTab(int panel, int tab) override;

  int RowCount(int gadget) override;
  Text RowText(int gadget, int row, int column) override;
  int RowState(int gadget, int row) override;
  void SetRowState(int gadget, int row, int state) override;
  void AppendRow(int gadget, const Text& text) override;
  void AppendRows(int gadget, const std::vector<Text>& cells) override;
  void RemoveRow(int gadget, int row) override;
  void RemoveRows(int gadget, const std::vector<int>& rows) override;
  void ClearRows(int gadget) override;
  int FocusedRow(int gadget) override;

  Text UserLanguageName() override;
  Text WorkingDirectory() override;
  bool OpenFile(const Text& path) override;
  bool RevealFile(const Text& path) override;
  void CopyToClipboard(const Text& text) override;

  // The main window and a control's widget (tests find and click them).
  QWidget* Window() const;
  QWidget* WidgetOf(int gadget) const;

 protected:
  int ShowBox(BoxKind kind, const Text& title, const Text& text) override;
  Text ShowFolderChooser(const Text& prompt, const Text& startFolder) override;
  int ShowMenu(int gadget, int row, const std::vector<Text>& entries) override;

 private:
  class MainWindow;
  struct Control {
    ControlKind kind;
    QWidget* widget;
    RowList* rows = nullptr;
  };
  const Control* Find(int gadget) const;
  // The control when its kind takes the operation (CheckControlKind), else null.
  const Control* Taking(int gadget, ControlOperation operation) const;
  RowList* RowsOf(int gadget) const;
  void Report(int gadget);

  std::unique_ptr<QApplication> ownApp_;
  std::unique_ptr<MainWindow> window_;
  QWidget* client_ = nullptr;
  QWidget* container_ = nullptr;
  QFont font_;
  std::map<int, Control> controls_;
  WindowEvents* events_ = nullptr;
};

}  // namespace vantrel
