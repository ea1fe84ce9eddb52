// Searches through the Win32 layer: the worker's priority, the admission of
// hidden and system files on the worker, and the trees that once fooled the
// layer: directory links, names ending in a dot, paths at the length limit,
// volumes without usable file ids.

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine/search_control.hpp"
#include "engine/thread_priority.hpp"
#include "platform/win32/file_id_win32.hpp"
#include "tests/support/recording_window.hpp"
#include "tests/support/temp_tree.hpp"
#include "tests/support/wine_host_win32.hpp"

namespace vantrel {
namespace {

using testing::Bytes;
using testing::RecordingWindow;
using testing::RelativeTo;
using testing::TempTree;

// The paths of the rows a whole search of directories shows, below root.
std::set<std::string> SearchRows(const Text& root, const std::vector<Text>& directories,
                                 bool subdirectories = false) {
  RecordingWindow window;
  SearchControl control(window, SearchFlavour::Windows);
  SearchOptions options;
  options.searchSubdirectories = subdirectories;
  if (control.Start(directories, options) != SearchControl::StartResult::Started)
    return {"<not started>"};
  if (!window.PumpUntil([&] { return window.stateChanges > 0; })) return {"<did not end>"};
  std::set<std::string> found;
  for (const auto& row : window.rows) found.insert(RelativeTo(root, {row[1]})[0]);
  return found;
}

TEST(Win32Search, WorkerRunsBelowNormalOrWithHighPriorityAboveNormal) {
  TempTree tree({{"d/a", "x"}, {"d/b", "x"}});
  for (bool high : {false, true}) {
    RecordingWindow window;
    SearchControl control(window, SearchFlavour::Windows);
    PassIo io = PassIo::Platform();
    int seen = 99;
    io.stageReached = [&](int stage) {
      if (stage == kStageWalk) seen = CurrentThreadPriority();
    };
    control.SetPassIo(io);
    SearchOptions o;
    o.highPriority = high;
    ASSERT_EQ(control.Start({tree.PathOf("d")}, o), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    EXPECT_EQ(seen, high ? THREAD_PRIORITY_ABOVE_NORMAL : THREAD_PRIORITY_BELOW_NORMAL);
    EXPECT_EQ(window.rows.size(), 2u);
  }
}

TEST(Win32Search, HiddenAndSystemFilesNeedTheirOptions) {
  TempTree tree({{"d/plain1", "same"}, {"d/plain2", "same"}, {"d/hidden", "same"}, {"d/system", "same"}});
  SetFileAttributesW(tree.PathOf("d/hidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
  SetFileAttributesW(tree.PathOf("d/system").c_str(), FILE_ATTRIBUTE_SYSTEM);
  struct Case {
    bool hidden, system;
    std::set<std::string> files;
  } cases[] = {
      {false, false, {"d/plain1", "d/plain2"}},
      {true, false, {"d/plain1", "d/plain2", "d/hidden"}},
      {false, true, {"d/plain1", "d/plain2", "d/system"}},
      {true, true, {"d/plain1", "d/plain2", "d/hidden", "d/system"}},
  };
  for (const auto& c : cases) {
    RecordingWindow window;
    SearchControl control(window, SearchFlavour::Windows);
    SearchOptions o;
    o.includeHidden = c.hidden;
    o.includeSystem = c.system;
    ASSERT_EQ(control.Start({tree.PathOf("d")}, o), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    std::set<std::string> found;
    for (const auto& row : window.rows) found.insert(RelativeTo(tree.RootText(), {row[1]})[0]);
    EXPECT_EQ(found, c.files) << c.hidden << c.system;
  }
}

TEST(Win32Search, DirectoryLinksToAnAncestorEndTheSearchWithEachFileOnce) {
  if (!testing::UnderWine()) GTEST_SKIP() << "the links are made as Linux symbolic links";
  TempTree tree({{"a/x", "same"}, {"a/b/y", "same"}, {"a/b/c/z", "same"}});
  testing::HostLinks links;
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/self")));
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/b/up")));
  ASSERT_TRUE(links.Add(tree.PathOf("a"), tree.PathOf("a/b/c/up")));
  EXPECT_EQ(SearchRows(tree.RootText(), {tree.PathOf("a")}, true),
            (std::set<std::string>{"a/x", "a/b/y", "a/b/c/z"}));
}

TEST(Win32Search, ANameEndingInADotIsReadAsItselfNotAsItsNamesake) {
  TempTree tree({{"d/foo", "plain"}, {"d/other", "dot!"}});
  HANDLE h = CreateFileW((L"\\\\?\\" + tree.PathOf("d/foo.")).c_str(), GENERIC_WRITE, 0, nullptr,
                         CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(h, "dot!", 4, &written, nullptr));
  CloseHandle(h);
  EXPECT_EQ(SearchRows(tree.RootText(), {tree.PathOf("d")}), (std::set<std::string>{"d/foo.", "d/other"}));
  EXPECT_TRUE(DeleteFileAt(tree.PathOf("d/foo.")));
}

TEST(Win32Search, FilePathsOfMoreThan260CharactersDropOut) {
  // Windows without the "\\?\" form would drop the path of 260 characters too
  // and Wine would keep the one of 261; both now keep 259 and 260 only.
  TempTree tree;
  std::size_t root = tree.PathOf("").size() + 1;
  std::set<std::string> expected;
  for (std::size_t length : {259u, 260u, 261u}) {
    ASSERT_LT(root, length) << "temporary directory too long for this case";
    std::string name(length - root, 'n');
    tree.Add({name, "same"});
    ASSERT_EQ(tree.PathOf(name).size(), length);
    if (length <= 260) expected.insert(name);
  }
  EXPECT_EQ(SearchRows(tree.RootText(), {tree.PathOf("")}), expected);
}

bool ZeroFileId(void*, FileId128& out) {
  out = FileId128{};
  out.volume = 1;
  return true;
}

TEST(Win32Search, AVolumeWhoseFileIdsAreZeroStillHasManyFiles) {
  // Trusting the id would make every file of such a volume one file, and the
  // user would see no duplicates at all.
  TempTree tree({{"d/one", "same"}, {"d/two", "same"}, {"d/three", "other"}});
  SetFileIdQueryForTesting(ZeroFileId);
  std::set<std::string> rows = SearchRows(tree.RootText(), {tree.PathOf("d")});
  SetFileIdQueryForTesting(nullptr);
  EXPECT_EQ(rows, (std::set<std::string>{"d/one", "d/two"}));
}

// Records the final path of every open file or directory asked for its id,
// then asks the system as the layer would.
std::mutex askedMutex;
std::vector<std::string> asked;
bool RecordingIdQuery(void* handle, FileId128& out) {
  wchar_t name[1024];
  DWORD length = GetFinalPathNameByHandleW(static_cast<HANDLE>(handle), name, 1024, FILE_NAME_NORMALIZED);
  {
    std::lock_guard<std::mutex> lock(askedMutex);
    asked.push_back(length > 0 && length < 1024 ? Bytes(Text(name, length)) : "?");
  }
  struct {
    ULONGLONG volume;
    BYTE id[16];
  } info;
  if (!GetFileInformationByHandleEx(static_cast<HANDLE>(handle), static_cast<FILE_INFO_BY_HANDLE_CLASS>(18), &info,
                                    sizeof info))
    return false;
  out.volume = info.volume;
  std::memcpy(out.id, info.id, sizeof out.id);
  return true;
}

TEST(Win32Search, FilesAreAskedForTheirIdsOnlyWhenTheirBytesAreRead) {
  // Asking an open file for its id costs more than opening it, under Wine
  // several times more: the walk asks the folder it starts from, takes its
  // subfolders' ids and the probe the files' ids from the listings, and a
  // file whose bytes are read once is not asked either. The ids must still be
  // the files' own: a hard link is one file with its original, never a copy
  // of it.
  TempTree tree({{"d/a", "1"}, {"d/b", "22"}, {"d/s/c", "333"}, {"d/s/t/e", "4444"},
                 {"d/s/t/f", "55555"}, {"d/s/t/g", "55555"}});
  ASSERT_TRUE(CreateHardLinkW(tree.PathOf("d/s/hard").c_str(), tree.PathOf("d/s/t/f").c_str(), nullptr));
  asked.clear();
  SetFileIdQueryForTesting(RecordingIdQuery);
  std::set<std::string> rows = SearchRows(tree.RootText(), {tree.PathOf("d")}, true);
  SetFileIdQueryForTesting(nullptr);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows.count("d/s/t/g"), 1u);
  EXPECT_EQ(rows.count("d/s/t/f") + rows.count("d/s/hard"), 1u);

  // Each name below the tree's root, as "d/s/t", whatever case or prefix the
  // system gives the final path.
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  std::string root = lower(Bytes(tree.RootText()));
  if (root.back() != '\\') root.push_back('\\');
  std::map<std::string, int> times;
  for (const std::string& name : asked) {
    const std::size_t at = lower(name).find(root);
    std::string below = at == std::string::npos ? "(elsewhere) " + name : name.substr(at + root.size());
    std::replace(below.begin(), below.end(), '\\', '/');
    ++times[below];
  }
  for (const char* never : {"d/a", "d/b", "d/s/c", "d/s/t/e", "d/s", "d/s/t", "d/s/t/f", "d/s/t/g", "d/s/hard"})
    EXPECT_EQ(times.count(never), 0u) << never;
  EXPECT_EQ(times["d"], 1);
}

// Writes text to a new file beside path, then moves it over path, as editors
// and sync tools save: the name stays, the file behind it is a new one.
bool ReplaceBySaving(const Text& path, const std::string& text) {
  const Text temporary = path + L".saving";
  HANDLE h = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  CloseHandle(h);
  return ok && MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
}

TEST(Win32Search, AFileReplacedAfterTheWalkIsComparedAsTheFileItIsNow) {
  // The walk can take minutes on a large tree; a file saved again meanwhile
  // (a new file moved over the old name) is still there when the probe opens
  // it, and is compared as what it now holds: a copy with the same bytes is
  // still a copy, one with other bytes is not, and a hard link to the other
  // file is that file.
  struct Case {
    const char* what;
    const char* newText;  // null: b becomes a hard link to a, or a link to a
    std::set<std::string> rows;
    bool symbolic = false;
  } cases[] = {
      {"saved with the same bytes", "same", {"d/a", "d/b"}},
      {"saved with other bytes", "othr", {}},
      {"made a hard link to a", nullptr, {}},
      {"made a symbolic link to a", nullptr, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.symbolic && !testing::UnderWine()) continue;  // made as a Linux symbolic link
    TempTree tree({{"d/a", "same"}, {"d/b", "same"}, {"d/c", "diff"}});
    testing::HostLinks links;  // removed before the tree
    RecordingWindow window;
    SearchControl control(window, SearchFlavour::Windows);
    PassIo io = PassIo::Platform();
    const auto probe = io.probe;
    bool replaced = false;
    io.probe = [&](const Text& path, const FileIdentity& listed) {
      if (!replaced) {
        replaced = true;
        const Text b = tree.PathOf("d/b");
        if (c.newText) {
          EXPECT_TRUE(ReplaceBySaving(b, c.newText));
        } else {
          EXPECT_TRUE(DeleteFileW(b.c_str()));
          if (c.symbolic) {
            EXPECT_TRUE(links.Add(tree.PathOf("d/a"), b));
          } else {
            EXPECT_TRUE(CreateHardLinkW(b.c_str(), tree.PathOf("d/a").c_str(), nullptr));
          }
        }
      }
      return probe(path, listed);
    };
    control.SetPassIo(io);
    ASSERT_EQ(control.Start({tree.PathOf("d")}, SearchOptions{}), SearchControl::StartResult::Started);
    ASSERT_TRUE(window.PumpUntil([&] { return window.stateChanges > 0; }));
    std::set<std::string> rows;
    for (const auto& row : window.rows) rows.insert(RelativeTo(tree.RootText(), {row[1]})[0]);
    EXPECT_TRUE(replaced);
    EXPECT_EQ(rows, c.rows);
  }
}

}  // namespace
}  // namespace vantrel
