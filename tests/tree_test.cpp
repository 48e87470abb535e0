// Listing whole key trees in both views, against trees the tests write.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <tuple>
#include <vector>

#include "registry/registry_tool.h"
#include "registry/wow64.h"
#include "support/scratch_key.h"

namespace {

using registry::Array;
using registry::RegistryTool;
using registry::TreeEntry;
using testing_support::ScratchKey;
using testing_support::uniqueName;

constexpr int kLm = registry::kLocalMachine;
constexpr int kCu = registry::kCurrentUser;

using Item = std::tuple<int, std::string, std::string>;  // kind, path, value name

std::vector<Item> items(const Array<TreeEntry>& entries) {
  std::vector<Item> out;
  for (const TreeEntry& e : entries) out.emplace_back(e.kind, e.path, e.value.name);
  return out;
}

// What a 32-bit program sees as System32: Wine and Windows keep regedit.exe
// in SysWOW64 but not in the 64-bit System32, so it is there only while
// redirection is on.
bool seesSysWow64() {
  char system[MAX_PATH] = {};
  ::GetSystemDirectoryA(system, MAX_PATH);
  return ::GetFileAttributesA((std::string(system) + "\\regedit.exe").c_str()) !=
         INVALID_FILE_ATTRIBUTES;
}

std::vector<std::uint32_t> g_progress;
int g_redirectedCalls = 0;  // calls of the routine that saw what a 32-bit program sees
std::uint32_t KELVORA_STDCALL recordProgress(std::uint32_t count) {
  g_progress.push_back(count);
  if (seesSysWow64()) ++g_redirectedCalls;
  return 0;
}

int g_handled = 0, g_redirectedMessages = 0;
LRESULT CALLBACK recordMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    ++g_handled;
    g_redirectedMessages += seesSysWow64();
  }
  return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

class TreeTest : public ::testing::Test {
 protected:
  TreeTest() {
    tool_.probe64BitWindows();
    tree64_.set("", "v1", REG_SZ, std::string("one\0", 4));
    tree64_.set("", "v2", REG_DWORD, std::string("\x02\0\0\0", 4));
    tree64_.set("中文键", "名称", REG_SZ, std::string("值\0", 3));
    tree64_.set("中文键\\Deep", "d", REG_BINARY, std::string("\x00\x01", 2));
    tree64_.set("My Key", "x", REG_MULTI_SZ, std::string("a\0\0", 3));
    tree64_.makeKey("Empty");
    // 誠 is D5 5C and 乗 81 5C in GBK: the backslash byte inside a character.
    tree64_.set("誠\\乗", "A乗B", REG_SZ, std::string("x\0", 2));
    tree32_.set("", "only32", REG_SZ, std::string("32\0", 3));
    tree32_.makeKey("Only32Key");
    tree32_.set("誠\\乗", "A乗B", REG_SZ, std::string("x\0", 2));
  }

  // The 64-bit tree, mode 1: every key and value once.
  std::set<Item> whole64() const {
    const std::string s = start_;
    return {{1, s + "\\中文键", ""},
            {1, s + "\\中文键\\Deep", ""},
            {1, s + "\\My Key", ""},
            {1, s + "\\Empty", ""},
            {1, s + "\\誠", ""},
            {1, s + "\\誠\\乗", ""},
            {2, s + "\\誠\\乗", "A乗B"},
            {2, s, "v1"},
            {2, s, "v2"},
            {2, s + "\\中文键", "名称"},
            {2, s + "\\中文键\\Deep", "d"},
            {2, s + "\\My Key", "x"}};
  }
  std::set<Item> whole32() const {
    return {{1, start_ + "\\Only32Key", ""},
            {1, start_ + "\\誠", ""},
            {1, start_ + "\\誠\\乗", ""},
            {2, start_ + "\\誠\\乗", "A乗B"},
            {2, start_, "only32"}};
  }

  testing_support::ScratchKeys keys_{"SOFTWARE\\" + uniqueName("KelvoraTree")};
  const std::string start_ = keys_.path();
  ScratchKey& tree64_ = keys_.view64;
  ScratchKey& tree32_ = keys_.view32;
  RegistryTool tool_;
};

// Each key's entry comes before everything below it, and nothing twice.
void expectDepthFirst(const std::vector<Item>& listed) {
  for (std::size_t i = 0; i < listed.size(); ++i) {
    const auto& [kind, path, name] = listed[i];
    for (std::size_t j = 0; j < i; ++j) {
      const auto& [k2, p2, n2] = listed[j];
      if (kind != 1) continue;
      if (k2 == 1) {
        EXPECT_NE(p2.rfind(path + "\\", 0), 0u) << p2 << " before " << path;
      } else {
        EXPECT_NE(p2, path) << "a value of " << path << " before its key";
      }
    }
  }
  EXPECT_EQ(std::set<Item>(listed.begin(), listed.end()).size(), listed.size());
}

TEST_F(TreeTest, ModeOneListsTheWholeSubtreeDepthFirst) {
  Array<TreeEntry> result;
  std::string path = start_;
  const std::size_t n = tool_.listTree64(result, kLm, path, 1, nullptr);
  const auto listed = items(result);
  EXPECT_EQ(n, listed.size());
  EXPECT_EQ(std::set<Item>(listed.begin(), listed.end()), whole64());
  ASSERT_GE(listed.size(), 2u);
  // The starting key's own values first.
  EXPECT_EQ(std::get<0>(listed[0]), 2);
  EXPECT_EQ(std::get<0>(listed[1]), 2);
  EXPECT_EQ(std::get<1>(listed[0]), start_);
  expectDepthFirst(listed);
  // Value details come from the enumeration.
  for (const TreeEntry& e : result) {
    if (e.kind == 2 && e.value.name == "v2") {
      EXPECT_EQ(e.value.type, REG_DWORD);
      EXPECT_EQ(e.value.data, std::string("\x02\0\0\0", 4));
    }
    if (e.kind == 1) {
      EXPECT_TRUE(e.value.name.empty());
    }
  }
}

TEST_F(TreeTest, EachViewSeesItsOwnTree) {
  Array<TreeEntry> result;
  std::string path = start_;
  tool_.listTree(result, kLm, path, 1, nullptr);
  const auto plain = items(result);
  const std::set<Item> plainSet(plain.begin(), plain.end());
  // The 32-bit build's plain calls see Wow6432Node; the 64-bit build's the 64-bit view.
  EXPECT_EQ(plainSet, registry::isWow64Process() ? whole32() : whole64());

  tool_.listTree64(result, kLm, path, 1, nullptr);
  const auto wide = items(result);
  EXPECT_EQ(std::set<Item>(wide.begin(), wide.end()), whole64());
}

TEST_F(TreeTest, ModeZeroListsOneLevelWithEachSubkeysValues) {
  Array<TreeEntry> result;
  std::string path = start_;
  tool_.listTree64(result, kLm, path, 0, nullptr);
  const auto listed = items(result);
  const std::string s = start_;
  const std::set<Item> expected = {{1, s + "\\中文键", ""},     {1, s + "\\My Key", ""},
                                   {1, s + "\\Empty", ""},      {1, s + "\\誠", ""},
                                   {2, s + "\\中文键", "名称"}, {2, s + "\\My Key", "x"}};
  EXPECT_EQ(std::set<Item>(listed.begin(), listed.end()), expected);
  // Each value follows its own key.
  for (std::size_t i = 0; i < listed.size(); ++i) {
    if (std::get<0>(listed[i]) != 2) continue;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(std::get<1>(listed[i - 1]), std::get<1>(listed[i]));
  }
}

TEST_F(TreeTest, PathsModesAndTheCallersArray) {
  Array<TreeEntry> result;
  result.append(TreeEntry{1, "stale", {}});

  std::string path = start_ + "\\";
  EXPECT_EQ(tool_.listTree64(result, kLm, path, 2, nullptr), 0u) << "other modes list nothing";
  EXPECT_EQ(path, start_) << "one trailing backslash cut from the caller's text";
  EXPECT_TRUE(result.empty()) << "the old result is replaced";

  // A path whose last byte is a backslash byte inside a character keeps it.
  for (auto list : {&RegistryTool::listTree, &RegistryTool::listTree64}) {
    std::string dbcs = start_ + "\\誠";
    EXPECT_EQ((tool_.*list)(result, kLm, dbcs, 1, nullptr), 2u);
    EXPECT_EQ(dbcs, start_ + "\\誠");
    const std::vector<Item> expected = {{1, start_ + "\\誠\\乗", ""},
                                        {2, start_ + "\\誠\\乗", "A乗B"}};
    EXPECT_EQ(items(result), expected);
  }

  std::string missing = start_ + "\\NoSuchKey";
  EXPECT_EQ(tool_.listTree64(result, kLm, missing, 1, nullptr), 0u);
  EXPECT_EQ(tool_.listTree(result, kLm, missing, 1, nullptr), 0u);

  // On 32-bit Windows the 64-bit listing returns at once, array untouched.
  RegistryTool on32;
  on32.is64BitWindows = 0;
  result.append(TreeEntry{1, "kept", {}});
  EXPECT_EQ(on32.listTree64(result, kLm, path, 1, nullptr), 0u);
  ASSERT_EQ(registry::elementCount(&result), 1u);
  EXPECT_EQ(result[0].path, "kept");
  const auto [count, first] = registry::elementsOf(&result);
  EXPECT_EQ(count, 1u);
  EXPECT_EQ(first, &result[0]);
  EXPECT_EQ(registry::elementCount<TreeEntry>(nullptr), 0u);
}

TEST_F(TreeTest, ABackslashAloneListsTheRootsOwnSubkeys) {
  // A key at the root whose name holds a space is reported by its real name.
  const std::string rootKey = uniqueName("Kelvora Root Key");
  ScratchKey atRoot(HKEY_CURRENT_USER, rootKey);
  Array<TreeEntry> result;
  std::string path = "\\";
  tool_.listTree(result, kCu, path, 2, nullptr);
  EXPECT_EQ(path, "");
  bool software = false, ours = false;
  for (const TreeEntry& e : result) {
    EXPECT_EQ(e.kind, 1);
    EXPECT_EQ(e.path.find('\\'), std::string::npos) << e.path;
    software |= _stricmp(e.path.c_str(), "Software") == 0;
    ours |= e.path == rootKey;
  }
  EXPECT_TRUE(software);
  EXPECT_TRUE(ours) << "listed under its own name, spaces kept";
}

TEST_F(TreeTest, ProgressCountsEveryEntry) {
  Array<TreeEntry> result;
  std::string path = start_;
  g_progress.clear();
  const std::size_t n = tool_.listTree64(result, kLm, path, 1, &recordProgress);
  ASSERT_EQ(g_progress.size(), n);
  for (std::size_t i = 0; i < n; ++i) EXPECT_EQ(g_progress[i], i + 1);
  g_progress.clear();
  tool_.listTree(result, kLm, path, 0, &recordProgress);
  EXPECT_EQ(g_progress.size(), result.size());
  g_progress.clear();
  tool_.listTree64(result, kLm, path, 1, nullptr);
  EXPECT_TRUE(g_progress.empty());

  // The routine and the messages handled meanwhile run with redirection as
  // the caller has it, not switched off.
  if (!registry::isWow64Process()) return;  // the 64-bit build has no redirection
  ASSERT_TRUE(seesSysWow64());
  {
    registry::RedirectionOff off;
    ASSERT_FALSE(seesSysWow64()) << "redirection cannot be seen from here";
  }
  g_progress.clear();
  g_redirectedCalls = 0;
  tool_.listTree64(result, kLm, path, 1, &recordProgress);
  EXPECT_EQ(g_redirectedCalls, static_cast<int>(g_progress.size()));

  // A message waiting when the root's subkeys are listed is handled inside.
  WNDCLASSA wc = {};
  wc.lpszClassName = "KelvoraTreeTest";
  wc.lpfnWndProc = &recordMessage;
  ::RegisterClassA(&wc);
  HWND window =
      ::CreateWindowA(wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  ::PostMessageA(window, WM_APP, 0, 0);
  std::string rootPath;
  tool_.listTree64(result, kLm, rootPath, 2, nullptr);
  ::DestroyWindow(window);
  EXPECT_EQ(g_handled, 1);
  EXPECT_EQ(g_redirectedMessages, 1);
  EXPECT_TRUE(seesSysWow64()) << "restored after the listing";
}

TEST_F(TreeTest, EveryHandleIsClosed) {
  DWORD before = 0, after = 0;
  if (!::GetProcessHandleCount(::GetCurrentProcess(), &before)) {
    GTEST_SKIP() << "GetProcessHandleCount is not available here";
  }
  Array<TreeEntry> result;
  for (int round = 0; round < 5; ++round) {
    for (int mode : {0, 1, 2}) {
      std::string path = start_;
      tool_.listTree(result, kLm, path, mode, nullptr);
      tool_.listTree64(result, kLm, path, mode, nullptr);
    }
  }
  ASSERT_TRUE(::GetProcessHandleCount(::GetCurrentProcess(), &after));
  EXPECT_EQ(after, before);
}

}  // namespace
