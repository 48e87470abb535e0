// Starts the real Kelvora.exe and drives its windows through window messages
// and keyboard input, as a user would.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "platform/handles.h"
#include "support/window_text.h"

namespace testing_support {

// Windows path of the exe under test; set from the command line by main().
extern std::string g_exePath;
// The same program built without an update key, where a test program has one.
extern std::string g_unsignedExePath;

class RunningApp {
 public:
  RunningApp() = default;
  ~RunningApp();  // kills the process if a test left it running
  RunningApp(const RunningApp&) = delete;
  RunningApp& operator=(const RunningApp&) = delete;

  // Starts the exe in `workDir` and waits until its main window is shown
  // and its start-up version check has ended (so that nothing changes the
  // labels any more on its own).
  // A failure says which step did not come.
  ::testing::AssertionResult start(const std::string& workDir, DWORD timeoutMs = 30000);
  // Whether the start-up version check has run its last step.
  bool checkDone() const;
  // Starts the exe without waiting for anything.
  bool launch(const std::string& workDir, const std::string& exe = g_exePath);
  // Waits for the process's visible top-level window whose title starts with
  // `title` (exactly equal when `exact`); nullptr on time-out or exit.
  HWND waitForWindow(const std::string& title, bool exact, DWORD timeoutMs);
  bool waitForMainWindow(DWORD timeoutMs = 30000);
  // Waits until the program's UI thread has handled every message posted to
  // it before this call (a posted edit-control message is its mark); false
  // on time-out. What a worker had handed to that thread has run by then.
  bool settled(DWORD timeoutMs = 15000);
  // Whether the process shows such a window right now.
  HWND findWindow(const std::string& title, bool exact) const;
  HWND window() const { return window_; }
  DWORD processId() const { return processId_; }
  HANDLE process() const { return process_.get(); }
  bool running() const;

  std::string title() const;
  std::string text(int controlId) const;
  bool enabled(int controlId) const;
  // Sends BM_CLICK and returns how long the click's handler ran, in ms.
  DWORD click(int controlId) const;
  // Asks the window to close; true when the process ended in time, with its code.
  bool close(DWORD& exitCode, DWORD timeoutMs = 15000);

 private:
  platform::UniqueKernelHandle process_;
  DWORD processId_ = 0;
  HWND window_ = nullptr;
};

// The window is asked to close, and the program ends with exit code 0.
::testing::AssertionResult closesCleanly(RunningApp& app);

// Posts BM_CLICK: for buttons whose handler opens a modal box, which a sent
// click would wait for.
void postClick(HWND button);

// The control that has the keyboard focus in `window`'s thread.
HWND focusedControl(HWND window);

// Brings `window` to the front and types keys into it as the keyboard would:
// each of `keys` pressed in order, all released in reverse (so {VK_MENU, 'Q'}
// is Alt+Q). Returns at once: wait on what the keys should do.
void typeKeys(HWND window, std::initializer_list<WORD> keys);

}  // namespace testing_support
