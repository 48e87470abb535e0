// The UI thread's message loop and its waits: those that keep dispatching
// messages, and the one that does not. UI thread only; a worker waits on
// its own events instead.
#pragma once

namespace platform {

// Runs the message loop until WM_QUIT; returns its exit code.
int runMessageLoop();

// Asks the message loop of this thread to end with `exitCode`.
void quitMessageLoop(int exitCode);

// Blocks the calling thread; the window does not respond meanwhile.
void pause(unsigned milliseconds);

// Dispatches every message waiting for this thread, once. A WM_QUIT taken
// here is posted again so that the message loop still sees it; the result
// is false then.
bool processPendingMessages();

// Waits `milliseconds` while still dispatching this thread's messages; ends
// early when the program is asked to quit.
void pauseProcessingMessages(unsigned milliseconds);

// Waits until `object` (a process, an event) is signalled while still
// dispatching this thread's messages. A quit asked for meanwhile is kept for
// the message loop, and the wait goes on: what is waited for is another
// process's work, which must not be left half seen.
void waitProcessingMessages(void* object);

}  // namespace platform
