// make-corpus: writes one of the comparison corpora, the same bytes for the
// same seed on every machine, so that runs on different days measure the same
// work. Contents come from a counter-seeded generator: a copy is written by
// running the generator again for the original's content number, so nothing
// is held in memory.
//
//   make-corpus photos|many-small|same-size|tiny DIR [--small] [--seed N]
//
// photos      20,000 files in a 3 to 4 level tree, sizes log-uniform from 10 KB
//             to 1 MB and, for one file in twenty, to 20 MB (so that the corpus
//             stays near 7 GB), 15 % exact copies of another file in another
//             folder (some groups of 3 or more), and files of equal size whose
//             contents differ from their model at the first, a middle or the
//             last byte.
// many-small  200,000 files of 0 to 16 KB in a deep tree, 10 % copies, and
//             200 empty files.
// same-size   2,000 files of exactly 1 MiB, of which 100 pairs are copies.
// tiny        500,000 files of 1 B to 2 KB in a 4 level tree, 5 % copies.
// --small writes a tenth of each.

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

namespace {

std::uint64_t SplitMix(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

// Draws of the corpus's layout (sizes, folders, which file is copied).
class Draw {
 public:
  explicit Draw(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return SplitMix(state_); }
  double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

// What one file holds: the stream of content number `content`, of `size`
// bytes, with the byte at `flipAt` inverted when flipAt >= 0.
struct PlannedFile {
  std::string path;
  std::uint64_t content = 0;
  std::int64_t size = 0;
  std::int64_t flipAt = -1;
};

bool MakeDirs(const std::string& path) {
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i < path.size() && path[i] != '/') continue;
    std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "make-corpus: cannot create %s: %s\n", part.c_str(), std::strerror(errno));
      return false;
    }
  }
  return true;
}

bool WriteFile(const std::string& root, const PlannedFile& planned, std::uint64_t seed,
               std::vector<std::uint64_t>& buffer) {
  std::string full = root + "/" + planned.path;
  std::string dir = full.substr(0, full.rfind('/'));
  if (!MakeDirs(dir)) return false;
  std::FILE* f = std::fopen(full.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "make-corpus: cannot write %s\n", full.c_str());
    return false;
  }
  std::uint64_t state = seed * 0x2545F4914F6CDD1DULL ^ (planned.content + 1) * 0x9E3779B97F4A7C15ULL;
  std::int64_t written = 0;
  const std::size_t words = buffer.size();
  while (written < planned.size) {
    for (std::size_t i = 0; i < words; ++i) buffer[i] = SplitMix(state);
    std::int64_t n = std::min<std::int64_t>(planned.size - written, static_cast<std::int64_t>(words * 8));
    auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
    if (planned.flipAt >= written && planned.flipAt < written + n) bytes[planned.flipAt - written] ^= 0xFF;
    if (std::fwrite(bytes, 1, static_cast<std::size_t>(n), f) != static_cast<std::size_t>(n)) {
      std::fclose(f);
      return false;
    }
    written += n;
  }
  return std::fclose(f) == 0;
}

std::string Folder(Draw& d, int levels, int fanout) {
  std::string out;
  for (int i = 0; i < levels; ++i) out += "d" + std::to_string(d.Below(static_cast<std::size_t>(fanout))) + "/";
  return out;
}

// Adds copies of earlier files: each copy picks an original, preferring ones
// that already have copies now and then, so that some groups reach 3 or more.
void AddCopies(Draw& d, std::vector<PlannedFile>& files, std::size_t originals, std::size_t copies,
               const std::function<std::string(std::size_t)>& folderOf) {
  std::vector<std::size_t> copied;
  for (std::size_t c = 0; c < copies; ++c) {
    std::size_t from = !copied.empty() && d.Below(4) == 0 ? copied[d.Below(copied.size())] : d.Below(originals);
    copied.push_back(from);
    PlannedFile planned = files[from];
    std::string name = planned.path.substr(planned.path.rfind('/') + 1);
    std::string folder;
    do folder = folderOf(c);
    while (planned.path.compare(0, folder.size(), folder) == 0 && planned.path.find('/', folder.size()) == std::string::npos);
    planned.path = folder + "copy" + std::to_string(c) + "-" + name;
    files.push_back(planned);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make-corpus photos|many-small|same-size|tiny DIR [--small] [--seed N]\n");
    return 2;
  }
  std::string kind = argv[1];
  std::string root = argv[2];
  double scale = 1.0;
  std::uint64_t seed = 7;
  for (int i = 3; i < argc; ++i) {
    if (std::strcmp(argv[i], "--small") == 0) scale = 0.1;
    else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) seed = std::strtoull(argv[++i], nullptr, 10);
    else {
      std::fprintf(stderr, "make-corpus: unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  Draw d(seed ^ std::hash<std::string>()(kind));
  std::vector<PlannedFile> files;
  auto count = [&](double n) { return static_cast<std::size_t>(std::llround(n * scale)); };
  std::uint64_t nextContent = 0;

  if (kind == "photos") {
    const std::size_t total = count(20000);
    const std::size_t copies = total * 15 / 100;
    const std::size_t nearTwins = total * 2 / 100;
    const std::size_t originals = total - copies - nearTwins;
    auto folder = [&](std::size_t) { return "photos/" + Folder(d, 3 + static_cast<int>(d.Below(2)), 6); };
    for (std::size_t i = 0; i < originals; ++i) {
      // Log-uniform from 10 KB to 1 MB, one file in twenty up to 20 MB.
      double top = d.Below(20) == 0 ? 2048.0 : 100.0;
      auto size = static_cast<std::int64_t>(10240.0 * std::pow(top, d.Unit()));
      files.push_back({folder(i) + "img" + std::to_string(i) + ".jpg", nextContent++, size, -1});
    }
    AddCopies(d, files, originals, copies, folder);
    for (std::size_t i = 0; i < nearTwins; ++i) {
      PlannedFile planned = files[d.Below(originals)];
      std::int64_t where[3] = {0, planned.size / 2, planned.size - 1};
      planned.flipAt = where[i % 3];
      planned.path = folder(i) + "edit" + std::to_string(i) + ".jpg";
      files.push_back(planned);
    }
  } else if (kind == "many-small") {
    const std::size_t total = count(200000);
    const std::size_t copies = total / 10;
    const std::size_t empties = count(200);
    const std::size_t originals = total - copies - empties;
    auto folder = [&](std::size_t) { return "small/" + Folder(d, 6, 5); };
    for (std::size_t i = 0; i < originals; ++i)
      files.push_back({folder(i) + "f" + std::to_string(i), nextContent++,
                       1 + static_cast<std::int64_t>(d.Below(16384)), -1});
    AddCopies(d, files, originals, copies, folder);
    for (std::size_t i = 0; i < empties; ++i)
      files.push_back({folder(i) + "empty" + std::to_string(i), nextContent++, 0, -1});
  } else if (kind == "tiny") {
    const std::size_t total = count(500000);
    const std::size_t copies = total / 20;
    const std::size_t originals = total - copies;
    auto folder = [&](std::size_t) { return "tiny/" + Folder(d, 4, 8); };
    for (std::size_t i = 0; i < originals; ++i)
      files.push_back({folder(i) + "t" + std::to_string(i), nextContent++,
                       1 + static_cast<std::int64_t>(d.Below(2048)), -1});
    AddCopies(d, files, originals, copies, folder);
  } else if (kind == "same-size") {
    const std::size_t total = count(2000);
    const std::size_t pairs = count(100);
    const std::size_t originals = total - pairs;
    auto folder = [&](std::size_t) { return "same/" + Folder(d, 2, 8); };
    for (std::size_t i = 0; i < originals; ++i)
      files.push_back({folder(i) + "m" + std::to_string(i), nextContent++, 1 << 20, -1});
    for (std::size_t i = 0; i < pairs; ++i) {
      PlannedFile planned = files[i * (originals / pairs)];  // distinct originals: pairs, never triples
      std::string f;
      do f = folder(i);
      while (planned.path.compare(0, f.size(), f) == 0);
      planned.path = f + "pair" + std::to_string(i);
      files.push_back(planned);
    }
  } else {
    std::fprintf(stderr, "make-corpus: unknown corpus %s\n", kind.c_str());
    return 2;
  }

  std::vector<std::uint64_t> buffer(1 << 17);  // 1 MiB
  std::int64_t bytes = 0;
  for (const PlannedFile& planned : files) {
    if (!WriteFile(root, planned, seed, buffer)) return 1;
    bytes += planned.size;
  }
  std::printf("%s: %zu files, %.2f GB\n", kind.c_str(), files.size(), static_cast<double>(bytes) / 1e9);
  return 0;
}
