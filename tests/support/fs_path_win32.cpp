#include "tests/support/temp_tree.hpp"

namespace vantrel::testing {

// Text is wchar_t on Windows, the native path type itself.
std::filesystem::path FsPath(const Text& text) { return std::filesystem::path(text); }

Text TextOf(const std::filesystem::path& path) { return path.native(); }

}  // namespace vantrel::testing
