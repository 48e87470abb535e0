// application.xml is replaced whole or not at all: against a reader beside
// the replace, a file that is read-only or held, and links at the working
// copy's name.
// In this process, under Wine: the click around it is the switch's concern.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <thread>

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
  // Until both sides have had their turns many times over.
  constexpr int kReplaces = 60;
  int replaced = 0, tried = 0;
  while ((tried < kReplaces || reads < kReplaces) && tried < 50 * kReplaces) {
    if (platform::replaceFile(path, tried++ % 2 ? chinese : english)) ++replaced;
  }
  done = true;
  reader.join();
  EXPECT_EQ(missing, 0) << "the file was never missing";
  EXPECT_EQ(torn, 0) << "every read was the whole old or the whole new file";
  EXPECT_GE(reads, kReplaces);
  // A replace can lose to the reader for longer than its retries; nearly all win.
  EXPECT_GE(replaced, tried - 3) << "of " << tried;
  EXPECT_FALSE(platform::fileExists(path + std::string(platform::kReplaceSuffix)));
}

TEST(FileReplace, ReplacesWholeOrLeavesTheFileAsItWas) {
  enum class Setup { ReadOnly, Locked, HeldBriefly, LinkToFile, DanglingLink };
  struct Case {
    const char* what;
    Setup setup;
    bool replaced;
  };
  const Case cases[] = {
      {"read-only", Setup::ReadOnly, false},
      {"held without sharing", Setup::Locked, false},
      // As After Effects or a virus scanner reads it: the replace waits it out.
      {"held without delete sharing for 300 ms", Setup::HeldBriefly, true},
      // Whoever can write the AMT folder can leave one there.
      {"a link to a file at the working copy's name", Setup::LinkToFile, false},
      {"a dangling link at the working copy's name", Setup::DanglingLink, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempFolder folder("kelvora-replace");
    TempFolder elsewhere("kelvora-victim");
    const std::string path = folder / "application.xml";
    const std::string copy = path + std::string(platform::kReplaceSuffix);
    const std::string victim = elsewhere / "victim.txt";
    ASSERT_TRUE(platform::writeFile(path, {"zh_CN"}));
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
    }
    const bool replaced = platform::replaceFile(path, "en_US");
    if (release.joinable()) release.join();
    EXPECT_EQ(replaced, c.replaced);
    hold.reset();
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform::readFile(path), c.replaced ? "en_US" : "zh_CN");
    const std::string unix = testing_support::unixPath(path);
    EXPECT_TRUE(testing_support::runUnix("test -f '" + unix + "' && test ! -L '" + unix + "'"))
        << "a whole file of its own, not a link";
    EXPECT_EQ(platform::tryReadFile(victim),
              c.setup == Setup::LinkToFile ? std::optional<std::string>("keep me") : std::nullopt)
        << "what a link leads to is neither written nor made";
    if (!link) {
      EXPECT_FALSE(platform::fileExists(copy));
    }
    link.reset();
    // Once the file is free again, it is replaced.
    EXPECT_TRUE(platform::replaceFile(path, "free"));
    EXPECT_EQ(platform::readFile(path), "free");
  }
}

}  // namespace
