#include <windows.h>
#include <commctrl.h>

#include <float.h>

#include "app/program.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL: an administrator program started from
  // Downloads must never run a DLL that someone left there.
  platform::restrictDllSearchToSystem();
  _fpreset();
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  ::InitCommonControlsEx(&controls);

  static app::Program program;
  return program.run();
}
