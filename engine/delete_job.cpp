// Delete on the worker. The checked files of a group are read beside their
// kept copy, one chunk of each at the same offset: a file that differs is
// dropped at once and read no further, and the kept copy is read once for all
// of them. A file goes only when every byte agreed, both ends came together,
// and it is another physical file than the kept copy.

#include "engine/delete_job.hpp"

#include <algorithm>
#include <cstring>
#include <map>

namespace vantrel {
namespace {

class PlatformSource final : public DeleteSource {
 public:
  bool Open(const Text& path) override { return reader_.Open(path); }
  std::int64_t Read(void* buffer, std::size_t size) override { return reader_.Read(buffer, size); }
  bool Seek(std::int64_t offset) override { return reader_.Seek(offset); }
  void Close() override { reader_.Close(); }
  std::int64_t Size() const override { return reader_.Size(); }
  FileIdentity Identity() const override { return reader_.Identity(); }

 private:
  FileReader reader_;
};

constexpr std::size_t kChunk = 1 << 20;

// Reads until size bytes are in or the file ends; the count, -1 on failure.
std::int64_t ReadFull(DeleteSource& source, std::uint8_t* buffer, std::size_t size) {
  std::size_t got = 0;
  while (got < size) {
    std::int64_t n = source.Read(buffer + got, size - got);
    if (n < 0) return -1;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return static_cast<std::int64_t>(got);
}

// The bar: work done against all work, each value once.
class DeleteBar {
 public:
  DeleteBar(std::int64_t total, const std::function<void(int)>& progress) : total_(total), progress_(progress) {}
  void Add(std::int64_t work) { SetDone(done_ + work); }
  void SetDone(std::int64_t done) {
    done_ = done;
    if (!progress_ || total_ <= 0) return;
    const int value = static_cast<int>(std::min<std::int64_t>(100, done_ * 100 / total_));
    if (value < 1 || value <= last_) return;
    last_ = value;
    progress_(value);
  }
  std::int64_t Done() const { return done_; }

 private:
  std::int64_t total_;
  std::int64_t done_ = 0;
  int last_ = 0;
  const std::function<void(int)>& progress_;
};

// One group: its kept copy and its checked files, compared together.
class GroupComparison {
 public:
  GroupComparison(const DeleteIo& io, const Text& kept, const std::vector<const Text*>& checked,
                  const ContinueCheck& keepGoing, DeleteBar& bar)
      : io_(io), keepGoing_(keepGoing), bar_(bar), keptPath_(kept) {
    members_.resize(checked.size());
    for (std::size_t i = 0; i < checked.size(); ++i) members_[i].path = checked[i];
  }

  // Per checked file: true when it may go. Sets interrupted on a stop.
  std::vector<bool> Run() {
    std::vector<bool> verdict(members_.size(), false);
    std::unique_ptr<DeleteSource> kept = io_.source();
    // A kept copy that is gone, unreadable or of unknown identity protects
    // every file of its group.
    if (!kept->Open(keptPath_) || !kept->Identity().known) return verdict;
    const FileIdentity keptId = kept->Identity();
    size_ = kept->Size();
    keepOpen_ = members_.size() < kDeleteOpenAtOnce;
    std::vector<std::size_t> alive;
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (!Continue()) return verdict;
      Member& m = members_[i];
      m.source = io_.source();
      if (!m.source->Open(*m.path)) continue;
      m.identity = m.source->Identity();
      // One file reached by two paths is no copy: deleting the checked path
      // would delete what the user keeps.
      const bool copy = m.identity.known && !(m.identity == keptId) && m.source->Size() == size_;
      if (!keepOpen_ || !copy) m.source->Close();
      if (copy) alive.push_back(i);
    }

    std::vector<std::uint8_t> left(kChunk), right(kChunk);
    std::int64_t offset = 0;
    while (!alive.empty()) {
      if (!Continue()) return verdict;
      const std::int64_t n = ReadFull(*kept, left.data(), kChunk);
      if (n < 0) return verdict;
      bar_.Add(n);
      std::vector<std::size_t> still;
      for (std::size_t i : alive) {
        if (!Continue()) return verdict;
        Member& m = members_[i];
        if (!Reopen(m, offset)) continue;
        // At the kept copy's end the checked file must end too.
        const std::size_t want = n == 0 ? 1 : static_cast<std::size_t>(n);
        const std::int64_t got = ReadFull(*m.source, right.data(), want);
        bar_.Add(std::max<std::int64_t>(got, 0));
        const bool same = n == 0 ? got == 0 : got == n && std::memcmp(left.data(), right.data(), want) == 0;
        if (!keepOpen_ || !same) m.source->Close();
        if (same) still.push_back(i);
      }
      alive = std::move(still);
      if (n == 0) break;
      offset += n;
    }
    for (std::size_t i : alive) verdict[i] = true;
    return verdict;
  }

  bool Interrupted() const { return interrupted_; }

 private:
  struct Member {
    const Text* path = nullptr;
    std::unique_ptr<DeleteSource> source;
    FileIdentity identity;
  };

  bool Continue() {
    if (!interrupted_ && keepGoing_ && !keepGoing_()) interrupted_ = true;
    return !interrupted_;
  }

  // A member of a large group is opened again for each chunk; it must still
  // be the file that was first opened, of the group's size.
  bool Reopen(Member& m, std::int64_t offset) {
    if (m.source->Size() >= 0) return true;
    if (m.source->Open(*m.path) && m.source->Identity() == m.identity && m.source->Size() == size_ &&
        m.source->Seek(offset))
      return true;
    m.source->Close();
    return false;
  }

  const DeleteIo& io_;
  const ContinueCheck& keepGoing_;
  DeleteBar& bar_;
  const Text& keptPath_;
  std::vector<Member> members_;
  std::int64_t size_ = 0;
  bool keepOpen_ = true;
  bool interrupted_ = false;
};

}  // namespace

DeleteIo DeleteIo::Platform() {
  DeleteIo io;
  io.source = [] { return std::unique_ptr<DeleteSource>(new PlatformSource); };
  io.deleteFile = DeleteFileAt;
  io.canOpen = CanOpenFile;
  io.sizeOf = FileSizeOf;
  return io;
}

DeleteOutcome RunDelete(const DeleteRequest& request, const DeleteIo& io, const ContinueCheck& keepGoing,
                        const std::function<void(int)>& progress,
                        const std::function<bool()>& heldSinceAsked) {
  auto wasHeld = [&heldSinceAsked] { return heldSinceAsked && heldSinceAsked(); };
  DeleteOutcome outcome;
  const std::size_t count = request.deletionList.size();
  // The checked entries of each kept copy, in list order.
  std::map<int, std::vector<std::size_t>> groups;
  for (std::size_t e = 0; e < count; ++e)
    if (request.keptRow[e] >= 0) groups[request.keptRow[e]].push_back(e);

  // The work: the bytes each comparison reads and a weight for each file.
  auto pathOf = [&](int row) -> const Text& { return request.rowPaths[static_cast<std::size_t>(row)]; };
  std::map<int, std::int64_t> planned;
  std::int64_t total = static_cast<std::int64_t>(count) * kDeleteFileWeight;
  for (const auto& [kept, entries] : groups) {
    if (keepGoing && !keepGoing()) break;
    std::int64_t bytes = std::max<std::int64_t>(io.sizeOf(pathOf(kept)), 0);
    for (std::size_t e : entries) bytes += std::max<std::int64_t>(io.sizeOf(pathOf(request.deletionList[e])), 0);
    planned[kept] = bytes;
    total += bytes;
  }
  DeleteBar bar(total, progress);

  std::vector<char> decided(count, 0), mayGo(count, 0);
  for (std::size_t e = 0; e < count && !outcome.stopped; ++e) {
    if (keepGoing && !keepGoing()) {
      outcome.stopped = true;
      break;
    }
    const int row = request.deletionList[e];
    const int kept = request.keptRow[e];
    // A verdict holds only while nothing could change the files unseen: after
    // a pause, the files still to go are compared again.
    if (wasHeld()) std::fill(decided.begin(), decided.end(), 0);
    if (kept >= 0 && !decided[e]) {
      std::vector<std::size_t> entries;
      for (std::size_t g : groups[kept])
        if (g >= e) entries.push_back(g);
      std::vector<const Text*> checked;
      for (std::size_t g : entries) checked.push_back(&pathOf(request.deletionList[g]));
      const std::int64_t before = bar.Done();
      std::vector<bool> verdict;
      bool interrupted = false;
      do {
        GroupComparison comparison(io, pathOf(kept), checked, keepGoing, bar);
        verdict = comparison.Run();
        interrupted = comparison.Interrupted();
      } while (!interrupted && wasHeld());  // held inside the comparison: once more
      if (interrupted) {
        outcome.stopped = true;
        break;
      }
      for (std::size_t i = 0; i < entries.size(); ++i) {
        decided[entries[i]] = 1;
        mayGo[entries[i]] = verdict[i] ? 1 : 0;
      }
      // Files dropped early were read no further: their share is done.
      bar.SetDone(std::max(bar.Done(), before + planned[kept]));
    }
    // A file that changed is kept with its row, as a failed deletion is.
    if ((kept < 0 || mayGo[e]) && io.deleteFile(pathOf(row))) outcome.deletedRows.push_back(row);
    bar.Add(kDeleteFileWeight);
  }

  // Rows of files that cannot be opened any more go, deleted here or not. The
  // path is taken as it stands: a blank at either end is part of a name.
  for (std::size_t row = 0; row < request.rowPaths.size(); ++row)
    if (io.canOpen(request.rowPaths[row]) != 1) outcome.goneRows.push_back(static_cast<int>(row));
  return outcome;
}

}  // namespace vantrel
