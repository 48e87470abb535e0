#include "update/cleanup_script.h"
#include "update/progress.h"

#include <gtest/gtest.h>

#include <optional>

#include "support/code_pages.h"

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

TEST(DownloadFailedText, EachReasonItsOwnSentence) {
  using F = platform::DownloadFailure;
  struct Case {
    F reason;
    unsigned long status;  // the server's answer; 0: none came
    const char* text;
  };
  const Case cases[] = {
      {F::Status, 0, "新版本下载失败：无法连接更新服务器，请检查网络后重试。"},
      {F::Status, 404, "新版本下载失败：更新服务器没有提供新版本文件（HTTP 404），请稍后重试。"},
      {F::Status, 503, "新版本下载失败：更新服务器没有提供新版本文件（HTTP 503），请稍后重试。"},
      {F::Short, 200, "新版本下载失败：连接中断，文件没有下载完整，请重试。"},
      {F::TooLong, 200, "新版本下载失败：收到的文件比新版本应有的大，已丢弃。"},
      {F::Hash, 200, "新版本下载失败：文件校验不符（可能在传输中被改动），已丢弃。"},
      {F::Head, 200, "新版本下载失败：收到的不是程序文件，已丢弃。"},
      {F::Write, 200, "新版本下载失败：无法保存文件，请检查磁盘空间和文件夹权限。"},
      {F::Stopped, 0, "新版本下载失败，已保留当前版本。"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(update::downloadFailedText(c.reason, c.status), c.text)
        << static_cast<int>(c.reason) << " " << c.status;
  }
}

TEST(CleanupScript, ExactBytesOnlyForANameThatDeletesExactlyItself) {
  const std::string plain =
      "  Dim fso\r\n"
      "  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
      "  Wscript.Sleep(1000)\r\n"
      "  fso.DeleteFile(\"C:\\Tools\\Kelvora\\Kelvora.exe\")\r\n"
      "  fso.DeleteFile(\"C:\\Tools\\Kelvora\\tem.vbs\")";
  struct Case {
    const char* what;
    std::string directory, name;
    std::u16string wide, roundTrip;
    std::optional<std::string> script;
  };
  const std::u16string wide = u"C:\\Tools\\Kelvora\\Kelvora.exe";
  const Case cases[] = {
      {"plain", "C:\\Tools\\Kelvora", "Kelvora.exe", wide, wide, plain},
      {"double-byte folder", "C:\\\xB9\xA4\xBE\xDF", "Kelvora.exe", u"C:\\工具\\Kelvora.exe",
       u"C:\\工具\\Kelvora.exe",
       "  Dim fso\r\n"
       "  Set fso = CreateObject(\"Scripting.FileSystemObject\")\r\n"
       "  Wscript.Sleep(1000)\r\n"
       "  fso.DeleteFile(\"C:\\\xB9\xA4\xBE\xDF\\Kelvora.exe\")\r\n"
       "  fso.DeleteFile(\"C:\\\xB9\xA4\xBE\xDF\\tem.vbs\")"},
      {"a quote ends the string", "C:\\Tools", "K\".exe", u"C:\\Tools\\K\".exe",
       u"C:\\Tools\\K\".exe", std::nullopt},
      {"? is a wildcard", "C:\\Tools", "K?.exe", u"C:\\Tools\\K?.exe", u"C:\\Tools\\K?.exe",
       std::nullopt},
      {"* in the folder", "C:\\T*", "Kelvora.exe", u"C:\\T*\\Kelvora.exe", u"C:\\T*\\Kelvora.exe",
       std::nullopt},
      // Cyrillic a: best fit names another file, without best fit it is "?".
      {"no round trip", "C:\\Tools", "Kelvora.exe", u"C:\\Tools\\Kelvor\u0430.exe",
       u"C:\\Tools\\Kelvor?.exe", std::nullopt},
      {"no wide name", "C:\\Tools", "Kelvora.exe", u"", u"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(update::cleanupScriptFor(c.directory, c.name, c.wide, c.roundTrip,
                                       testing_support::cp936()),
              c.script);
  }
}

}  // namespace
