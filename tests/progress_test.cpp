#include "update/cleanup_script.h"
#include "update/progress.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(RoundTo, HalvesAwayFromZero) {
  struct Case {
    double x;
    int decimals;
    double expected;
  };
  const Case cases[] = {
      {0, 2, 0},        {0.5, 0, 1},     {1.5, 0, 2},      {2.5, 0, 3},      {-0.5, 0, -1},
      {-2.5, 0, -3},    {0.4999, 0, 0},  {1.005, 2, 1.01}, {0.285, 2, 0.29}, {-0.285, 2, -0.29},
      {1.234, 2, 1.23}, {49.999, 0, 50}, {3.0, 2, 3.0},    {1.5, 2, 1.5},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(update::roundTo(c.x, c.decimals), c.expected) << c.x << " to " << c.decimals;
  }
}

TEST(ProgressText, ReadsAsTheWindowShowsIt) {
  EXPECT_EQ(update::formatNumber(1.5), "1.5");
  EXPECT_EQ(update::formatNumber(3.0), "3");
  EXPECT_EQ(update::formatNumber(0), "0");
  EXPECT_EQ(update::percentOf(1572864, 3145728), 50);
  EXPECT_EQ(update::progressText(1572864, 3145728, 50), "正在下载:1.5MB/3MB  进度:50%");
  // Before the total is known: 0 and no division by zero.
  EXPECT_EQ(update::percentOf(12345, 0), 0);
  EXPECT_EQ(update::progressText(0, 0, 0), "正在下载:0MB/0MB  进度:0%");
  EXPECT_EQ(update::percentOf(3145728, 3145728), 100);
  EXPECT_EQ(update::percentOf(1, 3), 33);
  EXPECT_EQ(update::progressText(1048576 / 3, 64 * 1048576LL, 1), "正在下载:0.33MB/64MB  进度:1%");
}

TEST(DownloadFailedText, NamesTheReasonOnce) {
  using F = platform::DownloadFailure;
  // Each reason its own sentence; the server's status where it helps.
  const F reasons[] = {F::Status, F::Short, F::TooLong, F::Hash, F::Head, F::Write};
  std::set<std::string> seen;
  for (F reason : reasons) {
    const std::string text = update::downloadFailedText(reason, 0);
    EXPECT_EQ(text.rfind("新版本下载失败", 0), 0u) << text;
    EXPECT_TRUE(seen.insert(text).second) << "said for two reasons: " << text;
  }
  EXPECT_NE(update::downloadFailedText(F::Status, 404).find("HTTP 404"), std::string::npos);
  EXPECT_NE(update::downloadFailedText(F::Status, 0), update::downloadFailedText(F::Status, 503));
}

TEST(CleanupScript, ExactBytes) {
  EXPECT_EQ(update::cleanupScript("C:\\Tools\\Kelvora", "Kelvora.exe"),
            "  Dim fso\r\n"
            "  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
            "  Wscript.Sleep(1000)\r\n"
            "  fso.DeleteFile(\"C:\\Tools\\Kelvora\\Kelvora.exe\")\r\n"
            "  fso.DeleteFile(\"C:\\Tools\\Kelvora\\tem.vbs\")");
}

}  // namespace
