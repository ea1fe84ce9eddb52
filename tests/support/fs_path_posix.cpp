#include "engine/file_system.hpp"
#include "tests/support/temp_tree.hpp"

namespace vantrel::testing {

std::filesystem::path FsPath(const Text& text) { return std::filesystem::path(SystemBytesFromText(text)); }

Text TextOf(const std::filesystem::path& path) { return TextFromSystemBytes(path.native()); }

}  // namespace vantrel::testing
