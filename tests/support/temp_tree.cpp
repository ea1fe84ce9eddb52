#include "tests/support/temp_tree.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <system_error>

#include "engine/directory_walk.hpp"
#include "engine/file_system.hpp"

namespace vantrel::testing {

namespace fs = std::filesystem;

std::string PatternBytes(std::size_t size, unsigned seed) {
  std::string s(size, '\0');
  std::uint32_t x = seed * 2654435761u + 1;
  for (char& c : s) {
    x = x * 1664525u + 1013904223u;
    c = static_cast<char>(x >> 24);
  }
  return s;
}

Text T(const std::string& bytes) { return TextFromSystemBytes(bytes); }

std::string Bytes(const Text& text) { return SystemBytesFromText(text); }

TempTree::TempTree(const std::vector<TreeEntry>& entries) {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  root_ = fs::temp_directory_path() /
          ("vantrel-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(root_);
  for (const auto& e : entries) Add(e);
}

TempTree::~TempTree() {
  std::error_code ec;
  // Make everything writable again so that removal cannot fail on a test's
  // permission changes.
  for (auto it = fs::recursive_directory_iterator(root_, ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink()) fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(root_, ec);
}

fs::path TempTree::Join(const std::string& relative) const {
  fs::path p = root_;
  std::size_t start = 0;
  while (start < relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) p /= FsPath(T(relative.substr(start, end - start)));
    start = end + 1;
  }
  return p;
}

void TempTree::Add(const TreeEntry& entry) {
  fs::path p = Join(entry.path);
  if (!entry.path.empty() && entry.path.back() == '/') {
    fs::create_directories(p);
    return;
  }
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(entry.contents.data(), static_cast<std::streamsize>(entry.contents.size()));
  if (!out) throw std::runtime_error("cannot write test file " + entry.path);
}

void TempTree::AddSparse(const std::string& relative, std::uintmax_t size) {
  Add({relative, ""});
  fs::resize_file(Join(relative), size);
}

Text TempTree::PathOf(const std::string& relative) const {
  Text out = TextOf(root_);
  std::size_t start = 0;
  while (start < relative.size()) {
    std::size_t end = relative.find('/', start);
    if (end == std::string::npos) end = relative.size();
    if (end > start) {
      out.push_back(PathSeparator());
      out += T(relative.substr(start, end - start));
    }
    start = end + 1;
  }
  return out;
}

Text TempTree::RootText() const {
  Text out = TextOf(root_);
  AddTrailingSeparator(out);
  return out;
}

std::vector<Text> WalkTree(const TempTree& tree) {
  ListingSlots slots;
  ScanList found;
  ScanDirectoryTree(slots, found, tree.RootText(), 0);
  return found;
}

std::vector<std::string> Sorted(std::vector<std::string> v) {
  std::sort(v.begin(), v.end());
  return v;
}

std::vector<std::string> RelativeTo(const Text& root, const std::vector<Text>& paths) {
  std::vector<std::string> out;
  for (const Text& p : paths) {
    Text rest = p.compare(0, root.size(), root) == 0 ? p.substr(root.size()) : p;
    std::string bytes = Bytes(rest);
    for (char& c : bytes)
      if (c == '\\') c = '/';
    out.push_back(bytes);
  }
  return out;
}

}  // namespace vantrel::testing
