// application.xml is never lost: long runs of clicks with a reader beside
// them, and the program killed at random moments.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <random>
#include <thread>

#include "app/main_form.h"
#include "support/switch_fixture.h"

namespace {

using testing_support::RunningApp;
using testing_support::SwitchTest;
namespace ids = app::ids;

TEST_F(SwitchTest, ClicksWithAReaderBesideThem) {
  const std::string chinese = testing_support::sizedXml("zh_CN");
  const std::string english = testing_support::sizedXml("en_US");
  useInstall(chinese);
  RunningApp app;
  start(app);

  std::atomic<bool> done{false};
  std::atomic<int> reads{0}, missing{0}, torn{0};
  std::thread reader([&] {
    std::string contents;
    while (!done) {
      if (!testing_support::readSharingEverything(xmlPath(), contents)) {
        ++missing;
      } else if (contents != chinese && contents != english) {
        ++torn;
      }
      ++reads;
      ::Sleep(1);
    }
  });
  int switched = 0, mismatched = 0;
  std::string before = chinese;
  constexpr int kClicks = 8;
  for (int click = 0; click < kClicks; ++click) {
    app.click(ids::kSwitchButtonId);
    const std::string now = xml();
    if (now != before) ++switched;
    // The file's label is refreshed from the file as it now stands.
    const bool english = now == testing_support::sizedXml("en_US");
    if (app.text(ids::kFileLanguageId) != (english ? "英文" : "中文")) ++mismatched;
    before = now;
  }
  done = true;
  reader.join();
  EXPECT_EQ(missing, 0) << "the file was never missing";
  EXPECT_EQ(torn, 0) << "every read was the whole old or the whole new file";
  EXPECT_GT(reads, kClicks);
  EXPECT_EQ(mismatched, 0);
  // A replace loses only to a reader that keeps the file open through a
  // second of retries: on a machine busy enough to stall the reader that
  // long, some clicks may switch nothing, and say so. Whole files are the point.
  EXPECT_GE(switched, kClicks / 2) << "of " << kClicks << " clicks";
  EXPECT_FALSE(platform::fileExists(xmlPath() + std::string(platform::kReplaceSuffix)));
  EXPECT_TRUE(testing_support::closesCleanly(app));
}

TEST_F(SwitchTest, KilledAtRandomMomentsTheFileStaysWhole) {
  const std::string chinese = testing_support::sizedXml("zh_CN");
  const std::string english = testing_support::sizedXml("en_US");
  useInstall(chinese);
  std::mt19937 rng(8122026);
  std::uniform_int_distribution<int> delay(0, 1200);
  for (int run = 0; run < 10; ++run) {
    SCOPED_TRACE("run " + std::to_string(run));
    RunningApp app;
    start(app);
    // A copy left by the previous kill is gone after the next switch.
    const bool leftover = platform::fileExists(xmlPath() + std::string(platform::kReplaceSuffix));
    if (leftover) {
      app.click(ids::kSwitchButtonId);
      EXPECT_FALSE(platform::fileExists(xmlPath() + std::string(platform::kReplaceSuffix)));
    }
    testing_support::postClick(::GetDlgItem(app.window(), ids::kSwitchButtonId));
    ::Sleep(static_cast<DWORD>(delay(rng)));
    ::TerminateProcess(app.process(), 9);
    ::WaitForSingleObject(app.process(), 5000);
    const std::string now = xml();
    EXPECT_TRUE(now == chinese || now == english) << "size " << now.size();
    if (HasFailure()) break;
  }
}

}  // namespace
