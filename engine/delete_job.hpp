#pragma once
// Delete as a job on the worker: the checked files go in list order, each only
// while it still holds the bytes of the copy its group keeps. A group's checked
// files are compared with their kept copy together, a chunk of each at the same
// offset, so every file is read at most once however many copies it has. The
// job reads rows and files only; what it shows goes to the window's thread
// through the callbacks of its caller.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "engine/file_system.hpp"
#include "engine/fingerprint.hpp"

namespace vantrel {

// A file opened for the comparison (FileReader on the platform; tests count or
// fail readings through their own).
class DeleteSource {
 public:
  virtual ~DeleteSource() = default;
  // Opens the file; false when it cannot be read.
  virtual bool Open(const Text& path) = 0;
  // Reads up to size bytes; the count, 0 at the end, -1 on failure.
  virtual std::int64_t Read(void* buffer, std::size_t size) = 0;
  // Moves the read position; false on failure.
  virtual bool Seek(std::int64_t offset) = 0;
  virtual void Close() = 0;
  // The open file's size (-1 when none is open) and identity.
  virtual std::int64_t Size() const = 0;
  virtual FileIdentity Identity() const = 0;
};

// How a Delete reaches the host's files.
struct DeleteIo {
  // Makes a closed source for the comparison.
  std::function<std::unique_ptr<DeleteSource>()> source;
  // Deletes the file for good; true on success.
  std::function<bool(const Text&)> deleteFile;
  // 1 when the file opens for reading (CanOpenFile).
  std::function<int(const Text&)> canOpen;
  // The size from the directory entry, below 0 when there is none (FileSizeOf).
  std::function<std::int64_t(const Text&)> sizeOf;
  static DeleteIo Platform();
};

// What the user asked for, taken from the rows when Yes was answered.
struct DeleteRequest {
  std::vector<Text> rowPaths;     // the path of every row, in row order
  std::vector<int> deletionList;  // the checked rows, ascending
  // Per entry of deletionList: the row of the copy its group keeps (the
  // group's first unchecked row), or -1 when the whole group is checked.
  std::vector<int> keptRow;
};

struct DeleteOutcome {
  std::vector<int> deletedRows;  // rows whose files this job deleted, ascending
  std::vector<int> goneRows;     // rows whose files cannot be opened now, ascending
  bool stopped = false;          // keepGoing said stop before the last file
};

// Bar weight of one checked file, besides the bytes compared for it: a group
// checked entirely still moves the bar file by file.
inline constexpr std::int64_t kDeleteFileWeight = 64 * 1024;

// Runs the Delete: compares, deletes in list order, then finds the rows whose
// files can no longer be opened. keepGoing is asked between files and between
// chunks (it may block while paused); once it says stop no file is deleted
// any more, and the rows are still looked at. progress gets the bar's values
// 1 to 100, each once, in rising order: work done over all work, the work
// being the bytes each comparison reads (the kept copy and its checked files,
// each once) plus kDeleteFileWeight for each checked file.
// heldSinceAsked tells whether keepGoing has held the worker (a pause) since
// it was last asked: files may have changed meanwhile, so the files of the
// group still to go are compared again before any of them goes.
DeleteOutcome RunDelete(const DeleteRequest& request, const DeleteIo& io, const ContinueCheck& keepGoing,
                        const std::function<void(int)>& progress,
                        const std::function<bool()>& heldSinceAsked = {});

// Sources the comparison of one group keeps open at once; larger groups open
// the rest again for each chunk.
inline constexpr std::size_t kDeleteOpenAtOnce = 64;

}  // namespace vantrel
