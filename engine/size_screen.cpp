#include "engine/size_screen.hpp"

#include <algorithm>
#include <unordered_set>

namespace vantrel {
namespace {

struct IdentityHash {
  std::size_t operator()(const FileIdentity& id) const {
    return std::hash<std::uint64_t>()((id.volume * 0x9E3779B97F4A7C15ULL ^ id.index) * 31 ^ id.indexHigh);
  }
};

bool IsLink(PassEntry& e, const PathTable& paths) {
  if (e.link == PassEntry::kLinkUnknown)
    e.link = IsSymbolicLink(paths.PathAt(e.path)) ? PassEntry::kLink : PassEntry::kNotLink;
  return e.link == PassEntry::kLink;
}

}  // namespace

void SortBySize(PassList& entries) {
  std::sort(entries.begin(), entries.end(), [](const PassEntry& a, const PassEntry& b) {
    return a.size != b.size ? a.size > b.size : a.path < b.path;
  });
}

void KeepEqualSizes(PassList& sorted, const std::function<void()>& each) {
  std::size_t out = 0;
  const std::size_t n = sorted.size();
  for (std::size_t i = 0; i < n;) {
    std::size_t j = i;
    while (j < n && sorted[j].size == sorted[i].size) ++j;
    if (j - i >= 2)
      for (std::size_t k = i; k < j; ++k, ++out)
        if (out != k) sorted[out] = std::move(sorted[k]);
    if (each)
      for (std::size_t k = i; k < j; ++k) each();
    i = j;
  }
  sorted.resize(out);
}

bool KeepDistinctFiles(PassList& entries, const PathTable& paths, const std::function<bool()>& keepGoing) {
  // An open-addressed table of positions: no allocation per file.
  std::size_t capacity = 16;
  while (capacity < entries.size() * 2) capacity *= 2;
  constexpr std::uint32_t kEmpty = static_cast<std::uint32_t>(-1);
  std::vector<std::uint32_t> table(capacity, kEmpty);
  std::unordered_set<Text> seenPaths;   // files whose identity is not known (rare)
  std::vector<std::uint32_t> replaced;  // kept links that a later path of their file took over
  IdentityHash hash;
  std::size_t out = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (keepGoing && (i & 1023) == 0 && !keepGoing()) return false;
    const FileIdentity id = entries[i].Identity();
    bool first;
    if (id.known) {
      std::size_t slot = hash(id) & (capacity - 1);
      while (table[slot] != kEmpty && !(entries[table[slot]].Identity() == id)) slot = (slot + 1) & (capacity - 1);
      first = table[slot] == kEmpty;
      if (!first && IsLink(entries[table[slot]], paths) && !IsLink(entries[i], paths)) {
        replaced.push_back(table[slot]);
        first = true;
      }
      if (first) table[slot] = static_cast<std::uint32_t>(out);
    } else {
      first = seenPaths.insert(paths.PathAt(entries[i].path)).second;
    }
    if (!first) continue;
    if (out != i) entries[out] = std::move(entries[i]);
    ++out;
  }
  entries.resize(out);
  if (!replaced.empty()) {
    std::sort(replaced.begin(), replaced.end());
    std::size_t kept = 0, r = 0;
    for (std::size_t i = 0; i < entries.size(); ++i) {
      if (r < replaced.size() && replaced[r] == i) {
        ++r;
        continue;
      }
      if (kept != i) entries[kept] = std::move(entries[i]);
      ++kept;
    }
    entries.resize(kept);
  }
  return keepGoing ? keepGoing() : true;
}

bool KeepWithinLimits(PassList& entries, const PathTable& paths, const SearchSettings& settings,
                      const std::function<bool()>& keepGoing) {
  // The sizes are those of the probe: a file that changes from here on is
  // caught when it is read (its size is taken again then).
  const std::int64_t lower = settings.minSize != 0 ? settings.minSize : -1;
  const bool hasUpper = settings.maxSize != 0;
  const std::int64_t upper = settings.maxSize;
  std::size_t kept = 0;
  Text path;
  for (PassEntry& e : entries) {
    if (keepGoing && !keepGoing()) return false;
    if (e.size < 0 || e.size <= lower || (hasUpper && e.size >= upper)) continue;
    if (!settings.fileTypes.empty()) {
      paths.PathInto(e.path, path);
      if (!PassesTypeFilter(path, settings.fileTypes)) continue;
    }
    if (&entries[kept] != &e) entries[kept] = std::move(e);
    ++kept;
  }
  entries.resize(kept);
  return true;
}

Text ExtensionOf(const Text& path) {
  for (std::size_t i = path.size(); i > 0; --i) {
    Char c = path[i - 1];
    if (c == static_cast<Char>('\\') || c == static_cast<Char>('/')) return Text();
    if (c == static_cast<Char>('.')) {
      std::size_t end = path.find(static_cast<Char>('"'), i);
      return path.substr(i, end == Text::npos ? Text::npos : end - i);
    }
  }
  return Text();
}

bool PassesTypeFilter(const Text& path, const Text& fileTypes) {
  if (fileTypes.empty()) return true;
  Text extension = ExtensionOf(path);
  if (extension.empty()) return false;
  const Char space = static_cast<Char>(' ');
  Text haystack = space + fileTypes + space;
  Text needle = space + extension + space;
  return haystack.find(needle) != Text::npos;
}

}  // namespace vantrel
