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

std::optional<std::string> cleanupScriptFor(std::string_view runDirectory, std::string_view exeName,
                                            std::u16string_view widePath,
                                            std::u16string_view roundTrip,
                                            const platform::LeadBytes& lead) {
  const std::string exePath = platform::joinPathAsIs(runDirectory, '\\', exeName);
  if (widePath.empty() || widePath != roundTrip ||
      platform::findLastOf(exePath, "\"?*", lead) != std::string::npos) {
    return std::nullopt;
  }
  return cleanupScript(runDirectory, exeName);
}

}  // namespace update
