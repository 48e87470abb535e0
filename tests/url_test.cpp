#include "platform/url.h"

#include <gtest/gtest.h>

namespace {

TEST(RedirectAllowed, NeverLeavesHttps) {
  struct Case {
    const char *from, *to;
    bool allowed;
  };
  const Case cases[] = {
      {"https://u.example/k/version.txt", "https://cdn.example/k/version.txt", true},
      {"https://u.example/k/version.txt", "HTTPS://cdn.example/v", true},
      {"https://u.example/k/version.txt", "http://u.example/k/version.txt", false},
      {"HTTPS://u.example/", "http://u.example/", false},
      {"https://u.example/", "ftp://u.example/Kelvora.exe", false},
      {"https://u.example/", "file:///C:/Kelvora.exe", false},
      {"https://u.example/", "httpsx://u.example/", false},
      {"http://127.0.0.1/k/", "http://127.0.0.1/moved/", true},
      {"http://127.0.0.1/k/", "https://u.example/k/", true},
      {"http://127.0.0.1/k/", "ftp://127.0.0.1/", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::redirectAllowed(c.from, c.to), c.allowed) << c.from << " -> " << c.to;
  }
}

TEST(JoinUrl, OneSlashBeforeTheLastComponent) {
  EXPECT_EQ(platform::joinUrl("http://h/k/", "version.txt"), "http://h/k/version.txt");
  EXPECT_EQ(platform::joinUrl("http://h/k", "Kelvora.exe"), "http://h/k/Kelvora.exe");
}

}  // namespace
