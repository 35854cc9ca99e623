// The bash completion script of `tqprod completion bash`, run by a
// non-interactive bash as readline would run it: commands, options and
// choices from the tool's definition; subkeys and value names from the
// registry of the command line, quoted as the word being completed.
#include <sys/stat.h>

#include "tool_run.h"

using namespace tooltest;

namespace {

class Completion : public ToolTest {};

TEST_F(Completion, CompletesCommandsOptionsKeysAndValues) {
  const std::string other = Path("other");
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Alpha\\Two Words", "X", "string", "x"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Alpha", "Name", "string", "n"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Alpha", "Number", "number", "1"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\Alpine", "Name", "string", "n"}).code);
  ASSERT_EQ(0, Tool({"--registry", other, "set", "SOFTWARE\\Other", "V", "string", "v"}).code);

  // Each row: the words typed after "tqprod" (the last one being completed)
  // and COMPREPLY, sorted.
  const struct {
    std::vector<std::string> words;
    std::string reply;
  } rows[] = {
      {{"co"}, "completion\ncopy\n"},
      {{"ctx", ""}, "add\nlist\nrm\n"},
      {{"export", "--f"}, "--format\n"},
      {{"--json", "export", "--format", "regedit"}, "regedit4\nregedit5\n"},
      {{"set", "K", "V", "mu"}, "multi-string\n"},
      {{"call", "FwIsHighA"}, "FwIsHighAvail\n"},
      // Keys: backslashes escaped when unquoted, raw inside '...', doubled
      // inside "..."; names match whatever their case.
      {{"ls", R"(SOFTWARE\\Tar)"}, R"(SOFTWARE\\Tarquel\\)" "\n"},
      {{"ls", R"(software\\tarquel\\AL)"}, R"(software\\tarquel\\Alpha\\)" "\n" R"(software\\tarquel\\Alpine\\)" "\n"},
      {{"tree", R"(SOFTWARE\\Tarquel\\Alpha\\)"}, R"(SOFTWARE\\Tarquel\\Alpha\\Two\ Words\\)" "\n"},
      {{"tree", R"('SOFTWARE\Tarquel\Alpha\T)"}, R"(SOFTWARE\Tarquel\Alpha\Two Words\)" "\n"},
      {{"tree", R"("SOFTWARE\Tarquel\Alpha\T)"}, R"(SOFTWARE\\Tarquel\\Alpha\\Two Words\\)" "\n"},
      {{"copy", "MRK", "al"}, "Alpha\\\\\nAlpine\\\\\n"},  // relative to SOFTWARE\Tarquel
      {{"--ctx", "0", "get", R"(SOFTWARE\\Tarquel\\Alpha)", "N"}, "Name\nNumber\n"},
      // The registry of the command line answers, wherever it is given.
      {{"ls", "--registry", "=", other, R"(SOFTWARE\\)"}, R"(SOFTWARE\\Other\\)" "\n"},
      {{"ls", "NoSuchKey\\\\"}, ""},
  };

  // The script runs the tool by its command word: here a wrapper that puts
  // the emulator in front, as the tests do.
  const std::string tool = Path("tqprod"), script = Path("tqprod.bash"), driver = Path("driver.sh");
  tqtest::WriteFile(tool, "#!/bin/sh\nexec $TQ_TEST_EMULATOR \"$TQ_TOOL\" \"$@\"\n");
  chmod(tool.c_str(), 0755);
  Result made = Tool({"completion", "bash"});
  ASSERT_EQ(0, made.code) << made.err;
  tqtest::WriteFile(script, made.out);
  std::string text = "source " + ShellWord(script) + R"(
complete_words() {
  COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMP_LINE="$*" COMP_POINT=${#COMP_LINE} COMPREPLY=()
  _tqprod "$1" "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  ((${#COMPREPLY[@]})) && printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort
  echo '%%'
}
)";
  for (const auto &row : rows) {
    text += "complete_words " + ShellWord(tool);
    for (const std::string &w : row.words) text += " " + ShellWord(w);
    text += "\n";
  }
  tqtest::WriteFile(driver, text);
  ASSERT_EQ(0, system(("bash " + driver + " >" + Path("replies") + " 2>&1").c_str()));
  std::string replies = tqtest::ReadFile(Path("replies"));
  for (const auto &row : rows) {
    size_t end = replies.find("%%\n");
    ASSERT_NE(std::string::npos, end) << replies;
    EXPECT_EQ(row.reply, replies.substr(0, end)) << "completing " << ::testing::PrintToString(row.words);
    replies.erase(0, end + 3);
  }
}

}  // namespace
