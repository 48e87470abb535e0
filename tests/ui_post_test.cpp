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

// A wait on another process dispatches messages: what workers answer
// meanwhile waits for the hold to end, and then runs in the order it came,
// before what came after it.
TEST(UiPost, AHoldKeepsAnswersForAfterTheHandler) {
  ASSERT_TRUE(platform::openUiPost());
  std::vector<int> ran;
  {
    const platform::UiPostHold outer;
    {
      const platform::UiPostHold inner;
      platform::postToUi([&] { ran.push_back(1); });
      platform::postToUi([&] { ran.push_back(2); });
      // Dispatched, as the elevated step's wait does: held, not run.
      testing_support::waitFor([] { return false; }, 100, true);
    }
    testing_support::waitFor([] { return false; }, 100, true);
    EXPECT_TRUE(ran.empty()) << "held while any hold lives";
    platform::postToUi([&] { ran.push_back(3); });
  }
  EXPECT_TRUE(ran.empty()) << "run from the loop, not from the end of the hold";
  EXPECT_TRUE(testing_support::waitFor([&] { return ran.size() == 3; }, 5000, true));
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  platform::closeUiPost();
}

}  // namespace
