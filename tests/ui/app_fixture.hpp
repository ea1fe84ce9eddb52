#pragma once
// The program on a recording window, started up and ready for clicks.

#include <memory>

#include "tests/support/recording_host.hpp"
#include "ui/program.hpp"

namespace vantrel::testing {

struct App {
  explicit App(SearchFlavour flavour, const std::string& language = "English") {
    host.languageName = TextFromAscii(language);
    host.workingDirectory = TextFromAscii("/work/dir");
    program = std::make_unique<Program>(host, flavour);
    started = program->StartUp();
    host.PumpPending();  // the first Relayout
  }
  void Click(int gadget) { program->OnControlEvent(gadget); }
  void Check(int gadget, bool on) {
    host.SetChecked(gadget, on);
    Click(gadget);
  }
  void Type(int gadget, const Text& text) { host.SetText(gadget, text); }
  std::vector<Text> RowTexts(int gadget, int column = 0) {
    std::vector<Text> out;
    for (int r = 0; r < host.RowCount(gadget); ++r) out.push_back(host.RowText(gadget, r, column));
    return out;
  }
  std::vector<int> States(int gadget) {
    std::vector<int> out;
    for (int r = 0; r < host.RowCount(gadget); ++r) out.push_back(host.RowState(gadget, r));
    return out;
  }
  // Waits for the search to end (its last window step taken).
  bool FinishSearch() {
    return host.PumpUntil([&] { return !program->Search().IsAlive(); });
  }
  const std::vector<WindowHost::BoxRecord>& Boxes() { return host.Boxes(); }

  RecordingHost host;
  std::unique_ptr<Program> program;
  bool started = false;
};

}  // namespace vantrel::testing
