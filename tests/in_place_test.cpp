// Files made, held and deleted only where their names say, against links
// that another program of the user left in a folder it can write. Under
// Wine a Unix symlink stands in for the links of Windows (file symlinks,
// junctions, object-manager links): opening its name opens its target, and
// DeleteFileA deletes the target, so a name that is not checked is a way
// to write or delete anywhere.
#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include "platform/code_page.h"
#include "platform/files.h"
#include "platform/in_place.h"
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

TEST(InPlace, TheMovedFileTakesThePermissionsOfItsNewFolder) {
  TempFolder temp("kelvora-temp");
  TempFolder run("kelvora-run");
  const std::string from = temp / "update.temp";
  const std::string to = run / "Kelvora v9.exe";
  UniqueFile file = platform::createInPlace(from, GENERIC_WRITE | WRITE_DAC, 0);
  ASSERT_TRUE(file);
  ASSERT_TRUE(platform::writeAll(file.get(), "MZ new"));
  // A NULL DACL (everyone may do anything): the worst a file made elsewhere carries.
  ASSERT_EQ(::SetSecurityInfo(file.get(), SE_FILE_OBJECT,
                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                              nullptr, nullptr, nullptr, nullptr),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_TRUE(platform::moveInto(std::move(file), from, to));
  EXPECT_FALSE(platform::fileExists(from));
  EXPECT_EQ(platform::readFile(to), "MZ new");

  UniqueFile moved(
      ::CreateFileA(to.c_str(), READ_CONTROL, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(moved);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  ASSERT_EQ(::GetSecurityInfo(moved.get(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &dacl, nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  SECURITY_DESCRIPTOR_CONTROL control = 0;
  DWORD revision = 0;
  ASSERT_TRUE(::GetSecurityDescriptorControl(descriptor, &control, &revision));
  // What Wine shows: the DACL no longer protected and no "allow everyone"
  // NULL DACL, so the folder's inheritable entries apply. Windows also
  // replaces the entries themselves with the folder's inherited ones (under
  // Program Files: no write for unelevated users); Wine keeps no inherited
  // entries for files, so those cannot be read back here.
  EXPECT_EQ(control & SE_DACL_PROTECTED, 0);
  EXPECT_NE(dacl, nullptr);
  ::LocalFree(descriptor);
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

TEST(FeedbackPage, OpensWhereNoDesktopShellOffersARoute) {
  // Wine runs no desktop shell with IShellDispatch2: the plain open is used.
  // A script stands in for the page, so that its opening leaves a trace.
  TempFolder folder("kelvora-open");
  const std::string trace = folder / "opened.txt";
  const std::string script = folder / "page.vbs";
  ASSERT_TRUE(platform::writeFile(
      script, {"CreateObject(\"Scripting.FileSystemObject\").CreateTextFile(\"" + trace +
               "\").Close\r\n"}));
  EXPECT_TRUE(platform::openAsDesktopUser(script));
  EXPECT_TRUE(testing_support::waitFor([&] { return platform::fileExists(trace); }, 20000));
}

}  // namespace
