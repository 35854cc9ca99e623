// The platform's short path names: the same file under its plainest name,
// filled into the caller's buffer with the length returned.
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tq_test.h"

namespace {

class ShortPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = tqtest::MakeTempDir("short");
    ASSERT_EQ(0, mkdir((base_ + "/a").c_str(), 0755));
    ASSERT_EQ(0, mkdir((base_ + "/a/b").c_str(), 0755));
  }
  void TearDown() override { tqtest::RemoveTree(base_); }

  // Short form of path, or "<rc>" on failure.
  std::string Short(const std::string &path, int capacity = 512) {
    char buf[512];
    memset(buf, 'X', sizeof buf);
    int n = tqGetShortPathName(path.c_str(), buf, capacity);
    if (n <= 0) return "<" + std::to_string(n) + ">";
    EXPECT_EQ(static_cast<size_t>(n), strlen(buf));
    return buf;
  }

  std::string base_;
};

TEST_F(ShortPathTest, RedundantSpellingsFold) {
  EXPECT_EQ(base_ + "/a/b", Short(base_ + "/a/b"));
  EXPECT_EQ(base_ + "/a/b", Short(base_ + "//a/./b/"));
  EXPECT_EQ(base_ + "/a", Short(base_ + "/a/b/.."));
  EXPECT_EQ(base_ + "/a/b", Short(base_ + "/a/b/../b"));
  std::string back = base_ + "\\a\\b";
  EXPECT_EQ(base_ + "/a/b", Short(back));
  EXPECT_EQ("/", Short("/"));
  EXPECT_EQ("/", Short("/../.."));
}

TEST_F(ShortPathTest, DotDotAfterASymbolicLinkStaysTheSameFile) {
  ASSERT_EQ(0, symlink((base_ + "/a/b").c_str(), (base_ + "/link").c_str()));
  ASSERT_EQ(0, mkdir((base_ + "/a/c").c_str(), 0755));
  // link/.. is a/, so link/../c is a/c: lexical folding would give base/c.
  EXPECT_EQ(base_ + "/a/c", Short(base_ + "/link/../c"));
}

TEST_F(ShortPathTest, FailuresAndBufferLimits) {
  char buf[64];
  EXPECT_EQ(-1, tqGetShortPathName(nullptr, buf, sizeof buf));
  EXPECT_EQ(-1, tqGetShortPathName("", buf, sizeof buf));
  EXPECT_EQ(-1, tqGetShortPathName("/", nullptr, sizeof buf));
  EXPECT_EQ(-1, tqGetShortPathName("/", buf, 0));
  EXPECT_EQ("<0>", Short(base_ + "/missing"));

  // Exactly fitting (length + terminator) succeeds; one byte less fails and
  // leaves the buffer alone.
  std::string want = base_ + "/a/b";
  int cap = static_cast<int>(want.size()) + 1;
  EXPECT_EQ(want, Short(base_ + "/a/./b", cap));
  char small[512];
  memset(small, 'X', sizeof small);
  EXPECT_EQ(0, tqGetShortPathName((base_ + "/a/b").c_str(), small, cap - 1));
  EXPECT_EQ('X', small[0]);
}

}  // namespace
