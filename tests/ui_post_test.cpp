// The one way from workers to the UI thread.
#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>
#include <memory>
#include <numeric>
#include <optional>
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

// Any process may post to the window, with any parameters: the message only
// wakes the thread, and what runs is what this process queued, once each,
// in order. A closure's address in lParam (what a pointer-carrying message
// would run and free) is neither run nor freed; under Wine a bad pointer
// would not visibly crash, so the queue itself is what is looked at.
TEST(UiPost, AMessageFromOutsideRunsAndFreesNothing) {
  ASSERT_TRUE(platform::openUiPost());
  HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, "KelvoraUiPost", nullptr);
  ASSERT_NE(window, nullptr);
  constexpr UINT kWake = WM_APP + 50;  // the message the window wakes on
  bool plantedRan = false;
  auto witness = std::make_shared<int>(0);
  const auto planted =
      std::make_unique<std::function<void()>>([&plantedRan, witness] { plantedRan = true; });
  const auto address = reinterpret_cast<LPARAM>(planted.get());
  struct Row {
    const char* what;
    WPARAM wParam;
    LPARAM lParam;
    bool held;  // our closure waits behind a hold meanwhile
  };
  const Row rows[] = {
      {"no parameters", 0, 0, false},
      {"a closure's address", 0, address, false},
      {"a closure's address and a wParam", 7, address, false},
      {"a closure's address while ours is held", 0, address, true},
      {"an address nobody owns", 0, 0x10, false},
      {"every bit set", ~WPARAM{0}, ~LPARAM{0}, false},
  };
  std::vector<int> ran;
  for (int i = 0; i < static_cast<int>(std::size(rows)); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(row.what);
    {
      std::optional<platform::UiPostHold> hold;
      if (row.held) hold.emplace();
      // Before ours, with nothing queued, and after it.
      ASSERT_TRUE(::PostMessageA(window, kWake, row.wParam, row.lParam));
      ASSERT_TRUE(platform::postToUi([&ran, i] { ran.push_back(i); }));
      ASSERT_TRUE(::PostMessageA(window, kWake, row.wParam, row.lParam));
      if (row.held) {
        testing_support::waitFor([] { return false; }, 100, true);
        EXPECT_EQ(ran.size(), static_cast<std::size_t>(i)) << "held, whoever wakes the window";
      }
    }
    // Ours runs after the message before it, and once.
    EXPECT_TRUE(testing_support::waitFor([&] { return ran.size() > static_cast<std::size_t>(i); },
                                         5000, true));
  }
  // The last messages were dispatched before this one ran.
  bool last = false;
  ASSERT_TRUE(platform::postToUi([&last] { last = true; }));
  EXPECT_TRUE(testing_support::waitFor([&] { return last; }, 5000, true));
  std::vector<int> each(std::size(rows));
  std::iota(each.begin(), each.end(), 0);
  EXPECT_EQ(ran, each) << "each queued closure once, in order";
  EXPECT_FALSE(plantedRan);
  EXPECT_EQ(witness.use_count(), 2) << "the planted closure is still alive: nothing freed it";
  platform::closeUiPost();
}

}  // namespace
