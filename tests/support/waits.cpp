#include "support/waits.h"

#include "platform/message_loop.h"

namespace testing_support {

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs, bool pumpMessages,
             DWORD intervalMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (pumpMessages) platform::processPendingMessages();
    if (condition()) return true;
    if (::GetTickCount64() >= end) return false;
    ::Sleep(intervalMs);
  }
}

}  // namespace testing_support
