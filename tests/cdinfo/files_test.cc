// The platform's file utilities as the archive assembly relies on them.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

using PlatformFiles = MediaTest;

TEST_F(PlatformFiles, BackslashPathsAndCopies) {
  std::string src = scratch_ + "/src";
  tqtest::WriteFile(src + "/tree/a", "a\n");
  tqtest::WriteFile(src + "/tree/sub/b", "b\n");
  ASSERT_EQ(0, symlink("/etc/passwd", (src + "/tree/link").c_str()));
  std::string win = scratch_ + "\\dst\\deep";
  EXPECT_EQ(1, tqDirCreate(win.c_str()));
  EXPECT_EQ(1, tqIsDir((scratch_ + "/dst/deep").c_str()));
  EXPECT_EQ(1, tqIsDirEx(win.c_str(), 0));
  EXPECT_EQ(1, tqDirCopy((src + "\\tree").c_str(), (win + "\\").c_str(), 1));
  EXPECT_EQ("b\n", tqtest::ReadFile(scratch_ + "/dst/deep/tree/sub/b"));
  char target[64] = "";
  ASSERT_GT(readlink((scratch_ + "/dst/deep/tree/link").c_str(), target, sizeof target - 1), 0);
  EXPECT_STREQ("/etc/passwd", target);  // recreated as a link, not followed

  // A single file copied into a directory keeps its name.
  EXPECT_EQ(1, tqDirCopy((src + "/tree/a").c_str(), (scratch_ + "\\f").c_str(), 1));
  EXPECT_EQ("a\n", tqtest::ReadFile(scratch_ + "/f/a"));
  EXPECT_EQ(1, tqFileCopy((src + "/tree/a").c_str(), (scratch_ + "/f").c_str(), 1));
  EXPECT_EQ(0, tqFileCopy((src + "/tree/a").c_str(), (scratch_ + "/f/a").c_str(), 0));
  EXPECT_EQ(1, tqFileCopy((src + "/tree/a").c_str(), (scratch_ + "/f/renamed").c_str(), 1));
  // Never writes through a link at the destination.
  tqtest::WriteFile(scratch_ + "/victim", "v\n");
  ASSERT_EQ(0, symlink((scratch_ + "/victim").c_str(), (scratch_ + "/f/trap").c_str()));
  EXPECT_EQ(0, tqFileCopy((src + "/tree/a").c_str(), (scratch_ + "/f/trap").c_str(), 0));
  EXPECT_EQ("v\n", tqtest::ReadFile(scratch_ + "/victim"));

  EXPECT_EQ(1, tqFileExist((scratch_ + "\\f\\a").c_str()));
  EXPECT_EQ(1, tqFileRemove((scratch_ + "\\f\\a").c_str()));
  EXPECT_EQ(0, tqFileExist((scratch_ + "/f/a").c_str()));
  EXPECT_EQ(0, tqFileRemove((scratch_ + "/f").c_str()));  // a directory
  EXPECT_EQ(0, tqFileExist(nullptr));
  EXPECT_EQ(0, tqDirCopy(nullptr, "x", 1));

  int fds = tqtest::OpenFdCount();
  TqFsDir *d = FsDirOpen((scratch_ + "\\dst\\deep\\tree").c_str());
  ASSERT_NE(nullptr, d);
  std::vector<std::string> names;
  while (const char *n = FsDirRead(d)) names.push_back(n);
  FsDirClose(d);
  EXPECT_EQ(5u, names.size());  // ".", "..", a, sub, link
  EXPECT_EQ(nullptr, FsDirOpen((scratch_ + "/none").c_str()));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

}  // namespace
}  // namespace cdtest
