#include "e2e_driver.h"

namespace e2e {

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

std::string windowText(HWND hwnd) {
  char buffer[4096] = {};
  DWORD_PTR got = 0;
  if (!::SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer),
                             SMTO_ABORTIFHUNG, 5000, &got)) {
    return {};
  }
  return std::string(buffer, got);
}

RunningApp::~RunningApp() {
  if (process_ && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT) {
    ::TerminateProcess(process_.get(), 99);
    ::WaitForSingleObject(process_.get(), 5000);
  }
}

bool RunningApp::launch(const std::string& workDir, const std::string& exe) {
  std::string command = "\"" + exe + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info = {};
  if (!::CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workDir.c_str(), &startup, &info)) {
    return false;
  }
  process_.reset(info.hProcess);
  platform::UniqueKernelHandle thread(info.hThread);
  processId_ = info.dwProcessId;
  return true;
}

HWND RunningApp::findWindow(const std::string& title, bool exact) const {
  Search search = {processId_, &title, exact, nullptr};
  ::EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND RunningApp::waitForWindow(const std::string& title, bool exact, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  while (::GetTickCount64() < end) {
    if (HWND found = findWindow(title, exact)) return found;
    if (::WaitForSingleObject(process_.get(), 50) == WAIT_OBJECT_0) return nullptr;
  }
  return nullptr;
}

bool RunningApp::waitForMainWindow(DWORD timeoutMs) {
  window_ = waitForWindow("Kelvora v", false, timeoutMs);
  return window_ != nullptr;
}

bool RunningApp::start(const std::string& workDir, DWORD timeoutMs) {
  return launch(workDir) && waitForMainWindow(timeoutMs);
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

}  // namespace e2e
