// A search that reports 100,000 rows, on the Qt window (offscreen): the time
// from the moment the window's thread takes the hand-over (the pass has ended)
// until the rows are drawn and a click on a row has been answered; and the time
// one click on "Select all except one" takes over those rows, drawn.

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>

#include "engine/file_system.hpp"
#include "platform/qt/window_qt.hpp"
#include "ui/program.hpp"

namespace {

using namespace vantrel;

constexpr int kRows = 100000;

// Rows as a search gives them: groups of two, long paths, every fingerprint.
ResultRowList MakeRows() {
  ResultRowList cells;
  cells.reserve(static_cast<std::size_t>(kRows) * 6);
  for (int i = 0; i < kRows; ++i) {
    cells.push_back(DecimalText(i / 2 + 1));
    cells.push_back(TextFromAscii("/home/someone/Pictures/2019/holiday/album-") + DecimalText(i % 977) +
                    TextFromAscii("/IMG_") + DecimalText(i) + TextFromAscii(".jpg"));
    cells.push_back(TextFromAscii("2.31 MB"));
    cells.push_back(TextFromAscii("9e107d9d372bb6826bd81d3542a419d6"));
    cells.push_back(TextFromAscii("2fd4e1c67a2d28fced849ee1bb76e7391b93eb12"));
    cells.push_back(TextFromAscii("414fa339"));
  }
  return cells;
}

class BenchHost final : public QtWindowHost {
 public:
  BenchHost() : QtWindowHost(noArguments, nullptr) {}
  void EndProgram() override {}

 private:
  static inline int noArguments = 0;
};

struct Window {
  Window() : program(host, SearchFlavour::Mac) {
    program.StartUp();
    program.SetPanelEnabled(false);  // as during a search
    (void)QTest::qWaitForWindowExposed(host.Window());
  }
  QTableView* Results() { return qobject_cast<QTableView*>(host.WidgetOf(GadgetResults)); }
  // Lets the window's thread run what is queued, then draws the list.
  void Draw() {
    QApplication::processEvents();
    Results()->viewport()->repaint();
  }
  BenchHost host;
  Program program;
};

void HandOverShowsRowsAndAnswersAClick(benchmark::State& state) {
  const ResultRowList cells = MakeRows();
  for (auto _ : state) {
    Window window;
    QElapsedTimer timer;
    timer.start();
    // The hand-over task, as the window's thread runs it at the pass's end.
    window.program.SelectPanelTab(kResultsTab);
    window.program.SetPanelEnabled(true);
    window.program.InsertResultRows(cells);
    window.Draw();
    QTableView* view = window.Results();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(5, 2)).center());
    window.Draw();
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (window.host.RowCount(GadgetResults) != kRows || !(window.host.RowState(GadgetResults, 5) & kRowHighlighted))
      state.SkipWithError("the rows or the click did not arrive");
  }
  state.counters["rows"] = kRows;
}
BENCHMARK(HandOverShowsRowsAndAnswersAClick)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void SelectAllButOneClickOverAllRows(benchmark::State& state) {
  const ResultRowList cells = MakeRows();
  Window window;
  window.program.InsertResultRows(cells);
  window.program.SelectPanelTab(kResultsTab);
  window.program.SetPanelEnabled(true);
  window.Draw();
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.host.WidgetOf(GadgetSelectAllButOne), Qt::LeftButton);
    window.Draw();
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (!(window.host.RowState(GadgetResults, 1) & kRowChecked)) state.SkipWithError("no check marks");
    QTest::mouseClick(window.host.WidgetOf(GadgetSelectAll), Qt::LeftButton);  // something to change next time
    window.Draw();
  }
}
BENCHMARK(SelectAllButOneClickOverAllRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

// Delete answered Yes after a search of 100,000 rows whose files are gone by
// then, all of them (argument 0) or every second one (argument 2): the time
// from the click on Yes until the rows left are drawn. The rows of the
// vanished files go in one call.
void DeleteDropsTheRowsOfVanishedFiles(benchmark::State& state) {
  const int keepEvery = static_cast<int>(state.range(0));
  const std::filesystem::path kept = std::filesystem::temp_directory_path() / "vantrel-bench-kept";
  { std::ofstream(kept) << "kept"; }
  ResultRowList cells = MakeRows();
  for (std::size_t row = 0; row < static_cast<std::size_t>(kRows); ++row)
    if (keepEvery > 0 && row % static_cast<std::size_t>(keepEvery) == 0) cells[row * 6 + 1] = TextFromSystemBytes(kept.native());  // still there
  for (auto _ : state) {
    Window window;
    window.program.InsertResultRows(cells);
    window.program.SelectPanelTab(kResultsTab);
    window.program.SetPanelEnabled(true);
    window.Draw();
    // One checked row, whose file has vanished: nothing is deleted, and every
    // row of a vanished file goes.
    window.host.SetRowState(GadgetResults, 1, kRowChecked);
    window.Draw();
    window.host.QueueAnswer(kAnswerYes);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.host.WidgetOf(GadgetDeleteSelected), Qt::LeftButton);
    // The Delete runs on the worker; its last step removes the rows.
    while (window.program.Search().IsAlive()) QTest::qWait(1);
    window.Draw();
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (window.host.RowCount(GadgetResults) != (keepEvery > 0 ? kRows / keepEvery : 0))
      state.SkipWithError("the rows of vanished files stayed");
  }
  std::filesystem::remove(kept);
}
BENCHMARK(DeleteDropsTheRowsOfVanishedFiles)->Arg(0)->Arg(2)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// Clear list answered Yes over 100,000 rows, drawn.
void ClearListOverAllRows(benchmark::State& state) {
  const ResultRowList cells = MakeRows();
  for (auto _ : state) {
    Window window;
    window.program.InsertResultRows(cells);
    window.program.SelectPanelTab(kResultsTab);
    window.program.SetPanelEnabled(true);
    window.Draw();
    window.host.QueueAnswer(kAnswerYes);
    QElapsedTimer timer;
    timer.start();
    QTest::mouseClick(window.host.WidgetOf(GadgetClearList), Qt::LeftButton);
    window.Draw();
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (window.host.RowCount(GadgetResults) != 0) state.SkipWithError("rows left");
  }
}
BENCHMARK(ClearListOverAllRows)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
