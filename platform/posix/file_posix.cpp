// File checks and reading on POSIX. Only regular files (or links to them) are
// readable here: opening a FIFO or a device found in a searched tree would block
// or read forever, so the open is non-blocking and anything but a regular file
// counts as unreadable.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "engine/file_system.hpp"

namespace vantrel {
namespace {

// Returns the descriptor, or -1; fills st. O_NONBLOCK only matters for the
// special files refused here: reads of a regular file ignore it.
int OpenRegularForReading(const Text& path, struct stat& st) {
  std::string bytes = SystemBytesFromText(path);
  if (bytes.empty()) return -1;
  int fd = ::open(bytes.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return -1;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  return fd;
}

FileIdentity IdentityOf(const struct stat& st) {
  return {true, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

}  // namespace

int CanOpenFile(const Text& path) {
  struct stat st;
  int fd = OpenRegularForReading(path, st);
  if (fd < 0) return 0;
  ::close(fd);
  return 1;
}

std::int64_t FileSizeOf(const Text& path) {
  std::string bytes = SystemBytesFromText(path);
  if (bytes.empty()) return -1;
  struct stat st;
  if (stat(bytes.c_str(), &st) != 0) return -1;
  if (S_ISDIR(st.st_mode)) return -2;
  return static_cast<std::int64_t>(st.st_size);
}

std::uint32_t FileAttributesOf(const Text&) { return 0; }

bool IsSymbolicLink(const Text& path) {
  std::string bytes = SystemBytesFromText(path);
  struct stat st;
  return !bytes.empty() && lstat(bytes.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

FileIdentity FileIdentityOf(const Text& path) {
  std::string bytes = SystemBytesFromText(path);
  struct stat st;
  if (bytes.empty() || stat(bytes.c_str(), &st) != 0) return {};
  return IdentityOf(st);
}

// The listings give no identities here (an entry's inode may be the link's
// own, and the device is not in it), so every file is asked.
FileIdentity ListedIdentityOf(const FileIdentity&, const ListingSlots::EntryFacts&) { return {}; }

FileProbe ProbeListedFile(const Text& path, const FileIdentity& identity) {
  FileProbe probe = ProbeFile(path);
  if (probe.readable) probe.identity = identity;
  return probe;
}

FileReader::~FileReader() { Close(); }

// The opening's status read tells the identity at once.
const FileIdentity& FileReader::Identity() const { return identity_; }

// One status read of the name, compared with the opening's.
bool FileReader::StillAt(const Text& path) const {
  if (handle_ < 0) return false;
  const FileIdentity now = FileIdentityOf(path);
  return now.known && now == identity_;
}

bool FileReader::Open(const Text& path) {
  Close();
  struct stat st;
  handle_ = OpenRegularForReading(path, st);
  if (handle_ < 0) return false;
  size_ = static_cast<std::int64_t>(st.st_size);
  identity_ = IdentityOf(st);
  return true;
}

std::int64_t FileReader::Read(void* buffer, std::size_t size) {
  if (handle_ < 0) return -1;
  std::size_t total = 0;
  auto* out = static_cast<char*>(buffer);
  // Fill the whole chunk unless the file ends: a short read means the end.
  while (total < size) {
    ssize_t got = ::read(static_cast<int>(handle_), out + total, size - total);
    if (got < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return static_cast<std::int64_t>(total);
}

bool FileReader::Seek(std::int64_t offset) {
  return handle_ >= 0 && ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_SET) == offset;
}

void FileReader::Close() {
  if (handle_ >= 0) ::close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = -1;
  identity_ = {};
}

}  // namespace vantrel
