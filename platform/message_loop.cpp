#include "platform/message_loop.h"

#include <windows.h>

#include "platform/form.h"

namespace platform {

int runMessageLoop() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) dispatchMessage(msg);
  return static_cast<int>(msg.wParam);
}

void quitMessageLoop(int exitCode) {
  ::PostQuitMessage(exitCode);
}

void pause(unsigned milliseconds) {
  ::Sleep(milliseconds);
}

bool processPendingMessages() {
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    dispatchMessage(msg);
  }
  return true;
}

void pauseProcessingMessages(unsigned milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  for (;;) {
    if (!processPendingMessages()) return;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
  }
}

void waitProcessingMessages(void* object) {
  bool quit = false;
  int quitCode = 0;
  for (;;) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &object, FALSE, INFINITE, QS_ALLINPUT);
    if (woke != WAIT_OBJECT_0 + 1) break;  // signalled, or a handle that cannot be waited on
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        quit = true;
        quitCode = static_cast<int>(msg.wParam);
        continue;
      }
      dispatchMessage(msg);
    }
  }
  if (quit) ::PostQuitMessage(quitCode);
}

}  // namespace platform
