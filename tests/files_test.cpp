// application.xml is replaced whole or not at all: against a reader beside
// the replace, and against a file that is read-only or held without sharing.
// In this process, under Wine: the click around it is the switch's concern.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
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

TEST(FileReplace, LeavesAReadOnlyOrLockedFileIntact) {
  for (bool locked : {false, true}) {
    SCOPED_TRACE(locked ? "held without sharing" : "read-only");
    TempFolder folder("kelvora-replace");
    const std::string path = folder / "application.xml";
    ASSERT_TRUE(platform::writeFile(path, {"zh_CN"}));
    platform::UniqueFile lock;
    if (locked) {
      lock.reset(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
      ASSERT_TRUE(lock);
      EXPECT_EQ(platform::tryReadFile(path), std::nullopt) << "unknown, not empty";
    } else {
      ASSERT_TRUE(::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    }
    EXPECT_FALSE(platform::replaceFile(path, "en_US"));
    EXPECT_FALSE(platform::fileExists(path + std::string(platform::kReplaceSuffix)));
    lock.reset();
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(platform::readFile(path), "zh_CN");
    // Once the file is free again, it is replaced.
    EXPECT_TRUE(platform::replaceFile(path, "en_US"));
    EXPECT_EQ(platform::readFile(path), "en_US");
  }
}

}  // namespace
