// Fixture of the install-media tests: a fresh system root (the trace log
// lands in <root>/opt/TQInstLog), a facility log, and the process-wide
// install-media state put back to its initial values.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tq_test.h"
#include "tqprod50.h"

namespace cdtest {

class MediaTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes <root>/<rel> (parents created) and returns the full path.
  std::string Put(const std::string &root, const std::string &rel, const std::string &text);
  // A fresh media root below the test's scratch directory.
  std::string NewMedia(const std::string &name);

  std::string TraceText() const;       // the whole cdInfo.elg
  std::string FacilityText() const;    // lines given to tderrorFunc
  std::string TracePath() const { return sysroot_ + "/opt/TQInstLog/cdInfo.elg"; }

  std::string sysroot_;
  std::string scratch_;
  std::string facility_log_;
};

// Lines of a text, newline removed.
std::vector<std::string> Lines(const std::string &text);
// Calls every search until NULL (at most limit calls); collects results.
std::vector<std::string> ListAll(char *(*fn)(const char *, int), const std::string &root,
                                 int limit = 20);

}  // namespace cdtest
