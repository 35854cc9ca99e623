// Runs a program of the build (the tqprod tool: $TQ_TOOL) as a child
// process, with the emulator words of $TQ_TEST_EMULATOR in front, and
// captures what it prints.
#pragma once

#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tq_test.h"

namespace tooltest {

struct Result {
  int code = -1;  // exit status, or -1 when the program did not exit normally
  std::string out, err;
  nlohmann::json Json() const { return nlohmann::json::parse(out); }  // throws: the test fails
};

// A word for sh: single-quoted, its own quotes spelt '\''.
inline std::string ShellWord(const std::string &word) {
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

inline Result Program(const std::string &path, const std::vector<std::string> &args,
                      const std::string &stdin_text = "") {
  const std::string dir = tqtest::MakeTempDir("run");
  tqtest::WriteFile(dir + "/in", stdin_text);
  std::string command = getenv("TQ_TEST_EMULATOR") ? getenv("TQ_TEST_EMULATOR") : "";
  std::vector<std::string> words = args;
  words.insert(words.begin(), path);
  for (const std::string &word : words) command += " " + ShellWord(word);
  int status = system((command + " <" + dir + "/in >" + dir + "/out 2>" + dir + "/err").c_str());
  Result r;
  if (WIFEXITED(status)) r.code = WEXITSTATUS(status);
  r.out = tqtest::ReadFile(dir + "/out");
  r.err = tqtest::ReadFile(dir + "/err");
  tqtest::RemoveTree(dir);
  return r;
}

inline Result Tool(const std::vector<std::string> &args, const std::string &stdin_text = "") {
  return Program(getenv("TQ_TOOL") ? getenv("TQ_TOOL") : "TQ_TOOL-is-not-set", args, stdin_text);
}

inline ::testing::AssertionResult Has(const std::string &text, const std::string &part) {
  if (text.find(part) != std::string::npos) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "no \"" << part << "\" in:\n" << text;
}

// Scratch files go to the fixture's system root.
class ToolTest : public tqtest::RegistryTest {
 protected:
  std::string Path(const std::string &name) const { return sysroot_ + "/" + name; }
  // SOFTWARE\Tarquel exported as text ("regedit5" or "regedit4").
  std::string Export(const char *format) {
    return Tool({"export", "SOFTWARE\\Tarquel", "-", "--format", format}).out;
  }
  // Points TQ_REGISTRY_DIR at a new, empty registry.
  void FreshRegistry() {
    const std::string dir = Path("registry" + std::to_string(++registries_));
    mkdir(dir.c_str(), 0755);
    setenv("TQ_REGISTRY_DIR", dir.c_str(), 1);
    TqkResetGlobalEntries();
  }
  int registries_ = 0;
};

}  // namespace tooltest
