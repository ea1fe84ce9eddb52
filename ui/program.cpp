// Start-up, the dispatch of window events and the end of the program, and the
// search's window side. The commands themselves live in commands_*.cpp.

#include "ui/program.hpp"

#include "engine/file_system.hpp"
#include "ui/layout.hpp"

namespace vantrel {

HostFiles HostFiles::Platform() { return {DeleteFileAt, ShortPathOf, RealFolderOf, DeleteIo::Platform().source}; }

Program::Program(WindowHost& host, SearchFlavour flavour)
    : host_(host), flavour_(flavour), files_(HostFiles::Platform()), search_(*this, flavour) {}

Program::~Program() = default;

int Program::TextWidthOf(const Text& text) {
  if (IsMac()) return host_.MeasureText(text).width + 10;
  return text.empty() ? 0 : host_.MeasureText(text).width;
}

int Program::TextHeightOf(const Text& text) { return text.empty() ? 0 : host_.MeasureText(text).height; }

bool Program::StartUp() {
  // The language is chosen once, from the name the system gives it.
  if (IsMac())
    texts_ = MacTexts();
  else
    texts_ = SelectsGerman(host_.UserLanguageName()) ? GermanTexts() : EnglishTexts();
  currentFolder_ = host_.WorkingDirectory();
  AddTrailingSeparator(currentFolder_);

  const Extent client = IsMac() ? kMacClient : kWindowsClient;
  if (!host_.OpenWindow(texts_.TextWindowTitle, client.width, client.height, !IsMac())) {
    EndSequence();
    return false;
  }
  host_.SetEventSink(this);
  const Extent opened = host_.ClientSize();
  std::function<int(const Text&)> width = [this](const Text& t) { return TextWidthOf(t); };
  std::function<int(const Text&)> height = [this](const Text& t) { return TextHeightOf(t); };
  Placer placer(host_, opened.width, opened.height, width, height);
  BuildControls(host_, flavour_, texts_, placer);
  if (IsMac()) {
    host_.ShowAndActivate();
  } else {
    host_.SetSizeLimits(kSmallestClient, host_.ScreenSize());
    // The window's first size event: the controls take their places for the
    // opening size before the user can act.
    OnSizeEvent();
  }
  return true;
}

int Program::Run() {
  if (!StartUp()) return 0;
  return host_.RunEventLoop();
}

void Program::OnControlEvent(int gadget) {
  if (ended_) return;
  // Only the number counts, never what kind of event the control reports.
  struct Entry {
    int gadget;
    void (Program::*command)();
  };
  static const Entry kCommon[] = {
      {GadgetBrowse, &Program::Browse},
      {GadgetAdd, &Program::Add},
      {GadgetRemove, &Program::Remove},
      {GadgetSizeLimit, &Program::SizeLimitToggle},
      {GadgetMinSize, &Program::MinimumFollows},
      {GadgetFileTypes, &Program::FileTypesToggle},
      {GadgetAlwaysOnTop, &Program::AlwaysOnTop},
      {GadgetStart, &Program::Start},
      {GadgetStop, &Program::Stop},
      {GadgetSelectAll, &Program::SelectAll},
      {GadgetSelectAllButOne, &Program::SelectAllButOne},
      {GadgetReverseSelection, &Program::ReverseSelection},
      {GadgetClearList, &Program::ClearList},
      {GadgetDeleteSelected, &Program::DeleteSelectedFiles},
  };
  for (const Entry& e : kCommon) {
    if (e.gadget == gadget) {
      (this->*e.command)();
      return;
    }
  }
  // The Pause button has its own number in each window.
  if (gadget == PauseGadget()) Pause();
}

void Program::OnSizeEvent() {
  if (ended_ || IsMac()) return;
  // Size events that arrive one after another make one Relayout, with the
  // size the window has when it runs.
  if (relayoutQueued_) return;
  relayoutQueued_ = true;
  std::weak_ptr<bool> alive = alive_;
  host_.PostToWindowThread([this, alive] {
    if (alive.expired() || ended_) return;
    relayoutQueued_ = false;
    Extent size = host_.ClientSize();
    Relayout(size.width, size.height);
  });
}

void Program::Relayout(int width, int height) { vantrel::Relayout(host_, width, height); }

void Program::OnCloseRequest() { EndSequence(); }

void Program::OnRowAction(int gadget, RowAction action, int row) {
  if (ended_ || gadget != GadgetResults) return;
  switch (action) {
    case RowAction::ToggleCheck:
      ToggleRowCheck(row);
      break;
    case RowAction::Open:
      OpenRow(row);
      break;
    case RowAction::Menu:
      RowMenu(row);
      break;
  }
}

void Program::EndSequence() {
  // No question, nothing saved, and a search is neither stopped nor waited
  // for: the process ends, and its worker with it.
  ended_ = true;
  host_.EndProgram();
}

// --- The search's window side ------------------------------------------------

void Program::PostToWindow(std::function<void()> task) {
  std::weak_ptr<bool> alive = alive_;
  host_.PostToWindowThread([alive, task = std::move(task)] {
    if (!alive.expired()) task();
  });
}

void Program::SetProgress(int value) {
  // The first value ends the busy state: from then on the bar shows values.
  ShowBusy(false);
  host_.SetValue(GadgetProgress, value);
}

void Program::ShowBusy(bool busy) {
  if (busy_ == busy) return;
  busy_ = busy;
  host_.SetBusy(GadgetProgress, busy);
}

void Program::InsertResultRows(const ResultRowList& cells) { host_.AppendRows(GadgetResults, cells); }

void Program::SetPanelEnabled(bool enabled) { host_.SetEnabled(GadgetPanel, enabled); }

void Program::SelectPanelTab(int tab) { host_.SelectTab(GadgetPanel, tab); }

void Program::ShowNoDuplicates() {
  host_.Ask(BoxKind::Information, texts_.TextInformationTitle, texts_.TextNoDuplicates);
}

void Program::SearchStateChanged() { ShowPauseState(); }

void Program::ShowPauseState() {
  if (!IsMac()) return;
  host_.SetText(GadgetMacPause, search_.SearchPaused() ? texts_.TextResume : TextFromAscii("Pause"));
}

}  // namespace vantrel
