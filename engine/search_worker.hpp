#pragma once
// The detection pass: from the admitted candidates to the numbered groups of
// duplicate files. It runs on the worker thread; everything it shows goes to
// the window's thread as posted tasks, which a Stop turns into no-ops.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "engine/confirm_copies.hpp"
#include "engine/directory_walk.hpp"
#include "engine/fingerprint.hpp"
#include "engine/search_gate.hpp"
#include "engine/search_settings.hpp"
#include "engine/search_window.hpp"

namespace vantrel {

// A readable candidate and its size.
struct SizeEntry {
  SizeEntry() = default;
  SizeEntry(Text p, std::int64_t s, FileIdentity id) : path(std::move(p)), size(s), identity(id) {}
  Text path;
  std::int64_t size = 0;
  FileIdentity identity;
};

using SizeList = std::vector<SizeEntry>;

// A fingerprinted file.
struct FileEntry {
  Text path;
  Text sizeText;  // decimal digits of the size
  Text md5;
  Text crc32;
  Text sha1;
  std::int64_t size = 0;
};

using FingerprintList = std::vector<FileEntry>;

// Result rows as the window receives them: six cells a row, in column order
// (group, path, size text, MD5, SHA1, CRC32).
using ResultRowList = std::vector<Text>;
inline constexpr int kResultColumns = 6;

// The Windows program writes the rows and shows its box itself; the Mac
// programs hand rows and box over in their own order (tab, panel, rows).
enum class SearchFlavour { Windows, Mac };

// How the pass reaches files. The defaults are the platform's; tests and
// benchmarks replace a stage's access to watch it, fail it or put synthetic
// files behind it.
struct PassIo {
  // The readability probe, with the size and identity of a readable file.
  // It reads no byte of the file.
  std::function<FileProbe(const Text&)> probe;
  // A hash of the file's first kFirstBlockBytes, nullopt when it cannot be
  // read; asked only of files that can still have a twin.
  std::function<std::optional<std::uint64_t>(const Text&)> firstBlock;
  // Reads the files of each set (files of one size that may be copies)
  // together, sorts them into classes of identical bytes and fingerprints the
  // classes (ConfirmCopySets on the platform).
  std::function<std::vector<CopyClasses>(const std::vector<CopySet>& sets, FingerprintKinds kinds,
                                         const ContinueCheck& keepGoing)>
      confirm;
  // When set, it replaces confirm: each file that may have a twin is read on
  // its own through it, on the worker alone, and files are grouped by their
  // texts (tests watch or fail single readings through it).
  std::function<FileFingerprints(const Text&, bool withSha1, bool withCrc32, const ContinueCheck&)>
      fingerprint;
  // Called on the worker as it enters each stage (tests pause or stop there).
  std::function<void(int stage)> stageReached;
  // Called on the worker as the walk enters each directory.
  std::function<void(const Text& directory)> directoryReached;
  static PassIo Platform();
};

// Threads that probe the candidates and read their first blocks: these are
// small reads of many files, which on a cold disk wait on the device, so more
// threads keep more reads in flight (eight cut a cold probe of 200,000 small
// files by about 40 % here) at no cost once cached.
inline constexpr std::size_t kProbeThreads = 8;

// The stages stageReached reports.
enum SearchStage : int { kStageWalk = 1, kStageSizes, kStageFingerprints, kStageOutput };

// Counts of one search, for the scan driver.
struct SearchStats {
  std::size_t filesFound = 0;
  std::size_t candidates = 0;
  std::size_t rows = 0;
  std::size_t groups = 0;
};

// Everything one search shares between the window's thread and the worker.
// Held by shared pointer: tasks posted to the window keep it alive.
struct SearchRun : std::enable_shared_from_this<SearchRun> {
  SearchFlavour flavour = SearchFlavour::Windows;
  SearchWindow* window = nullptr;
  SearchGate gate;
  std::atomic<bool> live{true};       // false after Stop: queued tasks do nothing
  // Set on the window's thread by the search's last window step: from then on
  // the search is over for the user, whether or not the thread has ended yet.
  std::atomic<bool> over{false};

  // Written by Start before the worker exists; owned by the worker while it runs.
  std::vector<Text> searchList;
  SearchSettings* settings = nullptr;
  ScanList* scanList = nullptr;
  CandidateList* candidateList = nullptr;
  ListingSlots* slots = nullptr;
  bool walkOnWorker = true;  // false: candidateList is already filled
  PassIo io = PassIo::Platform();
  SearchStats stats;

  // Called on the worker thread when it starts (sets the thread's priority).
  std::function<void()> onWorkerStart;

  // Queues fn for the window's thread; it runs only if the search was not stopped.
  void Post(std::function<void(SearchWindow&)> fn);
  // Queues fn and waits until it has run; false when the search was stopped.
  // With last, the task then ends the search on the window's thread (see End);
  // the worker is released first, so the window may start the next search.
  bool PostAndWait(std::function<void(SearchWindow&)> fn, bool last = false);
  // Queues fn as the search's last window step (see End).
  void PostLast(std::function<void(SearchWindow&)> fn);
  // Runs on the window's thread: marks the search over and tells the window.
  void End(SearchWindow& w);
};

// The worker's body: walk and admission (when walkOnWorker), then the pass,
// then the completion steps. Returns 1, the exit code of a finished pass.
int SearchWorker(const std::shared_ptr<SearchRun>& run);

// The progress value of counter against a divisor held in single precision,
// rounded half to even. Values below 1 leave the bar alone.
int ProgressValue(std::int64_t counter, float divisor);

// Keeps, in order, the entries whose size equals that of the entry before or
// after them in the size-sorted list; calls each(index) after every entry.
std::vector<SizeEntry> SelectEqualSizes(const std::vector<SizeEntry>& sorted,
                                        const std::function<void(std::size_t)>& each = {});

// Keeps the first path of each physical file (by identity, or by text when the
// identity is not known).
std::vector<SizeEntry> DistinctFiles(const std::vector<SizeEntry>& entries,
                                     const std::function<bool()>& keepGoing = {});

// Sorts the fingerprinted files and builds the result rows: groups of two or
// more files whose size and every fingerprint agree, by descending MD5 text,
// numbered from 1; within a group the files keep their order. Sets groups.
// The entries' texts are moved into the rows.
ResultRowList GroupRows(std::vector<FileEntry>& entries, std::size_t* groups = nullptr,
                        const std::function<bool()>& keepGoing = {});

}  // namespace vantrel

namespace vantrel {

// Returns the text after the last dot of the path's last component, up to a
// double quote; empty when that component has no dot.
Text ExtensionOf(const Text& path);

// Tells whether the file's extension is one of the words of a padded
// fileTypes text (" jpg png "); always true when fileTypes is empty.
bool PassesTypeFilter(const Text& path, const Text& fileTypes);

}  // namespace vantrel
