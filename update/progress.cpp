#include "update/progress.h"

#include <cmath>
#include <cstdio>

namespace update {

double roundTo(double x, int decimals) {
  if (x == 0) return 0;
  const double scale = std::pow(10.0, decimals);
  const double y = std::fabs(x) * scale + 0.000000000001;
  const double whole = std::floor(y);
  const double rounded = (y - whole >= 0.5 ? whole + 1 : whole) / scale;
  return x < 0 ? -rounded : rounded;
}

std::string formatNumber(double x) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.13g", x);
  return buffer;
}

int percentOf(long long received, long long total) {
  if (total <= 0) return 0;
  return static_cast<int>(roundTo(static_cast<double>(received) / total * 100, 0));
}

std::string progressText(long long received, long long total, int position) {
  constexpr double kMiB = 1048576;
  std::string text = "正在下载:";
  text += formatNumber(roundTo(received / kMiB, 2));
  text += "MB/";
  text += formatNumber(roundTo(total / kMiB, 2));
  text += "MB  进度:";
  text += std::to_string(position);
  text += "%";
  return text;
}

std::string cleanupScript(std::string_view runDirectory, std::string_view exeName) {
  const std::string dir = std::string(runDirectory) + "\\";
  std::string text =
      "  Dim fso\r\n  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
      "  Wscript.Sleep(1000)\r\n  fso.DeleteFile(\"";
  text += dir;
  text += exeName;
  text += "\")";
  text += "\r\n  fso.DeleteFile(\"";
  text += dir;
  text += "tem.vbs";
  text += "\")";
  return text;
}

std::optional<std::string> parseSha256Line(std::string_view body) {
  constexpr std::string_view kKey = "sha256=";
  std::size_t at = 0;
  while ((at = body.find(kKey, at)) != std::string_view::npos) {
    const bool lineStart = at == 0 || body[at - 1] == '\n' || body[at - 1] == '\r';
    const std::size_t begin = at + kKey.size();
    at = begin;
    if (!lineStart || body.size() < begin + 64) continue;
    std::string hex;
    for (std::size_t i = begin; i < begin + 64; ++i) {
      char c = body[i];
      if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) break;
      hex += c;
    }
    const std::size_t end = begin + 64;
    const bool lineEnd = end == body.size() || body[end] == '\r' || body[end] == '\n';
    if (hex.size() == 64 && lineEnd) return hex;
  }
  return std::nullopt;
}

}  // namespace update
