// Files made, held and deleted only where their names say, against links
// that another program of the user left in a folder it can write. Under
// Wine a Unix symlink stands in for the links of Windows (file symlinks,
// junctions, object-manager links): opening its name opens its target, and
// DeleteFileA deletes the target, so a name that is not checked is a way
// to write or delete anywhere.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "support/code_pages.h"
#include "support/paths.h"
#include "support/waits.h"

namespace {

using platform::UniqueFile;
using testing_support::TempFolder;

TEST(InPlace, ALinkAtTheNameIsNeverWrittenTruncatedOrDeleted) {
  for (bool dangling : {true, false}) {
    SCOPED_TRACE(dangling ? "dangling link" : "link to an existing file");
    TempFolder folder("kelvora-links");
    TempFolder elsewhere("kelvora-victim");
    const std::string victim = elsewhere / "victim.txt";
    if (!dangling) {
      ASSERT_TRUE(platform::writeFile(victim, {"keep me"}));
    }
    const std::string name = folder / "tem.vbs";
    ASSERT_TRUE(testing_support::makeUnixLink(name, victim));

    EXPECT_FALSE(platform::createInPlace(name, GENERIC_WRITE, 0));
    EXPECT_FALSE(platform::openInPlace(name, GENERIC_READ, FILE_SHARE_READ));
    // Nothing opens at a dangling link: nothing there to remove. A link to a
    // file is refused.
    EXPECT_EQ(platform::removeInPlace(name), dangling);
    EXPECT_FALSE(platform::sealWritten(platform::createInPlace(name, GENERIC_WRITE, 0), name, "new",
                                       FILE_ATTRIBUTE_HIDDEN));
    const std::string unixName = testing_support::unixPath(name);
    EXPECT_TRUE(testing_support::runUnix("test -L '" + unixName + "'"))
        << "the link is left as it is";
    if (dangling) {
      EXPECT_FALSE(platform::fileExists(victim)) << "nothing made where the link points";
    } else {
      EXPECT_EQ(platform::readFile(victim), "keep me");
      EXPECT_EQ(::GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
    }
    EXPECT_TRUE(testing_support::removeUnixLink(name));
    EXPECT_TRUE(testing_support::runUnix("test ! -L '" + unixName + "'")) << "the link is gone";
  }
}

TEST(InPlace, OwnFilesAreMadeHeldAndDeletedThroughTheirHandle) {
  TempFolder folder("kelvora-own");
  const std::string path = folder / "tem.vbs";
  ASSERT_TRUE(platform::writeFile(path, {"leftover"}));
  EXPECT_FALSE(platform::createInPlace(path, GENERIC_WRITE, 0)) << "never truncates";
  ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
  EXPECT_TRUE(platform::removeInPlace(path)) << "a leftover that is really there goes";
  EXPECT_FALSE(platform::fileExists(path));
  EXPECT_TRUE(platform::removeInPlace(path)) << "nothing there: nothing to do";

  UniqueFile held = platform::sealWritten(platform::createInPlace(path, GENERIC_WRITE, 0), path,
                                          "script", FILE_ATTRIBUTE_HIDDEN);
  ASSERT_TRUE(held);
  // Readers get it; nobody can change or delete it while it is held.
  EXPECT_EQ(platform::readFile(path), "script");
  EXPECT_NE(::GetFileAttributesA(path.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_FALSE(UniqueFile(::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr)));
  EXPECT_FALSE(::DeleteFileA(path.c_str()));
  EXPECT_EQ(platform::readFile(path), "script");
  held.reset();
  EXPECT_TRUE(platform::removeInPlace(path));
  EXPECT_FALSE(platform::fileExists(path));
}

// The download is made in the folder it stays in and renamed there through
// its handle: whatever stands at the new name (an old version, a link) is
// replaced as a name, and nothing is done by name after the handle goes.
TEST(InPlace, TheDownloadIsRenamedInItsOwnFolderThroughItsHandle) {
  for (const bool link : {false, true}) {
    SCOPED_TRACE(link ? "a link at the new name" : "an older file at the new name");
    TempFolder run("kelvora-run");
    TempFolder elsewhere("kelvora-victim");
    const std::string from = run / "update.temp";
    const std::string to = run / "Kelvora v9.exe";
    const std::string victim = elsewhere / "victim.txt";
    ASSERT_TRUE(platform::writeFile(victim, {"keep me"}));
    if (link) {
      ASSERT_TRUE(testing_support::makeUnixLink(to, victim));
    } else {
      ASSERT_TRUE(platform::writeFile(to, {"MZ old"}));
    }
    UniqueFile file = platform::createInPlace(from, GENERIC_WRITE, 0);
    ASSERT_TRUE(file);
    ASSERT_TRUE(platform::writeAll(file.get(), "MZ new"));
    ASSERT_TRUE(platform::moveInto(std::move(file), to));
    EXPECT_FALSE(platform::fileExists(from));
    EXPECT_EQ(platform::readFile(to), "MZ new");
    EXPECT_TRUE(platform::openInPlace(to, GENERIC_READ, FILE_SHARE_READ)) << "a file of its own";
    EXPECT_EQ(platform::readFile(victim), "keep me");
  }
}

TEST(CodePage, TheAnsiLeadBytesAreTheSystemsOwn) {
  // The tests run in code page 936.
  ASSERT_EQ(::GetACP(), 936u);
  const platform::LeadBytes& ansi = platform::ansiLeadBytes();
  for (int byte = 0; byte < 256; ++byte) {
    EXPECT_EQ(ansi(static_cast<char>(byte)), testing_support::cp936()(static_cast<char>(byte)))
        << byte;
  }
}

// After Effects is found by its program's name, in any case: a copy of this
// test program under each name, held suspended so that it runs nothing.
TEST(Processes, AfterEffectsIsFoundByItsProgramName) {
  const auto afterEffects = [] {
    return platform::isProgramRunning({"AfterFX.exe", "AfterFX (Beta).exe"});
  };
  ASSERT_FALSE(afterEffects());
  TempFolder folder("kelvora-processes");
  char self[MAX_PATH] = {};
  ASSERT_GT(::GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  for (const char* name : {"AfterFX.exe", "afterfx (beta).EXE", "AfterFX2.exe"}) {
    SCOPED_TRACE(name);
    const std::string exe = folder / name;
    ASSERT_TRUE(::CopyFileA(self, exe.c_str(), FALSE));
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    std::string command = "\"" + exe + "\"";
    ASSERT_TRUE(::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr, nullptr, &startup, &info));
    const platform::UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(afterEffects(), std::string(name) != "AfterFX2.exe");
    ::TerminateProcess(process.get(), 0);
    ::WaitForSingleObject(process.get(), 10000);
  }
  EXPECT_FALSE(afterEffects());
}

TEST(FeedbackPage, OpensThroughTheShell) {
  // A script stands in for the page, so that its opening leaves a trace.
  TempFolder folder("kelvora-open");
  const std::string trace = folder / "opened.txt";
  const std::string script = folder / "page.vbs";
  ASSERT_TRUE(platform::writeFile(
      script, {"CreateObject(\"Scripting.FileSystemObject\").CreateTextFile(\"" + trace +
               "\").Close\r\n"}));
  EXPECT_TRUE(platform::shellOpen(script));
  EXPECT_TRUE(testing_support::waitFor([&] { return platform::fileExists(trace); }, 20000));
}

}  // namespace
