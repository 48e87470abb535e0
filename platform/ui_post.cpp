#include "platform/ui_post.h"

#include <windows.h>

#include <memory>
#include <mutex>
#include <vector>

namespace platform {
namespace {

constexpr char kClass[] = "KelvoraUiPost";
constexpr UINT kRun = WM_APP + 50;

// Guards the window handle against a post racing with the close.
std::mutex g_mutex;
HWND g_window = nullptr;

using Closure = std::function<void()>;

// UI thread only: the holds alive, and what came meanwhile, in order.
int g_holds = 0;
std::vector<std::unique_ptr<Closure>> g_held;

LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != kRun) return ::DefWindowProcA(hwnd, message, wParam, lParam);
  std::unique_ptr<Closure> closure(reinterpret_cast<Closure*>(lParam));
  if (g_holds > 0) {
    g_held.push_back(std::move(closure));
    return 0;
  }
  try {
    if (closure && *closure) (*closure)();
  } catch (...) {  // nothing may unwind through the system's frames
  }
  return 0;
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
  {
    std::lock_guard lock(g_mutex);
    window = g_window;
    g_window = nullptr;
  }
  if (!window) return;
  // What is still queued is dropped: freed, never run.
  MSG msg;
  while (::PeekMessageA(&msg, window, kRun, kRun, PM_REMOVE)) {
    delete reinterpret_cast<Closure*>(msg.lParam);
  }
  ::DestroyWindow(window);
}

UiPostHold::UiPostHold() {
  ++g_holds;
}

UiPostHold::~UiPostHold() {
  if (--g_holds > 0 || g_held.empty()) return;
  std::vector<std::unique_ptr<Closure>> held;
  held.swap(g_held);
  std::lock_guard lock(g_mutex);
  if (!g_window) return;  // closed meanwhile: dropped, as queued ones are
  // Behind them in the queue may stand later ones: those go after, in order.
  MSG msg;
  while (::PeekMessageA(&msg, g_window, kRun, kRun, PM_REMOVE)) {
    held.emplace_back(reinterpret_cast<Closure*>(msg.lParam));
  }
  for (auto& closure : held) {
    if (::PostMessageA(g_window, kRun, 0, reinterpret_cast<LPARAM>(closure.get()))) {
      closure.release();
    }
  }
}

bool postToUi(std::function<void()> closure) {
  auto owned = std::make_unique<Closure>(std::move(closure));
  std::lock_guard lock(g_mutex);
  if (!g_window || !::PostMessageA(g_window, kRun, 0, reinterpret_cast<LPARAM>(owned.get()))) {
    return false;
  }
  owned.release();  // the window procedure or closeUiPost frees it
  return true;
}

}  // namespace platform
