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

}  // namespace update

namespace update {

std::string downloadFailedText(platform::DownloadFailure failure, unsigned long status) {
  using platform::DownloadFailure;
  switch (failure) {
    case DownloadFailure::Status:
      if (status == 0) return "新版本下载失败：无法连接更新服务器，请检查网络后重试。";
      return "新版本下载失败：更新服务器没有提供新版本文件（HTTP " + std::to_string(status) +
             "），请稍后重试。";
    case DownloadFailure::Short:
      return "新版本下载失败：连接中断，文件没有下载完整，请重试。";
    case DownloadFailure::TooLong:
      return "新版本下载失败：收到的文件比新版本应有的大，已丢弃。";
    case DownloadFailure::Hash:
      return "新版本下载失败：文件校验不符（可能在传输中被改动），已丢弃。";
    case DownloadFailure::Head:
      return "新版本下载失败：收到的不是程序文件，已丢弃。";
    case DownloadFailure::Write:
      return "新版本下载失败：无法保存文件，请检查磁盘空间和文件夹权限。";
    case DownloadFailure::Stopped:
      break;
  }
  return "新版本下载失败，已保留当前版本。";
}

}  // namespace update
