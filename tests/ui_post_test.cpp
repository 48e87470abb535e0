// The one way from workers to the UI thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/ui_post.h"
#include "support/waits.h"

namespace {

TEST(UiPost, RunsClosuresOnThisThreadInOrderAndDropsThemOnceClosed) {
  ASSERT_TRUE(platform::openUiPost());
  const DWORD ui = ::GetCurrentThreadId();
  std::vector<int> ran;
  bool everyOnThisThread = true;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) {
      platform::postToUi([&, i] {
        ran.push_back(i);
        everyOnThisThread &= ::GetCurrentThreadId() == ui;
      });
    }
  });
  worker.join();
  EXPECT_TRUE(testing_support::waitFor([&] { return ran.size() == 200; }, 5000, true));
  EXPECT_TRUE(everyOnThisThread);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(ran[i], i);

  // Queued when the post closes, or posted after: never run, and freed.
  auto witness = std::make_shared<int>(0);
  EXPECT_TRUE(platform::postToUi([&ran, witness] { ran.push_back(-1); }));
  platform::closeUiPost();
  EXPECT_FALSE(platform::postToUi([&ran, witness] { ran.push_back(-2); }));
  testing_support::waitFor([] { return false; }, 100, true);
  EXPECT_EQ(ran.size(), 200u);
  EXPECT_EQ(witness.use_count(), 1) << "dropped closures are freed";
}

TEST(UiPost, AGuardedClosureRunsOnlyWhileItsOwnerLives) {
  ASSERT_TRUE(platform::openUiPost());
  int ran = 0;
  auto token = platform::makeLifeToken();
  platform::postToUi(platform::guarded(token, [&] { ++ran; }));
  platform::postToUi(platform::guarded(token, [&] { ++ran; }));
  testing_support::waitFor([&] { return ran == 2; }, 5000, true);
  platform::postToUi(platform::guarded(token, [&] { ++ran; }));
  token.reset();  // the owner is gone before its closure runs
  testing_support::waitFor([] { return false; }, 100, true);
  EXPECT_EQ(ran, 2);
  platform::closeUiPost();
}

}  // namespace
