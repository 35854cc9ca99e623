// Fixture of the install-media tests: a fresh system root (the trace log
// lands in <root>/opt/TQInstLog), a facility log, and the process-wide
// install-media state put back to its initial values.
#pragma once

#include "tq_test.h"
#include "trace_log.h"

namespace tqtest {

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Writes <root>/<rel> (parents created) and returns the full path.
  std::string Put(const std::string &root, const std::string &rel, const std::string &text);
  // A fresh media root below the test's scratch directory.
  std::string NewMedia(const std::string &name);
  std::string TracePath() const { return TraceLogPath(sysroot_); }

  std::string sysroot_, scratch_, facility_log_;
};

// Calls a search until it returns NULL (at most limit calls; the first call
// starts over) and collects the results; CDINFO_Search results are freed.
Strings ListAll(char *(*fn)(const char *, int), const std::string &root, int limit = 20);

}  // namespace tqtest
