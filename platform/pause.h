// Pauses of the UI thread.
#pragma once

namespace platform {

// Blocks the calling thread; the window does not respond meanwhile.
void pause(unsigned milliseconds);

// Dispatches every message waiting for this thread, once. A WM_QUIT taken
// here is posted again so that the message loop still sees it; the result
// is false then.
bool processPendingMessages();

// Waits `milliseconds` while still dispatching this thread's messages; ends
// early when the program is asked to quit.
void pauseProcessingMessages(unsigned milliseconds);

}  // namespace platform
