#include "support/e2e_driver.h"

#include <vector>

#include "app/main_form.h"
#include "platform/process.h"
#include "support/waits.h"

namespace testing_support {

std::string g_exePath;
std::string g_unsignedExePath;

namespace {

struct Search {
  DWORD pid;
  const std::string* title;
  bool exact;
  HWND found;
};

BOOL CALLBACK matchWindow(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != search->pid || !::IsWindowVisible(hwnd)) return TRUE;
  const std::string text = windowText(hwnd);
  if (search->exact ? text == *search->title : text.rfind(*search->title, 0) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

RunningApp::~RunningApp() {
  if (running()) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

bool RunningApp::launch(const std::string& workDir, const std::string& exe) {
  process_ = platform::startProcess("\"" + exe + "\"", SW_SHOWNORMAL, exe, workDir);
  processId_ = process_ ? ::GetProcessId(process_.get()) : 0;
  return static_cast<bool>(process_);
}

bool RunningApp::running() const {
  return process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND RunningApp::findWindow(const std::string& title, bool exact) const {
  Search search = {processId_, &title, exact, nullptr};
  ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND RunningApp::waitForWindow(const std::string& title, bool exact, DWORD timeoutMs) {
  HWND found = nullptr;
  testing_support::waitFor(
      [&] { return (found = findWindow(title, exact)) != nullptr || !running(); }, timeoutMs);
  return found;
}

bool RunningApp::waitForMainWindow(DWORD timeoutMs) {
  window_ = waitForWindow("Kelvora v", false, timeoutMs);
  return window_ != nullptr;
}

::testing::AssertionResult RunningApp::start(const std::string& workDir, DWORD timeoutMs) {
  if (!launch(workDir)) return ::testing::AssertionFailure() << "the exe did not start";
  if (!waitForMainWindow(timeoutMs)) {
    return ::testing::AssertionFailure()
           << (running() ? "no main window within the time" : "ended before its main window");
  }
  if (!testing_support::waitFor([&] { return checkDone(); }, timeoutMs)) {
    return ::testing::AssertionFailure() << "the version check never ended";
  }
  return ::testing::AssertionSuccess();
}

bool RunningApp::settled(DWORD timeoutMs) {
  // Posted messages are handled in the order posted: once the path box
  // takes this limit, whatever was queued before it has been handled. The
  // limit binds typing only, and nobody types into that box.
  static WPARAM mark = 0x10000;
  HWND edit = ::GetDlgItem(window_, app::ids::kXmlPathEditId);
  const WPARAM limit = ++mark;
  if (!edit || !::PostMessageA(edit, EM_SETLIMITTEXT, limit, 0)) return false;
  return testing_support::waitFor(
      [&] {
        DWORD_PTR now = 0;
        return ::SendMessageTimeoutA(edit, EM_GETLIMITTEXT, 0, 0, SMTO_NORMAL, 1000, &now) &&
               now == limit;
      },
      timeoutMs);
}

bool RunningApp::checkDone() const {
  return window_ && ::GetPropA(window_, app::ids::kCheckDoneProperty) != nullptr;
}

void postClick(HWND button) {
  ::PostMessageA(button, BM_CLICK, 0, 0);
}

std::string RunningApp::title() const {
  return windowText(window_);
}

std::string RunningApp::text(int controlId) const {
  return windowText(::GetDlgItem(window_, controlId));
}

bool RunningApp::enabled(int controlId) const {
  return ::IsWindowEnabled(::GetDlgItem(window_, controlId)) != FALSE;
}

DWORD RunningApp::click(int controlId) const {
  const ULONGLONG begin = ::GetTickCount64();
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(::GetDlgItem(window_, controlId), BM_CLICK, 0, 0, SMTO_NORMAL, 30000,
                        &result);
  return static_cast<DWORD>(::GetTickCount64() - begin);
}

bool RunningApp::close(DWORD& exitCode, DWORD timeoutMs) {
  ::PostMessageA(window_, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) return false;
  return ::GetExitCodeProcess(process_.get(), &exitCode) != 0;
}

::testing::AssertionResult closesCleanly(RunningApp& app) {
  DWORD code = 1234;
  if (!app.close(code)) return ::testing::AssertionFailure() << "did not end when closed";
  if (code != 0) return ::testing::AssertionFailure() << "ended with exit code " << code;
  return ::testing::AssertionSuccess();
}

HWND focusedControl(HWND window) {
  GUITHREADINFO info = {};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
  return info.hwndFocus;
}

void typeKeys(HWND window, std::initializer_list<WORD> keys) {
  ::SetForegroundWindow(window);
  std::vector<INPUT> input;
  auto add = [&](WORD key, DWORD flags) {
    INPUT one = {};
    one.type = INPUT_KEYBOARD;
    one.ki.wVk = key;
    one.ki.dwFlags = flags;
    input.push_back(one);
  };
  for (WORD key : keys) add(key, 0);
  for (auto key = keys.end(); key != keys.begin();) add(*--key, KEYEVENTF_KEYUP);
  if (!input.empty()) ::SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

}  // namespace testing_support
