// Polling waits of the tests.
#pragma once

#include <windows.h>

#include <functional>

namespace testing_support {

// Polls `condition` every `intervalMs` until it holds or `timeoutMs` have
// passed; true when it held. With `pumpMessages`, this thread's messages are
// dispatched meanwhile (the download engine delivers its events through them).
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs, bool pumpMessages = false,
             DWORD intervalMs = 10);

}  // namespace testing_support
