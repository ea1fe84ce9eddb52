// Delete through the real Qt window (offscreen), from a search's rows:
// 2,000 checked files of 256 KiB and 8 of 100 MiB, in groups of one kept copy
// and two checked files. Reports the longest stretch the window's thread was
// busy (a 5 ms timer on that thread and its lateness), the whole Delete's
// time, and its ratio to the floor: reading every checked file and kept copy
// once (cat) plus removing the checked files (rm). Warm: the files are in the
// page cache (the search has just read them). Cold: the page cache is dropped
// first, for the Delete and for the floor (needs a writable
// /proc/sys/vm/drop_caches; said so when it is not).
//
//   delete_bench DIR [--cold] [--scale N]
//
// DIR must lie on a disk (not tmpfs) and hold about 4 GB (two corpora of 2 GB);
// --scale N makes 1/N corpora. Not a test: it prints what it measured.

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/file_system.hpp"
#include "platform/qt/window_qt.hpp"
#include "ui/program.hpp"

namespace {

using namespace vantrel;
namespace fs = std::filesystem;

class BenchHost final : public QtWindowHost {
 public:
  BenchHost() : QtWindowHost(noArguments, nullptr) {}
  void EndProgram() override {}

 private:
  static inline int noArguments = 0;
};

struct Group {
  std::string name;
  std::uint64_t size;
};

std::vector<Group> Groups(int scale) {
  std::vector<Group> groups;
  for (int i = 0; i < 1000 / scale; ++i) groups.push_back({"s" + std::to_string(i), 256u << 10});
  for (int i = 0; i < std::max(4 / scale, 1); ++i) groups.push_back({"b" + std::to_string(i), 100ull << 20});
  return groups;
}

// Bytes of a group, different from every other group's from the first byte on.
void WriteFile(const fs::path& path, std::uint64_t size, std::uint64_t seed) {
  std::vector<std::uint64_t> block(1 << 17);
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ULL + 1;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::uint64_t left = size;
  while (left > 0) {
    for (auto& w : block) {
      x ^= x << 13;
      x ^= x >> 7;
      x ^= x << 17;
      w = x;
    }
    // Every block of a file is the same sequence from the seed, so all copies agree.
    const std::uint64_t n = std::min<std::uint64_t>(left, block.size() * sizeof(std::uint64_t));
    out.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n));
    left -= n;
    x = seed * 0x9E3779B97F4A7C15ULL + 1 + (size - left);
  }
}

void MakeCorpus(const fs::path& dir, const std::vector<Group>& groups) {
  fs::create_directories(dir / "k");
  fs::create_directories(dir / "d");
  std::uint64_t seed = 1;
  for (const Group& g : groups) {
    WriteFile(dir / "k" / g.name, g.size, seed);
    WriteFile(dir / "d" / (g.name + "a"), g.size, seed);
    WriteFile(dir / "d" / (g.name + "b"), g.size, seed);
    ++seed;
  }
  std::system("sync");
}

bool DropCaches() {
  std::system("sync");
  std::ofstream drop("/proc/sys/vm/drop_caches");
  if (!drop) return false;
  drop << "3\n";
  return static_cast<bool>(drop.flush());
}

// The calling thread's processor time in milliseconds.
double ThreadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }

double Run(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
  return Seconds(std::chrono::steady_clock::now() - start);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: delete_bench DIR [--cold] [--scale N]\n");
    return 2;
  }
  const fs::path dir = fs::absolute(argv[1]) / "vantrel-delete-bench";
  bool cold = false;
  int scale = 1;
  for (int i = 2; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--cold") cold = true;
    if (arg == "--scale" && i + 1 < argc) scale = std::max(1, std::atoi(argv[++i]));
  }
  const std::vector<Group> groups = Groups(scale);
  std::uint64_t checkedBytes = 0;
  for (const Group& g : groups) checkedBytes += 2 * g.size;
  fs::remove_all(dir);
  std::printf("corpus: %zu groups, %zu checked files (%.2f GB), %zu kept copies\n", groups.size(), 2 * groups.size(),
              static_cast<double>(checkedBytes) / 1e9, groups.size());
  // Two equal corpora made together, so that the floor's files are as old as
  // the Delete's (a file written just now is slower to remove).
  const fs::path floorDir = dir / "floor";
  MakeCorpus(dir, groups);
  MakeCorpus(floorDir, groups);

  BenchHost host;
  Program program(host, SearchFlavour::Mac);
  program.StartUp();
  (void)QTest::qWaitForWindowExposed(host.Window());
  host.AppendRow(GadgetSearchList, TextFromSystemBytes((dir / "k").native()));
  host.AppendRow(GadgetSearchList, TextFromSystemBytes((dir / "d").native()));
  program.OnControlEvent(GadgetStart);
  while (program.Search().IsAlive()) QTest::qWait(10);
  const int rows = host.RowCount(GadgetResults);
  std::printf("search: %d rows\n", rows);
  program.OnControlEvent(GadgetSelectAllButOne);
  QApplication::processEvents();

  bool dropped = false;
  if (cold) {
    dropped = DropCaches();
    if (!dropped) std::printf("cold: /proc/sys/vm/drop_caches cannot be written here; this run is warm\n");
  }

  // The window's thread: a timer every 5 ms; its lateness is time the thread
  // was busy with something else.
  constexpr int kTick = 5;
  QElapsedTimer clock;
  clock.start();
  qint64 lastTick = clock.elapsed();
  qint64 longest = 0;
  qint64 longestAt = 0;
  // Lateness is wall time: it also counts time the thread waited for a
  // processor while other processes ran. The thread's own processor time
  // between two ticks tells what it was made to do.
  double lastCpu = ThreadCpuMs();
  double longestCpu = 0;
  struct Stretch {
    qint64 end, length;
    double cpu;
  };
  std::vector<Stretch> stretches;  // each over 20 ms
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    const qint64 now = clock.elapsed();
    const double cpu = ThreadCpuMs();
    longestCpu = std::max(longestCpu, cpu - lastCpu);
    if (now - lastTick - kTick > 20) stretches.push_back({now, now - lastTick - kTick, cpu - lastCpu});
    lastCpu = cpu;
    if (now - lastTick - kTick > longest) {
      longest = now - lastTick - kTick;
      longestAt = now;
    }
    lastTick = now;
  });
  ticker.start(kTick);
  // The same timer with nothing to do: how late the machine's load alone makes it.
  QTest::qWait(2000);
  const qint64 idleLongest = longest;
  longest = 0;
  longestCpu = 0;
  stretches.clear();

  host.QueueAnswer(kAnswerYes);
  const auto start = std::chrono::steady_clock::now();
  const qint64 clicked = clock.elapsed();
  QTest::mouseClick(host.WidgetOf(GadgetDeleteSelected), Qt::LeftButton);
  const qint64 clickMs = clock.elapsed() - clicked;
  while (program.Search().IsAlive()) QTest::qWait(1);
  const double deleteSeconds = Seconds(std::chrono::steady_clock::now() - start);
  QTest::qWait(20);
  ticker.stop();

  std::size_t left = 0;
  for (const auto& entry : fs::directory_iterator(dir / "d")) left += entry.is_regular_file() ? 1 : 0;
  std::printf("delete: %.3f s, %d rows left, %zu checked files left\n", deleteSeconds, host.RowCount(GadgetResults),
              left);
  std::printf("window thread: busy at most %lld ms at a stretch (ending %lld ms after the click); the click "
              "itself took %lld ms\n",
              static_cast<long long>(longest), static_cast<long long>(longestAt - clicked),
              static_cast<long long>(clickMs));
  std::printf("window thread: at most %.1f ms of its own processor time between two ticks\n", longestCpu);
  for (const Stretch& st : stretches)
    std::printf("  late by %lld ms, ending %lld ms after the click, %.1f ms of it on the processor\n",
                static_cast<long long>(st.length), static_cast<long long>(st.end - clicked), st.cpu);
  std::printf("window thread idle for 2 s before: late by at most %lld ms (the machine's load)\n",
              static_cast<long long>(idleLongest));

  // The floor on the other corpus: one read of each file and rm. Warm, its
  // files are first read once, as the search read the Delete's.
  const std::string q = "'" + floorDir.native() + "'";
  if (cold && dropped)
    DropCaches();
  else
    Run("find " + q + " -type f -print0 | xargs -0 cat > /dev/null");
  const double cat = Run("find " + q + "/k " + q + "/d -type f -print0 | xargs -0 cat > /dev/null");
  const double rm = Run("find " + q + "/d -type f -print0 | xargs -0 rm -f");
  std::printf("floor (%s): cat %.3f s + rm %.3f s = %.3f s; Delete / floor = %.2f\n",
              cold && dropped ? "cold" : "warm", cat, rm, cat + rm, deleteSeconds / (cat + rm));
  fs::remove_all(dir);
  return 0;
}
