#include "update/cleanup_script.h"

#include "platform/path.h"

namespace update {

std::string cleanupScript(std::string_view runDirectory, std::string_view exeName) {
  std::string text =
      "  Dim fso\r\n  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
      "  Wscript.Sleep(1000)\r\n  fso.DeleteFile(\"";
  text += platform::joinPathAsIs(runDirectory, '\\', exeName);
  text += "\")";
  text += "\r\n  fso.DeleteFile(\"";
  text += platform::joinPathAsIs(runDirectory, '\\', kCleanupScriptName);
  text += "\")";
  return text;
}

}  // namespace update
