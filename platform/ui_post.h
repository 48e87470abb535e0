// The one way from any thread to the UI thread: a closure posted here runs
// there, in the order posted, inside the message loop (or any pause that
// dispatches messages). Workers never touch a window themselves. The
// closures wait in a queue inside this process; the window's message only
// wakes the UI thread and carries nothing, so a message that another process
// posts to it runs nothing and frees nothing.
#pragma once

#include <functional>
#include <memory>
#include <utility>

namespace platform {

// Makes the message-only window that wakes for the closures, on the thread
// that will run them. Call on the UI thread before any worker starts; false
// when Windows refuses. One at a time per process.
bool openUiPost();

// Destroys that window; closures still queued, and any posted later, are
// dropped without running (and freed). UI thread.
void closeUiPost() noexcept;

// Queues `closure` to run on the UI thread. Any thread. False (and the
// closure dropped) when no window is open.
bool postToUi(std::function<void()> closure);

// While one is alive, closures that reach the UI thread wait, in the order
// they came, and run only after the last hold has ended and the handler that
// made it has returned: a wait on another process that dispatches messages
// (the elevated step) then never runs a worker's answer in the middle of the
// handler that is waiting. UI thread only.
class UiPostHold {
 public:
  UiPostHold();
  ~UiPostHold();
  UiPostHold(const UiPostHold&) = delete;
  UiPostHold& operator=(const UiPostHold&) = delete;
};

// For objects that workers post closures about: a closure built with
// `guarded` runs only while the owner of the token lives. The owner creates
// the token and destroys it on the UI thread, where the closure runs, so the
// check cannot race.
using LifeToken = std::shared_ptr<const bool>;
inline LifeToken makeLifeToken() {
  return std::make_shared<const bool>(true);
}
template <typename F>
auto guarded(const LifeToken& token, F f) {
  return [alive = std::weak_ptr<const bool>(token), f = std::move(f)](auto&&... args) mutable {
    if (alive.lock()) f(std::forward<decltype(args)>(args)...);
  };
}

}  // namespace platform
