#include <windows.h>
#include <commctrl.h>

#include <float.h>

#include "app/command_line.h"
#include "app/elevated.h"
#include "app/program.h"
#include "platform/system_library.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // Before anything can load a DLL: a program started from Downloads must
  // never run a DLL that someone left there. comctl32 is loaded only after
  // this, from the system folder.
  platform::restrictDllSearchToSystem();
  const app::Verb verb = app::parseCommandLine(::GetCommandLineA());
  // The switch and a refusal show nothing: they load no common controls,
  // which would cost a deployment script's every run some 50 ms.
  if (verb != app::Verb::Window && verb != app::Verb::Update) return app::runElevatedStep(verb);
  _fpreset();
  platform::initCommonControls(ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS);
  if (verb == app::Verb::Update) return app::runElevatedStep(verb);

  static app::Program program;
  return program.run();
}
