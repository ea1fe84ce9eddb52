#include "engine/path_table.hpp"

#include <algorithm>
#include <cstring>

namespace vantrel {

std::uint32_t PathTable::AddDirectory(const Text& directory) {
  directories_.push_back(directory);
  return static_cast<std::uint32_t>(directories_.size() - 1);
}

std::uint32_t PathTable::DirectoryFor(const Text& directory) {
  if (!files_.empty() && directories_[files_.back().directory] == directory) return files_.back().directory;
  return AddDirectory(directory);
}

void PathTable::AddName(std::uint32_t directory, const Text& name, const FileIdentity& listed) {
  if (name.size() >= kBlockChars) {
    // The part of the name that does not fit becomes a directory of its own.
    const std::size_t cut = name.size() - (kBlockChars - 1);
    const std::uint32_t longer = AddDirectory(directories_[directory] + name.substr(0, cut));
    AddName(longer, name.substr(cut), listed);
    return;
  }
  // listed_ is empty or holds one identity for every file.
  if (listed.known && listed_.size() != files_.size()) listed_.resize(files_.size());
  if (listed.known || !listed_.empty()) listed_.push_back(listed);
  if (kBlockChars - used_ < name.size()) {
    blocks_.emplace_back(new Char[kBlockChars]);
    used_ = 0;
  }
  std::copy(name.begin(), name.end(), blocks_.back().get() + used_);
  files_.push_back({directory, static_cast<std::uint32_t>(blocks_.size() - 1), static_cast<std::uint16_t>(used_),
                    static_cast<std::uint16_t>(name.size())});
  used_ += name.size();
}

void PathTable::Add(const Text& path) {
  std::size_t cut = path.size();
  while (cut > 0 && path[cut - 1] != static_cast<Char>('/') && path[cut - 1] != static_cast<Char>('\\')) --cut;
  AddName(DirectoryFor(path.substr(0, cut)), path.substr(cut));
}

void PathTable::AddFrom(const PathTable& other, std::size_t i) {
  const File& f = other.files_[i];
  AddName(DirectoryFor(other.directories_[f.directory]), Text(other.NameOf(f), f.length), other.ListedIdentity(i));
}

void PathTable::Append(PathTable&& other) {
  if (empty()) {
    swap(other);
  } else {
    for (std::size_t i = 0; i < other.size(); ++i) AddFrom(other, i);
  }
  other.clear();
}

void PathTable::clear() {
  PathTable().swap(*this);
}

void PathTable::swap(PathTable& other) noexcept {
  directories_.swap(other.directories_);
  files_.swap(other.files_);
  blocks_.swap(other.blocks_);
  listed_.swap(other.listed_);
  std::swap(used_, other.used_);
}

void PathTable::shrink_to_fit() {
  directories_.shrink_to_fit();
  files_.shrink_to_fit();
  blocks_.shrink_to_fit();
  listed_.shrink_to_fit();
}

void PathTable::PathInto(std::size_t i, Text& out) const {
  const File& f = files_[i];
  const Text& directory = directories_[f.directory];
  out.resize(directory.size() + f.length);
  std::copy(directory.begin(), directory.end(), out.begin());
  std::copy(NameOf(f), NameOf(f) + f.length, out.begin() + static_cast<std::ptrdiff_t>(directory.size()));
}

Text PathTable::PathAt(std::size_t i) const {
  Text out;
  PathInto(i, out);
  return out;
}

}  // namespace vantrel
