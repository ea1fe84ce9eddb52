#pragma once
// The program: start-up, the dispatch of every window event to its command,
// and the end. It is the same for the three programs; SearchFlavour says which
// window (the sizable Windows one or the fixed Mac one) and which texts.
// Everything here runs on the window's thread; the search's worker reaches the
// window only through PostToWindow.

#include <functional>
#include <memory>
#include <vector>

#include "engine/delete_job.hpp"
#include "engine/search_control.hpp"
#include "ui/gadgets.hpp"
#include "ui/ui_texts.hpp"
#include "ui/window_host.hpp"

namespace vantrel {

// The host's file operations the commands use; tests may replace them.
struct HostFiles {
  std::function<bool(const Text&)> deleteFile;
  std::function<Text(const Text&)> shortPath;
  // The folder a folder's path reaches, links followed (RealFolderOf).
  std::function<Text(const Text&)> realFolder;
  // Makes the sources Delete compares files through (tests count the reads).
  std::function<std::unique_ptr<DeleteSource>()> source;
  static HostFiles Platform();
};

class Program final : public SearchWindow, public WindowEvents {
 public:
  Program(WindowHost& host, SearchFlavour flavour);
  ~Program() override;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs the start-up sequence up to the event loop: texts, window, controls,
  // size limits. False when the window could not be opened (the program has
  // then ended, as the end sequence says).
  bool StartUp();
  // Start-up, then the event loop; returns the exit code, 0.
  int Run();

  // WindowEvents: what the window layer reports.
  void OnControlEvent(int gadget) override;
  void OnSizeEvent() override;
  void OnCloseRequest() override;
  void OnRowAction(int gadget, RowAction action, int row) override;
  void OnDrop(const std::vector<Text>& paths) override;

  // SearchWindow: what the search shows, on the window's thread.
  void PostToWindow(std::function<void()> task) override;
  void SetProgress(int value) override;
  void InsertResultRows(const ResultRowList& cells) override;
  void SetPanelEnabled(bool enabled) override;
  void SelectPanelTab(int tab) override;
  void ShowNoDuplicates() override;
  void SearchStateChanged() override;

  // The commands, by name (the dispatch table calls them).
  void Browse();
  void Add();
  void Remove();
  void SizeLimitToggle();
  void MinimumFollows();
  void FileTypesToggle();
  void AlwaysOnTop();
  void Start();
  void Pause();
  void Stop();
  void SelectAll();
  void SelectAllButOne();
  void ReverseSelection();
  void ClearList();
  void DeleteSelectedFiles();
  // The space bar on a row of the result list: the row's check mark flips,
  // and when the row is highlighted every highlighted row takes its new mark.
  void ToggleRowCheck(int row);
  // The row commands of the result list (the context menu's entries).
  void OpenRow(int row);
  void RevealRow(int row);
  void CopyRowPath(int row);
  // Checks every duplicate whose file lies in row's folder (orBelow: or in a
  // folder below it), never the last unchecked file of a group; or unchecks
  // every row whose file lies there.
  void CheckByFolder(int row, bool orBelow);
  void UncheckByFolder(int row, bool orBelow);
  // Shows the result list's context menu for row and runs the chosen entry.
  void RowMenu(int row);
  // The context menu's entries, in order; "" is a separator.
  enum MenuEntry : int {
    MenuOpen,
    MenuReveal,
    MenuCopyPath,
    MenuSeparator,
    MenuCheckFolder,
    MenuUncheckFolder,
    MenuCheckTree,
    MenuUncheckTree,
  };
  std::vector<Text> RowMenuEntries() const;
  // Adds a folder to the search list as Add does with the directory input's
  // text: the validity test (with its error box) and the duplicate test.
  enum class AddOutcome { Added, Duplicate, Invalid };
  AddOutcome AddToSearchList(const Text& folder);
  // The Mac programs' delete question: 6 for Yes, 7 for No.
  int ConfirmDeleteFiles();

  // Lays the controls out for a client area of width x height (the sizable window).
  void Relayout(int width, int height);

  const UiTexts& Texts() const { return texts_; }
  const Text& CurrentFolder() const { return currentFolder_; }
  SearchControl& Search() { return search_; }
  SearchFlavour Flavour() const { return flavour_; }
  // The measuring rule of the layout: the width of a text, and its height.
  int TextWidthOf(const Text& text);
  int TextHeightOf(const Text& text);
  // Replaces the host's file operations (tests).
  void SetHostFiles(HostFiles files) { files_ = std::move(files); }
  // Whether the program has run its end sequence.
  bool Ended() const { return ended_; }

 private:
  bool IsMac() const { return flavour_ == SearchFlavour::Mac; }
  bool IsValidDirectory(const Text& text);
  bool SameDirectory(const Text& input, const Text& row);
  SearchOptions ReadOptions();
  std::int64_t SpinValue(int gadget);
  // The path of a result row (column 1) as the user knows it.
  Text RowPath(int row);
  void MarkByFolder(int row, bool orBelow, bool check);
  int PauseGadget() const { return IsMac() ? GadgetMacPause : GadgetPause; }
  void ShowPauseState();
  void EndSequence();
  // Shows the bar busy (no value yet) or back to its values.
  void ShowBusy(bool busy);
  // The Delete's last window step: the rows of files that are gone go, the
  // bar goes back to 0 and the panel is enabled.
  void FinishDelete(const DeleteOutcome& outcome);

  WindowHost& host_;
  SearchFlavour flavour_;
  UiTexts texts_;
  Text currentFolder_;
  HostFiles files_;
  ListingSlots slots_;  // for the validity test; a running walk has its own
  // Lives as long as the program: queued tasks that outlive it do nothing.
  // Declared before search_, so the worker may read it until it has ended.
  const std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  SearchControl search_;
  bool relayoutQueued_ = false;
  bool ended_ = false;
  bool busy_ = false;  // the bar shows its busy state
};

}  // namespace vantrel
