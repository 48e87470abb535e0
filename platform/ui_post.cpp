#include "platform/ui_post.h"

#include <windows.h>

#include <deque>
#include <mutex>

namespace platform {
namespace {

constexpr char kClass[] = "KelvoraUiPost";
// Only wakes the UI thread: the closures wait in g_queue, inside this
// process. Its parameters are never read, so that a message from anyone else
// (any process may post to a window) runs and frees nothing of its choosing.
constexpr UINT kWake = WM_APP + 50;

using Closure = std::function<void()>;

// Guards the window handle and the queue against posts from workers.
std::mutex g_mutex;
HWND g_window = nullptr;
std::deque<Closure> g_queue;

// UI thread only: the holds alive. Closures wait in the queue meanwhile.
int g_holds = 0;

// Takes the oldest closure off the queue; false when there is none.
bool takeNext(Closure& next) {
  std::lock_guard lock(g_mutex);
  if (!g_window || g_queue.empty()) return false;
  next = std::move(g_queue.front());
  g_queue.pop_front();
  return true;
}

// Runs what is queued, oldest first, one at a time, until the queue is
// empty or a hold begins.
void runQueued() {
  Closure next;
  while (g_holds == 0 && takeNext(next)) {
    try {
      if (next) next();
    } catch (...) {  // nothing may unwind through the system's frames
    }
    next = nullptr;
  }
}

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kWake) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  runQueued();
  return 0;
}

// Asks the UI thread to look at the queue. Under the lock.
bool wake() {
  return g_window && ::PostMessageA(g_window, kWake, 0, 0);
}

}  // namespace

bool openUiPost() {
  HINSTANCE instance = ::GetModuleHandleA(nullptr);
  WNDCLASSEXA wc = {};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = windowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kClass;
  ::RegisterClassExA(&wc);  // fails harmlessly when already registered
  HWND window =
      ::CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!window) return false;
  std::lock_guard lock(g_mutex);
  if (g_window) {
    ::DestroyWindow(window);
    return false;
  }
  g_window = window;
  return true;
}

void closeUiPost() noexcept {
  HWND window = nullptr;
  std::deque<Closure> dropped;
  {
    std::lock_guard lock(g_mutex);
    window = g_window;
    g_window = nullptr;
    dropped.swap(g_queue);
  }
  // What is still queued is dropped: freed here, outside the lock, never run.
  dropped.clear();
  if (!window) return;
  MSG msg;
  while (::PeekMessageA(&msg, window, kWake, kWake, PM_REMOVE)) {
  }
  ::DestroyWindow(window);
}

UiPostHold::UiPostHold() {
  ++g_holds;
}

UiPostHold::~UiPostHold() {
  if (--g_holds > 0) return;
  // What came meanwhile runs from the loop, in the order it came, once the
  // handler that held it has returned.
  std::lock_guard lock(g_mutex);
  if (!g_queue.empty()) wake();
}

bool postToUi(std::function<void()> closure) {
  std::lock_guard lock(g_mutex);
  if (!g_window) return false;
  // One wake for a queue that was empty: one already sent, or a hold's end,
  // reaches what joins it later.
  const bool first = g_queue.empty();
  g_queue.push_back(std::move(closure));
  if (first && !wake()) {
    g_queue.pop_back();
    return false;
  }
  return true;
}

}  // namespace platform
