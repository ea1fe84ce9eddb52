#pragma once
// A temporary tree of files made from a table of paths and contents, removed
// again when the fixture ends. Paths in the table use '/' and are given as the
// bytes of their names (UTF-8, or any bytes on POSIX); a path ending in '/' is
// an empty directory.

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "engine/text.hpp"

namespace vantrel::testing {

struct TreeEntry {
  std::string path;      // relative, '/'-separated
  std::string contents;  // file contents; ignored for directories
};

// The host's path for a Text, and back (per host: tests/support/fs_path_*.cpp).
std::filesystem::path FsPath(const Text& text);
Text TextOf(const std::filesystem::path& path);

class TempTree {
 public:
  TempTree() : TempTree(std::vector<TreeEntry>{}) {}
  TempTree(std::initializer_list<TreeEntry> entries) : TempTree(std::vector<TreeEntry>(entries)) {}
  explicit TempTree(const std::vector<TreeEntry>& entries);
  ~TempTree();
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // Adds one entry (see TreeEntry) below the root.
  void Add(const TreeEntry& entry);
  // Makes a file of the given size without writing its bytes (sparse).
  void AddSparse(const std::string& relative, std::uintmax_t size);

  // The root directory's path with no trailing separator.
  const std::filesystem::path& Root() const { return root_; }
  // The Text path of an entry ("" is the root), joined with the host separator.
  Text PathOf(const std::string& relative) const;
  // The root as Text, with a trailing separator.
  Text RootText() const;

 private:
  std::filesystem::path Join(const std::string& relative) const;
  std::filesystem::path root_;
};

// Returns size bytes of a fixed pseudo-random sequence; different seeds give
// different bytes from the first byte on.
std::string PatternBytes(std::size_t size, unsigned seed);

// Converts host-independent test literals: the bytes of name as Text on this host.
Text T(const std::string& bytes);

// The bytes of a Text as the tests compare them (UTF-8, or raw bytes on POSIX).
std::string Bytes(const Text& text);

// Every file below the tree's root, as a subdirectory walk finds them.
std::vector<Text> WalkTree(const TempTree& tree);

// The list, sorted (listing order is the file system's own).
std::vector<std::string> Sorted(std::vector<std::string> v);

// Relative '/'-separated paths of a list of full paths below root.
std::vector<std::string> RelativeTo(const Text& root, const std::vector<Text>& paths);

}  // namespace vantrel::testing
