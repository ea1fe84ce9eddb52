// Fingerprints of many files at once. Each lane holds one file and one chunk
// of its bytes (and the same chunk of its witness, compared at once); MD5 advances every busy lane by as many whole blocks as the
// emptiest of them holds, then lanes that ran dry read on, and a lane whose
// file ended takes the next file. Files go longest first, so the long ones do
// not run on alone at the end while the other lanes stand idle.

#include "engine/fingerprint_lanes.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <numeric>

#include "engine/md5_lanes.hpp"

namespace vantrel {
namespace {

constexpr std::size_t kBlock = 64;

struct Lane {
  std::size_t file = 0;  // index into the files
  bool busy = false;
  FileReader reader;
  std::int64_t size = 0;
  std::int64_t total = 0;  // bytes read so far
  bool ended = false;      // the last read came short: no more bytes
  std::size_t at = 0, filled = 0;
  Md5State md5{};
  std::unique_ptr<FingerprintStream> others;  // SHA-1 and CRC-32, when asked for
  std::unique_ptr<std::uint8_t[]> buffer;  // kLaneChunk + one block of carry
  FileReader witness;                      // open when the file has one
  std::unique_ptr<std::uint8_t[]> witnessBuffer;  // kLaneChunk
};

class LaneHasher {
 public:
  LaneHasher(const std::vector<LaneFile>& files, FingerprintKinds kinds, const ContinueCheck& keepGoing,
             const OpenForReading& open)
      : files_(files), kinds_(kinds), keepGoing_(keepGoing), open_(open), results_(files.size()) {}

  std::vector<FileFingerprints> Run() {
    std::vector<std::size_t> order(files_.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return files_[a].size > files_[b].size; });
    const std::size_t width = std::min<std::size_t>(std::max<std::size_t>(Md5LaneWidth(), 1), kMd5MaxLanes);
    laneCount_ = std::min(width, files_.size());
    lanes_.reset(new Lane[laneCount_]);
    std::size_t next = 0;
    std::array<Md5State, kMd5MaxLanes> states{};
    std::array<const std::uint8_t*, kMd5MaxLanes> data{};
    std::array<Lane*, kMd5MaxLanes> active{};
    for (;;) {
      if (keepGoing_ && !keepGoing_()) return Interrupted();
      std::size_t count = 0;
      std::size_t blocks = static_cast<std::size_t>(-1);
      for (std::size_t l = 0; l < laneCount_; ++l) {
        Lane& lane = lanes_[l];
        // A lane with less than a block left either finishes its file or
        // takes the next; either way it holds a whole block or is idle.
        while (true) {
          if (!lane.busy) {
            if (next == order.size()) break;
            Start(lane, order[next++]);
            continue;
          }
          if (lane.filled - lane.at >= kBlock) break;
          if (!lane.ended) {
            if (!Refill(lane)) Fail(lane);
            continue;
          }
          Finish(lane);
        }
        if (!lane.busy) continue;
        active[count] = &lane;
        states[count] = lane.md5;
        data[count] = lane.buffer.get() + lane.at;
        blocks = std::min(blocks, (lane.filled - lane.at) / kBlock);
        ++count;
      }
      if (count == 0) break;
      Md5Blocks(states.data(), data.data(), count, blocks);
      for (std::size_t k = 0; k < count; ++k) {
        active[k]->md5 = states[k];
        active[k]->at += blocks * kBlock;
      }
    }
    return std::move(results_);
  }

 private:
  std::vector<FileFingerprints> Interrupted() {
    std::vector<FileFingerprints> out(files_.size());
    for (FileFingerprints& f : out) f.outcome = FileFingerprints::Outcome::Interrupted;
    return out;
  }

  void Start(Lane& lane, std::size_t index) {
    const LaneFile& file = files_[index];
    lane.file = index;
    lane.busy = true;
    lane.size = file.size;
    lane.total = 0;
    lane.ended = false;
    lane.at = lane.filled = 0;
    Md5Start(lane.md5);
    lane.others = kinds_.sha1 || kinds_.crc32
                      ? std::make_unique<FingerprintStream>(kinds_.sha1, kinds_.crc32, /*withMd5=*/false)
                      : nullptr;
    if (!lane.buffer) lane.buffer.reset(new std::uint8_t[kLaneChunk + kBlock]);
    auto opensAsCompared = [&](FileReader& reader, const Text& path, const FileIdentity& identity) {
      return OpenWith(open_, reader, path) && reader.Size() == file.size &&
             (!identity.known || reader.Identity() == identity);
    };
    if (!opensAsCompared(lane.reader, *file.path, file.identity) || (lane.others && !lane.others->Ok())) {
      Fail(lane);
      return;
    }
    if (file.witness) {
      if (!lane.witnessBuffer) lane.witnessBuffer.reset(new std::uint8_t[kLaneChunk]);
      if (!opensAsCompared(lane.witness, *file.witness, file.witnessIdentity)) Fail(lane);
    }
  }

  // Moves the bytes short of a block to the front and reads a chunk after them.
  bool Refill(Lane& lane) {
    const std::size_t carry = lane.filled - lane.at;
    if (carry > 0) std::memmove(lane.buffer.get(), lane.buffer.get() + lane.at, carry);
    lane.at = 0;
    std::uint8_t* into = lane.buffer.get() + carry;
    const std::int64_t got = lane.reader.Read(into, kLaneChunk);
    if (got < 0) return false;
    const auto n = static_cast<std::size_t>(got);
    if (files_[lane.file].witness &&
        (lane.witness.Read(lane.witnessBuffer.get(), kLaneChunk) != got ||
         std::memcmp(lane.witnessBuffer.get(), into, n) != 0))
      return false;  // one of the two changed since they were compared
    lane.filled = carry + n;
    lane.total += got;
    if (n < kLaneChunk) lane.ended = true;
    if (lane.total > lane.size) return false;  // it grew while being read
    if (lane.others) lane.others->Update(into, n);
    return true;
  }

  void Finish(Lane& lane) {
    if (lane.total != lane.size) {
      Fail(lane);
      return;
    }
    FileFingerprints& f = results_[lane.file];
    std::uint8_t digest[16];
    Md5End(lane.md5, lane.buffer.get() + lane.at, lane.filled - lane.at, static_cast<std::uint64_t>(lane.size),
           digest);
    if (lane.others && !lane.others->Finish(f)) {
      Fail(lane);
      return;
    }
    f.md5 = HexDigestText(digest, sizeof digest);
    f.size = lane.size;
    f.outcome = FileFingerprints::Outcome::Done;
    Release(lane);
  }

  void Fail(Lane& lane) {
    results_[lane.file] = FileFingerprints{};  // Unreadable
    Release(lane);
  }

  void Release(Lane& lane) {
    lane.busy = false;
    lane.reader.Close();
    lane.witness.Close();
    lane.others.reset();
  }

  const std::vector<LaneFile>& files_;
  const FingerprintKinds kinds_;
  const ContinueCheck& keepGoing_;
  const OpenForReading& open_;
  std::vector<FileFingerprints> results_;
  std::unique_ptr<Lane[]> lanes_;
  std::size_t laneCount_ = 0;
};

}  // namespace

std::vector<FileFingerprints> FingerprintFilesTogether(const std::vector<LaneFile>& files, FingerprintKinds kinds,
                                                       const ContinueCheck& keepGoing,
                                                       const OpenForReading& open) {
  return LaneHasher(files, kinds, keepGoing, open).Run();
}

}  // namespace vantrel
