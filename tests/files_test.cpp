// application.xml is replaced whole or not at all: against a reader beside
// the replace, a file that is read-only or held, links at the working copy's
// name or on the way to the file, and a working copy left behind; its folder
// held meanwhile, and the probe that tells a folder this process may not write.
// In this process, under Wine: the click around it is the switch's concern.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

#include "platform/elevation.h"
#include "platform/files.h"
#include "platform/handles.h"
#include "support/paths.h"

namespace {

using testing_support::TempFolder;

TEST(FileReplace, AReaderBesideItNeverSeesTheFileTornOrMissing) {
  TempFolder folder("kelvora-replace");
  const std::string path = folder / "application.xml";
  const std::string chinese = testing_support::sizedXml("zh_CN");
  const std::string english = testing_support::sizedXml("en_US");
  ASSERT_TRUE(platform::writeFile(path, {chinese}));

  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, missing{0}, torn{0};
  std::thread reader([&] {
    std::string contents;
    while (!done) {
      if (!testing_support::readSharingEverything(path, contents)) {
        ++missing;
      } else if (contents != chinese && contents != english) {
        ++torn;
      }
      ++reads;
      ::Sleep(1);  // a reader that pauses between reads, as After Effects does
    }
  });
  // Until both sides have had their turns many times over, however the
  // machine shares its cores between them; the minute is only a bound.
  constexpr int kReplaces = 60;
  int replaced = 0, tried = 0;
  const ULONGLONG bound = ::GetTickCount64() + 60000;
  while ((tried < kReplaces || reads < kReplaces) && ::GetTickCount64() < bound) {
    if (platform::replaceFile(path, tried++ % 2 ? chinese : english)) ++replaced;
  }
  done = true;
  reader.join();
  EXPECT_EQ(missing, 0) << "the file was never missing";
  EXPECT_EQ(torn, 0) << "every read was the whole old or the whole new file";
  EXPECT_GE(reads, kReplaces);
  // A replace loses only to a reader that keeps the file open through a
  // second of retries, which a busy machine can stall it for: most win.
  EXPECT_GE(replaced, tried / 2) << "of " << tried;
  EXPECT_FALSE(platform::fileExists(path + std::string(platform::kReplaceSuffix)));
}

TEST(FileReplace, ReplacesWholeOrLeavesTheFileAsItWas) {
  enum class Setup { ReadOnly, Locked, HeldBriefly, LinkToFile, DanglingLink, LinkedFolder };
  using platform::Links;
  struct Case {
    const char* what;
    Setup setup;
    Links links;
    bool replaced;
    bool denied;  // a matter of this process's rights
  };
  const Case cases[] = {
      {"read-only", Setup::ReadOnly, Links::Follow, false, false},
      {"held without sharing", Setup::Locked, Links::Follow, false, false},
      // As After Effects or a virus scanner reads it: the replace waits it out.
      {"held without delete sharing for 300 ms", Setup::HeldBriefly, Links::Follow, true, false},
      // Whoever can write the AMT folder can leave one there.
      {"a link to a file at the working copy's name", Setup::LinkToFile, Links::Follow, false,
       false},
      {"a dangling link at the working copy's name", Setup::DanglingLink, Links::Follow, false,
       false},
      // The window, as the user, may go where the user may go anyway.
      {"a linked folder on the way, followed", Setup::LinkedFolder, Links::Follow, true, false},
      // As administrator: a folder the user may change could lead anywhere.
      {"a linked folder on the way, refused", Setup::LinkedFolder, Links::Refuse, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder("kelvora-replace");
    TempFolder elsewhere("kelvora-victim");
    const std::string path = folder / "application.xml";
    const std::string copy = path + std::string(platform::kReplaceSuffix);
    const std::string victim = elsewhere / "victim.txt";
    ASSERT_TRUE(platform::writeFile(path, {"zh_CN"}));
    std::string target = path;
    platform::UniqueFile hold;
    std::optional<testing_support::UnixLink> link;
    std::thread release;
    switch (c.setup) {
      case Setup::ReadOnly:
        ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
        break;
      case Setup::Locked:
        hold.reset(
            ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(hold);
        EXPECT_EQ(platform::tryReadFile(path), std::nullopt) << "unknown, not empty";
        break;
      case Setup::HeldBriefly:
        hold.reset(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(hold);
        release = std::thread([&hold] {
          ::Sleep(300);
          hold.reset();
        });
        break;
      case Setup::LinkToFile:
        ASSERT_TRUE(platform::writeFile(victim, {"keep me"}));
        [[fallthrough]];
      case Setup::DanglingLink:
        link.emplace(copy, victim);
        ASSERT_TRUE(link->made());
        break;
      case Setup::LinkedFolder:
        link.emplace(elsewhere / "AMT", folder.path());
        ASSERT_TRUE(link->made());
        target = elsewhere / "AMT\\application.xml";
        break;
    }
    const platform::ReplaceResult result = platform::replaceFile(target, "en_US", c.links);
    if (release.joinable()) release.join();
    EXPECT_EQ(result.replaced, c.replaced);
    EXPECT_EQ(result.denied, c.denied);
    hold.reset();
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform::readFile(path), c.replaced ? "en_US" : "zh_CN");
    const std::string unix = testing_support::unixPath(path);
    EXPECT_TRUE(testing_support::runUnix("test -f '" + unix + "' && test ! -L '" + unix + "'"))
        << "a whole file of its own, not a link";
    EXPECT_EQ(platform::tryReadFile(victim),
              c.setup == Setup::LinkToFile ? std::optional<std::string>("keep me") : std::nullopt)
        << "what a link leads to is neither written nor made";
    if (c.setup != Setup::LinkToFile && c.setup != Setup::DanglingLink) {
      EXPECT_FALSE(platform::fileExists(copy));
    }
    link.reset();
    // Once the file is free again, it is replaced.
    EXPECT_TRUE(platform::replaceFile(path, "free"));
    EXPECT_EQ(platform::readFile(path), "free");
  }
}

// Left by a cut-off elevated run where the user may not delete: only the
// elevated step can take it away, so it must be asked. A test of its own: it
// is staged with chattr, which some file systems refuse.
TEST(FileReplace, AWorkingCopyThisProcessMayNotRemoveIsAMatterOfRights) {
  TempFolder folder("kelvora-replace");
  const std::string path = folder / "application.xml";
  const std::string copy = path + std::string(platform::kReplaceSuffix);
  ASSERT_TRUE(platform::writeFile(path, {"zh_CN"}));
  ASSERT_TRUE(platform::writeFile(copy, {"half"}));
  {
    const testing_support::Immutable stuck(copy);
    if (!stuck.made()) GTEST_SKIP() << testing_support::kChattrRefused;
    const platform::ReplaceResult result = platform::replaceFile(path, "en_US");
    EXPECT_FALSE(result.replaced);
    EXPECT_TRUE(result.denied);
  }
  EXPECT_EQ(platform::readFile(path), "zh_CN");
  EXPECT_EQ(platform::readFile(copy), "half") << "left as it was";
  // Once the copy may go, the file is replaced.
  EXPECT_TRUE(platform::replaceFile(path, "free"));
  EXPECT_EQ(platform::readFile(path), "free");
  EXPECT_FALSE(platform::fileExists(copy));
}

TEST(FileReplace, NobodyMovesTheHeldFolderAway) {
  // Held from the read to the replace: moved away meanwhile, a junction could
  // take its name, and the replace would land wherever that leads.
  TempFolder parent("kelvora-hold");
  const std::string amt = parent / "AMT";
  const std::string moved = parent / "AMT-moved";
  ASSERT_TRUE(::CreateDirectoryA(amt.c_str(), nullptr));
  const std::string path = amt + "\\application.xml";
  ASSERT_TRUE(platform::writeFile(path, {"zh_CN"}));
  {
    const platform::UniqueFile held = platform::holdFolder(path, platform::Links::Refuse);
    ASSERT_TRUE(held);
    EXPECT_FALSE(::MoveFileA(amt.c_str(), moved.c_str())) << "moved while held";
    EXPECT_TRUE(platform::replaceFile(path, "en_US")) << "its files are still written";
  }
  EXPECT_EQ(platform::readFile(path), "en_US");
  EXPECT_TRUE(::MoveFileA(amt.c_str(), moved.c_str())) << "free once let go";
}

TEST(FolderProbe, OnlyARefusalMeansThisProcessMayNotWrite) {
  // Only Windows saying no sends an update to the elevated step: a folder
  // that is not there, or a full disk, is no matter of rights.
  TempFolder folder("kelvora-probe");
  const std::string file = folder / "a-file";
  ASSERT_TRUE(platform::writeFile(file, {"x"}));
  struct Case {
    const char* what;
    std::string folder;
    bool writable;
  };
  const Case cases[] = {
      {"a folder it may write", folder.path(), true},
      {"a folder that is not there", folder / "missing", true},
      {"a file where the folder should be", file, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::canCreateFilesIn(c.folder), c.writable);
  }
  WIN32_FIND_DATAA data;
  const platform::UniqueFind left(::FindFirstFileA((folder / "kelvora-probe-*").c_str(), &data));
  EXPECT_FALSE(left) << "the probe leaves nothing: " << data.cFileName;
}

}  // namespace
