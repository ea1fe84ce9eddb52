// Searches through the Win32 layer: the worker's priority and the admission
// of hidden and system files on the worker.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <set>

#include "engine/search_control.hpp"
#include "engine/thread_priority.hpp"
#include "tests/support/recording_window.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel {
namespace {

using testing::RecordingWindow;
using testing::RelativeTo;
using testing::TempTree;

TEST(Win32Search, WorkerRunsBelowNormalOrWithHighPriorityAboveNormal) {
  TempTree tree({{"d/a", "x"}, {"d/b", "x"}});
  for (bool high : {false, true}) {
    RecordingWindow window;
    SearchControl control(window, SearchFlavour::Windows);
    PassIo io = PassIo::Platform();
    int seen = 99;
    io.stageReached = [&](int stage) {
      if (stage == kStageWalk) seen = CurrentThreadPriority();
    };
    control.SetPassIo(io);
    SearchOptions o;
    o.highPriority = high;
    ASSERT_EQ(control.Start({tree.PathOf("d")}, o), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    EXPECT_EQ(seen, high ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(window.rows.size(), 2u);
  }
}

TEST(Win32Search, HiddenAndSystemFilesNeedTheirOptions) {
  TempTree tree({{"d/plain1", "same"}, {"d/plain2", "same"}, {"d/hidden", "same"}, {"d/system", "same"}});
  SetFileAttributesW(tree.PathOf("d/hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(tree.PathOf("d/system").c_str(), FILE_ATTRIBUTE_SYSTEM);
  struct Case {
    bool hidden, system;
    std::set<std::string> files;
  } cases[] = {
      {false, false, {"d/plain1", "d/plain2"}},
      {true, false, {"d/plain1", "d/plain2", "d/hidden"}},
      {false, true, {"d/plain1", "d/plain2", "d/system"}},
      {true, true, {"d/plain1", "d/plain2", "d/hidden", "d/system"}},
  };
  for (const auto& c : cases) {
    RecordingWindow window;
    SearchControl control(window, SearchFlavour::Windows);
    SearchOptions o;
    o.includeHidden = c.hidden;
    o.includeSystem = c.system;
    ASSERT_EQ(control.Start({tree.PathOf("d")}, o), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    std::set<std::string> found;
    for (const auto& row : window.rows) found.insert(RelativeTo(tree.RootText(), {row[1]})[0]);
    EXPECT_EQ(found, c.files) << c.hidden << c.system;
  }
}

}  // namespace
}  // namespace vantrel
