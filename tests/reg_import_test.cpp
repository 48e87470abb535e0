// The 64-bit-view writers: a generated import file run through the real regedit.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <set>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/handles.h"
#include "registry/reg_import.h"
#include "registry/registry_tool.h"
#include "support/paths.h"
#include "support/scratch_key.h"

namespace {

using registry::RegistryTool;
using testing_support::ScratchKey;
using testing_support::uniqueName;

constexpr int kLm = registry::kLocalMachine;

std::set<std::string> tmpFiles(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA data;
  platform::UniqueFind find(::FindFirstFileA((folder + "*.tmp").c_str(), &data));
  if (!find) return names;
  do {
    names.insert(data.cFileName);
  } while (::FindNextFileA(find.get(), &data));
  return names;
}

// Runs `undo` when the test ends, however it ends.
class Undo {
 public:
  explicit Undo(std::function<void()> undo) : undo_(std::move(undo)) {}
  ~Undo() { undo_(); }
  Undo(const Undo&) = delete;
  Undo& operator=(const Undo&) = delete;

 private:
  std::function<void()> undo_;
};

class RegImportTest : public ::testing::Test {
 protected:
  RegImportTest() { tool_.probe64BitWindows(); }
  std::string value(const std::string& name) const { return path_ + "\\" + name; }
  bool in32BitView(const std::string& name) const {
    return ::RegQueryValueExA(keys_.view32.get(), name.c_str(), nullptr, nullptr, nullptr,
                              nullptr) == ERROR_SUCCESS;
  }

  testing_support::ScratchKeys keys_{"SOFTWARE\\" + uniqueName("KelvoraImport")};
  const std::string path_ = keys_.path();
  RegistryTool tool_;
};

TEST_F(RegImportTest, WritesLandInThe64BitViewOnly) {
  const auto before = tmpFiles(platform::tempFolder());
  ASSERT_TRUE(tool_.regWriteDword(kLm, value("Count"), 255));
  ASSERT_TRUE(tool_.regWriteDword(kLm, value("Max"), 0xFFFFFFFF));
  ASSERT_TRUE(tool_.regWriteString(kLm, value("Name"), "中文 text"));
  ASSERT_TRUE(tool_.regWriteString(kLm, value("Unc"), "\\\\server\\share\\"));
  ASSERT_TRUE(tool_.regWriteString(kLm, value("Quote"), "say \"hi\""));
  ASSERT_TRUE(tool_.regWriteString(kLm, value("Sub\\"), "default"));
  const std::string binary("\x00\x0A\xFF", 3);
  ASSERT_TRUE(tool_.regWriteBinary(kLm, value("Blob"), binary));

  EXPECT_EQ(tool_.read64Int(kLm, value("Count")), 255u);
  EXPECT_EQ(tool_.read64Int(kLm, value("Max")), 0xFFFFFFFFu);
  EXPECT_EQ(tool_.read64String(kLm, value("Name")), "中文 text");
  EXPECT_EQ(tool_.read64String(kLm, value("Unc")), "\\\\server\\share\\");
  EXPECT_EQ(tool_.read64String(kLm, value("Quote")), "say \"hi\"");
  EXPECT_EQ(tool_.read64String(kLm, value("Sub\\")), "default");
  EXPECT_EQ(tool_.read64Binary(kLm, value("Blob")), binary);
  for (const char* name : {"Count", "Name", "Blob"}) {
    EXPECT_FALSE(in32BitView(name)) << name << " leaked into Wow6432Node";
  }
  EXPECT_EQ(tmpFiles(platform::tempFolder()), before) << "the import files are removed";
}

// Keeps the text each writer hands to regedit, and imports it as usual.
struct RecordingTool : RegistryTool {
  std::string text;
  bool importRegText(const std::string& reg) override {
    text = reg;
    return RegistryTool::importRegText(reg);
  }
};

TEST_F(RegImportTest, HexFormsWriteTheirExactText) {
  // Windows' regedit takes hex(2)/hex(7) data as UTF-16; Wine's regedit
  // reads it from an ANSI (no BOM) .reg file as ANSI bytes, so what Wine
  // stores differs. The text the writers hand over is what is checked here,
  // with the GBK input converted by the real ansiToUtf16 (code page 936).
  RecordingTool tool;
  tool.probe64BitWindows();
  const std::string head =
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" + path_ + "]\r\n";
  EXPECT_TRUE(tool.regWriteExpandString(kLm, value("Expand"), "%A%中"));
  EXPECT_EQ(tool.text, head + "\"Expand\"=hex(2):25,00,41,00,25,00,2D,4E,00,00\r\n");
  EXPECT_TRUE(tool.valueExists(kLm, value("Expand")));
  // 誠 is U+8AA0 and 乗 U+4E57; each line one string, then the list's end.
  EXPECT_TRUE(tool.regWriteMultiString(kLm, value("Multi"), "a\r\n誠乗"));
  const std::string multi = head + "\"Multi\"=hex(7):61,00,00,00,A0,8A,57,4E,00,00,00,00\r\n";
  EXPECT_EQ(tool.text, multi);
  EXPECT_TRUE(tool.valueExists(kLm, value("Multi")));

  // A list read back from the 64-bit view and written again is the same list.
  keys_.view64.set("", "Stored", REG_MULTI_SZ, std::string("a\0誠乗\0\0", 8));
  const std::string lines = tool.read64MultiString(kLm, value("Stored"));
  EXPECT_EQ(lines, "a\r\n誠乗\r\n\r\n");
  EXPECT_TRUE(tool.regWriteMultiString(kLm, value("Multi"), lines));
  EXPECT_EQ(tool.text, multi);
}

TEST_F(RegImportTest, RunsTheSystemsRegeditNotOnePlantedBesideUs) {
  // A program that records its start, named regedit.exe in our own folder,
  // where a bare "regedit" is looked for first.
  const std::string planted = testing_support::besideThisExe("regedit.exe");
  const std::string started = testing_support::besideThisExe("probe-started.txt");
  const Undo removed([&] {
    ::DeleteFileA(planted.c_str());
    ::DeleteFileA(started.c_str());
  });
  ASSERT_TRUE(::CopyFileA(testing_support::besideThisExe("update_probe.exe").c_str(),
                          planted.c_str(), FALSE));
  ::DeleteFileA(started.c_str());
  EXPECT_TRUE(tool_.regWriteString(kLm, value("Planted"), "system"));
  EXPECT_EQ(tool_.read64String(kLm, value("Planted")), "system");
  EXPECT_FALSE(platform::fileExists(started)) << "the planted regedit ran";
}

TEST_F(RegImportTest, RefusesWhatTheFormatCannotCarry) {
  const auto before = tmpFiles(platform::tempFolder());
  EXPECT_FALSE(tool_.regWriteBinary(kLm, path_ + "\\", "x"));  // no name
  EXPECT_FALSE(tool_.regWriteDword(kLm, path_ + "\\", 1));
  EXPECT_FALSE(tool_.regWriteString(kLm, value("Inject"), "x\r\n\"Evil\"=\"1\""));
  EXPECT_FALSE(tool_.regWriteString(99, value("Bad"), "x"));  // unknown root
  EXPECT_EQ(tool_.read64String(kLm, value("Evil")), "");
  EXPECT_EQ(tmpFiles(platform::tempFolder()), before);

  RegistryTool on32;
  on32.is64BitWindows = 0;
  EXPECT_FALSE(on32.regWriteDword(kLm, value("D"), 1));
  EXPECT_FALSE(on32.regWriteString(kLm, value("S"), "x"));
  EXPECT_FALSE(on32.regWriteBinary(kLm, value("B"), "x"));
  EXPECT_FALSE(on32.regWriteMultiString(kLm, value("M"), "x"));
  EXPECT_FALSE(on32.regWriteExpandString(kLm, value("E"), "x"));
  EXPECT_EQ(tool_.read64String(kLm, value("S")), "");
  EXPECT_EQ(tmpFiles(platform::tempFolder()), before) << "nothing written on 32-bit Windows";
}

TEST_F(RegImportTest, LinksAtTheNextTemporaryNamesAreSteppedOver) {
  // The import files are "%x.tmp" in the temporary folder, which the user's
  // other programs can write: links left at the next names the toolkit tries
  // (to nowhere, so that a write through one would show) are stepped over,
  // and nothing is made where they point.
  testing_support::TempFolder elsewhere("kelvora-victim");
  const std::string temp = testing_support::unixPath(platform::tempFolder());
  const std::string victims = testing_support::unixPath(elsewhere.path());
  ASSERT_FALSE(temp.empty());
  const Undo unlinked([&] {
    EXPECT_TRUE(testing_support::runUnix("find '" + temp + "' -maxdepth 1 -lname '" + victims +
                                         "/*' -delete"));
  });
  // Far from the tick counts that other imports start at.
  const unsigned first = ::GetTickCount() + 0x40000000u;
  const std::string range = std::to_string(first) + " " + std::to_string(first + 63);
  ASSERT_TRUE(testing_support::runUnix("printf '" + victims + "/%x.tmp\\n' $(seq " + range +
                                       ") | xargs ln -s -t '" + temp + "'"));
  char last[16];
  std::snprintf(last, sizeof last, "%x.tmp", first + 63);
  ASSERT_TRUE(testing_support::runUnix("test -L '" + temp + "/" + last + "'"));
  registry::setNextImportNumber(first);
  EXPECT_TRUE(tool_.regWriteDword(kLm, value("Linked"), 7));
  EXPECT_EQ(tool_.read64Int(kLm, value("Linked")), 7u);
  EXPECT_TRUE(tmpFiles(elsewhere.path() + "\\").empty())
      << "an import file was written through a link";
}

TEST_F(RegImportTest, ImportsFilesAndTextFromAFolderWithSpaces) {
  enum class At { Nothing, File, HeldFile, Link };
  struct Case {
    const char* what;
    At at;
    bool imported;
  };
  const Case cases[] = {
      {"no file", At::Nothing, false},
      {"a file", At::File, true},
      {"a file another program reads", At::HeldFile, true},
      // The toolkit holds the file while regedit reads it; a link would
      // have it hold one file and regedit read whatever the link says then.
      {"a link to a file elsewhere", At::Link, false},
  };
  const testing_support::TempFolder folder("kelvora dir");
  const testing_support::TempFolder elsewhere("kelvora-victim");
  const std::string spaced = folder.path() + "\\";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string name = "FromFile" + std::to_string(static_cast<int>(c.at));
    const std::string file = folder / "import me.reg";
    const std::string target = elsewhere / "linked.reg";
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\" +
                             path_ + "]\r\n\"" + name + "\"=\"yes\"\r\n";
    platform::UniqueFile reader;
    std::optional<testing_support::UnixLink> link;
    if (c.at == At::File || c.at == At::HeldFile) {
      ASSERT_TRUE(platform::writeFile(file, {text}));
    }
    if (c.at == At::HeldFile) {
      reader.reset(::CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(reader);
    }
    if (c.at == At::Link) {
      ASSERT_TRUE(platform::writeFile(target, {text}));
      link.emplace(file, target);
      ASSERT_TRUE(link->made());
    }
    EXPECT_EQ(tool_.importRegFile(file), c.imported);
    EXPECT_EQ(tool_.read64String(kLm, value(name)), c.imported ? "yes" : "");
    EXPECT_EQ(platform::fileExists(file), c.at != At::Nothing) << "the caller's file is kept";
    reader.reset();
    link.reset();
    ::DeleteFileA(file.c_str());
  }

  // The temporary folder itself holds a space.
  char oldTmp[MAX_PATH] = {}, oldTemp[MAX_PATH] = {};
  ::GetEnvironmentVariableA("TMP", oldTmp, MAX_PATH);
  ::GetEnvironmentVariableA("TEMP", oldTemp, MAX_PATH);
  ::SetEnvironmentVariableA("TMP", spaced.c_str());
  ::SetEnvironmentVariableA("TEMP", spaced.c_str());
  const bool wrote = tool_.regWriteString(kLm, value("Spaced"), "ok");
  const auto left = tmpFiles(spaced);
  ::SetEnvironmentVariableA("TMP", oldTmp[0] ? oldTmp : nullptr);
  ::SetEnvironmentVariableA("TEMP", oldTemp[0] ? oldTemp : nullptr);
  EXPECT_TRUE(wrote);
  EXPECT_EQ(tool_.read64String(kLm, value("Spaced")), "ok");
  EXPECT_TRUE(left.empty());
}

}  // namespace
