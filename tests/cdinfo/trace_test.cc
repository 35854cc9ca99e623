// The trace log: record format, verbatim strings, directory creation,
// bounded message area and a symlink-safe open.
#include <regex>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cdinfo_test.h"

namespace cdtest {
namespace {

using TraceLog = MediaTest;

TEST_F(TraceLog, RecordFormatAndVerbatimStrings) {
  struct stat st;
  ASSERT_NE(0, stat((sysroot_ + "/opt").c_str(), &st));  // nothing yet
  Debug("only", nullptr);
  Debug("label", "value with %s and %d", nullptr);
  Debug("a", "", "c", nullptr);
  std::vector<std::string> lines = Lines(TraceText());
  ASSERT_EQ(3u, lines.size());
  const std::string stamp = R"(\[ [A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9]\d \d\d:\d\d:\d\d \d{4} \]\t\t)";
  EXPECT_TRUE(std::regex_match(lines[0], std::regex(stamp + " only ")) ) << lines[0];
  EXPECT_TRUE(std::regex_match(lines[1], std::regex(stamp + R"( label value with %s and %d )")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], std::regex(stamp + " a  c "))) << lines[2];
  EXPECT_TRUE(stat((sysroot_ + "/opt/TQInstLog").c_str(), &st) == 0 && S_ISDIR(st.st_mode));
  ASSERT_EQ(0, stat(TracePath().c_str(), &st));
  EXPECT_EQ(0u, st.st_mode & 022) << "log must not be writable by others";
}

TEST_F(TraceLog, LongRecordIsCutToTheMessageArea) {
  std::string big(5000, 'x');
  Debug("head", big.c_str(), big.c_str(), nullptr);
  Debug("next", nullptr);
  std::vector<std::string> lines = Lines(TraceText());
  ASSERT_EQ(2u, lines.size());
  size_t tabs = lines[0].find("\t\t");
  ASSERT_NE(std::string::npos, tabs);
  std::string message = lines[0].substr(tabs + 2) + "\n";
  EXPECT_EQ(1023u, message.size());
  EXPECT_EQ(" head xxx", message.substr(0, 9));
  EXPECT_EQ("x \n", message.substr(message.size() - 3));
  EXPECT_NE(std::string::npos, lines[1].find(" next "));
}

TEST_F(TraceLog, CreateElgFilePath) {
  EXPECT_EQ(nullptr, CDINFO_CreateElgFilePath(nullptr));
  struct stat st;
  EXPECT_NE(0, stat((sysroot_ + "/opt/TQInstLog").c_str(), &st));
  char *p = CDINFO_CreateElgFilePath("x.elg");
  ASSERT_NE(nullptr, p);
  EXPECT_EQ(sysroot_ + "/opt/TQInstLog/x.elg", p);
  free(p);
  EXPECT_EQ(1, tqIsDir((sysroot_ + "/opt/TQInstLog").c_str()));
}

TEST_F(TraceLog, UncreatableDirectoryOnlyPrints) {
  tqtest::WriteFile(sysroot_ + "/opt", "a file where the directory should be");
  EXPECT_EQ(nullptr, CDINFO_CreateElgFilePath("cdInfo.elg"));
  testing::internal::CaptureStdout();
  Debug("lost", nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ("The file 'ElgFilePath' was not opened ()\n", out);
  // The caller's operation still completes.
  EXPECT_EQ(1, IsItProductLine("a;b"));
}

TEST_F(TraceLog, PlantedSymlinkIsNotFollowed) {
  std::string victim = scratch_ + "/victim";
  tqtest::WriteFile(victim, "precious\n");
  ASSERT_EQ(1, tqDirCreate((sysroot_ + "/opt/TQInstLog").c_str()));
  ASSERT_EQ(0, symlink(victim.c_str(), TracePath().c_str()));
  int fds = tqtest::OpenFdCount();
  testing::internal::CaptureStdout();
  Debug("attack", nullptr);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ("precious\n", tqtest::ReadFile(victim));
  EXPECT_NE(std::string::npos, out.find("was not opened (" + TracePath() + ")"));
  EXPECT_EQ(fds, tqtest::OpenFdCount());
}

TEST_F(TraceLog, FacilityGetsEntryAndExitLines) {
  char line[] = "V;P;1;SP;linux;/a/b;x;y;tgz;\n";
  EXPECT_EQ(1, IgnoreLine(line, 0));
  std::string fac = FacilityText();
  EXPECT_NE(std::string::npos, fac.find("CDINFO 4 0 Enter:: IgnoreLine\n"));
  EXPECT_NE(std::string::npos, fac.find("CDINFO 4 0 Enter:: GetTGZtag\n"));
  // Entry lines go to the trace as well.
  EXPECT_NE(std::string::npos, TraceText().find(" Enter:: IgnoreLine \n"));
  EXPECT_NE(std::string::npos, TraceText().find(" IgnoreLine: 6 false \n"));
}

}  // namespace
}  // namespace cdtest
