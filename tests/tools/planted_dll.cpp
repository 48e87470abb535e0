// Left beside the exe under the names of DLLs Windows would look for there
// first: when loaded it leaves "<its name>.loaded" beside itself, then
// refuses to stay.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  char path[MAX_PATH + 8] = {};
  const DWORD n = ::GetModuleFileNameA(self, path, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    ::lstrcatA(path, ".loaded");
    HANDLE trace = ::CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (trace != INVALID_HANDLE_VALUE) ::CloseHandle(trace);
  }
  return FALSE;
}
