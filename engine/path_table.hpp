#pragma once
// The paths a search holds for every file it found, kept compactly: each
// directory's text once, and each file as the number of its directory and
// its name in a pool of names. A search keeps a path for every file until the
// rows are built, so this is most of its memory on a tree of small files; a
// full path is put together only when a stage asks for it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/file_system.hpp"
#include "engine/text.hpp"

namespace vantrel {

class PathTable {
 public:
  PathTable() = default;
  PathTable(PathTable&&) noexcept = default;
  PathTable& operator=(PathTable&&) noexcept = default;
  PathTable(const PathTable&) = delete;
  PathTable& operator=(const PathTable&) = delete;

  // Adds a directory (its path ending in the separator) and returns its
  // number for AddName.
  std::uint32_t AddDirectory(const Text& directory);
  // Appends the file named name in the directory of that number, with the
  // identity its directory's listing told (ListedIdentityOf), if any.
  void AddName(std::uint32_t directory, const Text& name, const FileIdentity& listed = {});
  // Appends a file by its full path.
  void Add(const Text& path);
  // Appends file i of other (sharing the directory entry of the file before
  // when they lie in one directory).
  void AddFrom(const PathTable& other, std::size_t i);
  // Moves every file of other to the end of this table and empties other.
  void Append(PathTable&& other);

  // Returns the number of files.
  std::size_t size() const { return files_.size(); }
  bool empty() const { return files_.empty(); }
  // Forgets every file and frees the memory.
  void clear();
  void swap(PathTable& other) noexcept;
  // Frees the room kept for files still to come.
  void shrink_to_fit();

  // Writes the full path of file i into out.
  void PathInto(std::size_t i, Text& out) const;
  // Returns the full path of file i.
  Text PathAt(std::size_t i) const;
  // Returns the identity the listing told of file i; unknown when it told none.
  FileIdentity ListedIdentity(std::size_t i) const { return listed_.empty() ? FileIdentity{} : listed_[i]; }

 private:
  struct File {
    std::uint32_t directory;
    std::uint32_t block;    // in blocks_
    std::uint16_t at;       // the name's first character in the block
    std::uint16_t length;   // the name's length
  };
  // Names are cut at most this long; a longer one keeps its beginning in a
  // directory entry of its own (no file system gives such a name).
  static constexpr std::size_t kBlockChars = 1u << 16;

  const Char* NameOf(const File& f) const { return blocks_[f.block].get() + f.at; }
  // The number of the last file's directory when it is directory, else a new one.
  std::uint32_t DirectoryFor(const Text& directory);

  std::vector<Text> directories_;
  std::vector<File> files_;
  std::vector<std::unique_ptr<Char[]>> blocks_;
  // One per file once any file came with a listed identity (Windows); empty
  // otherwise, so a table of names alone costs nothing more.
  std::vector<FileIdentity> listed_;
  std::size_t used_ = kBlockChars;  // characters used in the last block
};

}  // namespace vantrel
