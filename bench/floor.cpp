// floor: the least I/O any search that confirms copies byte by byte must do,
// as a yardstick for the scan driver: walk the tree, stat every file, read
// the first block of each file whose size another file shares, and read in
// full the files whose first block another file of their size shares. No
// digest, no comparison beyond the first block, no output but counts: what
// the reading costs, and nothing else. Run with one thread and with N; the
// better of the two is the floor.
//
//   floor [--threads N] DIR...

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

namespace {

struct File {
  std::string path;
  std::int64_t size = 0;
};

void Walk(const std::string& dir, std::vector<File>& out) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = readdir(d)) {
    if (std::strcmp(e->d_name, ".") == 0 || std::strcmp(e->d_name, "..") == 0) continue;
    std::string path = dir + "/" + e->d_name;
    struct stat st;
    if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (S_ISDIR(st.st_mode)) Walk(path, out);
    else if (S_ISREG(st.st_mode)) out.push_back({std::move(path), static_cast<std::int64_t>(st.st_size)});
  }
  closedir(d);
}

// Runs job(i) for i below count on n threads.
template <typename Job>
void OnThreads(std::size_t count, unsigned n, Job job) {
  std::atomic<std::size_t> next{0};
  auto work = [&] {
    for (std::size_t i; (i = next.fetch_add(1)) < count;) job(i);
  };
  std::vector<std::thread> threads;
  for (unsigned t = 1; t < n; ++t) threads.emplace_back(work);
  work();
  for (auto& t : threads) t.join();
}

}  // namespace

int main(int argc, char** argv) {
  unsigned threads = 1;
  std::vector<std::string> dirs;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) threads = static_cast<unsigned>(std::atoi(argv[++i]));
    else dirs.push_back(argv[i]);
  }
  if (dirs.empty() || threads < 1) {
    std::fputs("usage: floor [--threads N] DIR...\n", stderr);
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  std::vector<File> files;
  for (const std::string& d : dirs) Walk(d, files);

  std::unordered_map<std::int64_t, std::vector<std::size_t>> bySize;
  for (std::size_t i = 0; i < files.size(); ++i) bySize[files[i].size].push_back(i);
  std::vector<std::size_t> shared;
  for (auto& [size, members] : bySize)
    if (members.size() >= 2) shared.insert(shared.end(), members.begin(), members.end());

  // First blocks of the files of a shared size.
  constexpr std::size_t kBlock = 4096;
  std::vector<std::string> first(files.size());
  OnThreads(shared.size(), threads, [&](std::size_t k) {
    const std::size_t i = shared[k];
    int fd = open(files[i].path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    char block[kBlock];
    ssize_t got = read(fd, block, sizeof block);
    if (got >= 0) first[i].assign(block, static_cast<std::size_t>(got));
    close(fd);
  });

  // Files whose first block another file of their size shares are read in full.
  std::vector<std::size_t> full;
  for (auto& [size, members] : bySize) {
    if (members.size() < 2) continue;
    std::map<std::string_view, std::vector<std::size_t>> byBlock;
    for (std::size_t i : members) byBlock[first[i]].push_back(i);
    for (auto& [block, same] : byBlock)
      if (same.size() >= 2) full.insert(full.end(), same.begin(), same.end());
  }
  std::atomic<std::uint64_t> bytes{0};
  OnThreads(full.size(), threads, [&](std::size_t k) {
    int fd = open(files[full[k]].path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    static thread_local std::vector<char> buffer(1 << 20);
    std::uint64_t total = 0;
    for (ssize_t got; (got = read(fd, buffer.data(), buffer.size())) > 0;) total += static_cast<std::uint64_t>(got);
    bytes += total;
    close(fd);
  });
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("files %zu first-blocks %zu read-in-full %zu bytes %llu threads %u seconds %.3f\n", files.size(),
              shared.size(), full.size(), static_cast<unsigned long long>(bytes.load()), threads, seconds);
  return 0;
}
