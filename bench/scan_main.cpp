// vantrel-scan: runs one whole search headless over the directories given on
// the command line and prints the result rows, for benchmarks against other
// tools and for checks by hand. A developer tool, not part of the programs.
//
//   vantrel-scan [--subdirs] [--crc32] [--sha1] [--min N] [--max N]
//                [--types "TEXT"] [--ascii] [--progress] DIR...
//
// --progress also prints every value the bar is set to, as "progress N" lines
// among the rows, so that two builds can be checked for the same progress.

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "bench/scan_host.hpp"
#include "engine/file_system.hpp"
#include "engine/search_control.hpp"
#include "engine/search_worker.hpp"

namespace {

using namespace vantrel;

const char kUsage[] =
    "usage: vantrel-scan [--subdirs] [--crc32] [--sha1] [--min N] [--max N]\n"
    "                    [--types \"TEXT\"] [--ascii] [--progress] DIR...\n"
    "  N is a byte count from 0 to 2147483647 (0: no limit)\n";

// The window's thread is this program's main thread: it runs what the worker
// posts and writes the rows out as lines as they arrive, so no second copy of
// the result texts is kept.
class HeadlessWindow : public SearchWindow {
 public:
  void PostToWindow(std::function<void()> task) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(task));
    posted_.notify_one();
  }
  void SetProgress(int value) override {
    if (showProgress) std::printf("progress %d\n", value);
  }
  void InsertResultRows(const std::vector<Text>& cells) override {
    std::string line;
    for (std::size_t i = 0; i + kResultColumns <= cells.size(); i += kResultColumns) {
      line.clear();
      for (int c = 0; c < kResultColumns; ++c) {
        if (c) line.push_back('\t');
        line += SystemBytesFromText(cells[i + static_cast<std::size_t>(c)]);
      }
      line.push_back('\n');
      std::fwrite(line.data(), 1, line.size(), stdout);
    }
  }
  void SetPanelEnabled(bool) override {}
  void SelectPanelTab(int) override {}
  void ShowNoDuplicates() override { noDuplicates = true; }
  void SearchStateChanged() override { ended = true; }

  void RunUntilEnded() {
    while (!ended) {
      std::function<void()> task;
      {
        std::unique_lock lock(mutex_);
        posted_.wait(lock, [&] { return !queue_.empty(); });
        task = std::move(queue_.front());
        queue_.pop_front();
      }
      task();
    }
  }

  bool noDuplicates = false;
  bool ended = false;
  bool showProgress = false;

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::deque<std::function<void()>> queue_;
};

bool ParseLimit(const char* text, std::int32_t* out) {
  bool ok = false;
  std::int64_t value = ParseDecimal(TextFromAscii(text), &ok);
  if (!ok || value < 0 || value > 2147483647) return false;
  *out = static_cast<std::int32_t>(value);
  return true;
}

int Usage(const char* problem) {
  std::fprintf(stderr, "vantrel-scan: %s\n%s", problem, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  scan::PrepareProcess();
  const std::vector<std::string> args = scan::Arguments(argc, argv);
  argc = static_cast<int>(args.size());
  SearchOptions options;
  std::vector<Text> dirs;
  bool ascii = false;
  bool progress = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = args[static_cast<std::size_t>(i)].c_str();
    auto value = [&](const char* name) -> const char* {
      if (i + 1 >= argc) return nullptr;
      (void)name;
      return args[static_cast<std::size_t>(++i)].c_str();
    };
    if (std::strcmp(a, "--subdirs") == 0) {
      options.searchSubdirectories = true;
    } else if (std::strcmp(a, "--crc32") == 0) {
      options.crc32 = true;
    } else if (std::strcmp(a, "--sha1") == 0) {
      options.sha1 = true;
    } else if (std::strcmp(a, "--ascii") == 0) {
      ascii = true;
    } else if (std::strcmp(a, "--progress") == 0) {
      progress = true;
    } else if (std::strcmp(a, "--min") == 0 || std::strcmp(a, "--max") == 0) {
      const char* v = value(a);
      std::int32_t* target = a[3] == 'i' ? &options.minSize : &options.maxSize;
      if (!v || !ParseLimit(v, target)) return Usage("--min and --max take a byte count");
      options.sizeLimit = true;
    } else if (std::strcmp(a, "--types") == 0) {
      const char* v = value(a);
      if (!v) return Usage("--types takes a text");
      options.fileTypes = true;
      options.fileTypesInput = TextFromSystemBytes(v);
    } else if (std::strcmp(a, "--") == 0) {
      for (++i; i < argc; ++i) dirs.push_back(TextFromSystemBytes(args[static_cast<std::size_t>(i)]));
    } else if (a[0] == '-' && a[1] != '\0') {
      return Usage((std::string("unknown option ") + a).c_str());
    } else {
      dirs.push_back(TextFromSystemBytes(a));
    }
  }
  if (dirs.empty()) return Usage("no directory given");
  if (ascii && sizeof(Char) != 1) return scan::RunAsciiDriver(argv);

  HeadlessWindow window;
  window.showProgress = progress;
  auto started = std::chrono::steady_clock::now();
  SearchStats stats;
  {
    SearchControl control(window, scan::ProgramFlavour());
    control.Start(dirs, options);
    window.RunUntilEnded();
    stats = control.CurrentRun()->stats;
  }
  double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  if (window.noDuplicates) std::fputs("No duplicates found.\n", stdout);
  std::fflush(stdout);
  std::fprintf(stderr, "files %zu candidates %zu rows %zu groups %zu seconds %.3f\n", stats.filesFound,
               stats.candidates, stats.rows, stats.groups, seconds);
  return 0;
}
