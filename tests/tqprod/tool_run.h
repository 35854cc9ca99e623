// Runs the built tqprod (path in $TQ_TOOL, optional emulator prefix words in
// $TQ_TEST_EMULATOR) as a child process and captures what it prints.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tq_test.h"

namespace tooltest {

struct Run {
  int code = -1;  // exit status, or -1 when the tool did not exit normally
  std::string out, err;
};

// Runs tqprod with args; stdin comes from stdin_text.
Run Tool(const std::vector<std::string> &args, const std::string &stdin_text = "");
// Parses out as JSON; a parse failure fails the test.
nlohmann::json ParseJson(const Run &r);
// Whether text contains part; the failure message shows the text.
inline ::testing::AssertionResult Has(const std::string &text, const std::string &part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

class ToolTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string &name) const { return scratch_ + "/" + name; }
  // SOFTWARE\Tarquel exported to text ("regedit5" or "regedit4").
  std::string Export(const char *format);
  // Points TQ_REGISTRY_DIR at a new, empty registry.
  void FreshRegistry();
  // Imports text written to a scratch .reg file.
  tooltest::Run ImportText(const std::string &text);
  std::string scratch_;
};

}  // namespace tooltest
