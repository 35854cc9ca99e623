// The history commands: what changed, who changed it, and going back.
#include <unistd.h>

#include <regex>

#include "raw.h"
#include "tool_run.h"

using namespace tooltest;

namespace {

using History = ToolTest;

bool emulated() { return getenv("TQ_TEST_EMULATOR") && *getenv("TQ_TEST_EMULATOR"); }

TEST_F(History, ChangesAreListedDiffedAndRolledBack) {
  const std::string x = "SOFTWARE\\X";
  // Keep, set and deleted again, cancels out in the diff.
  ASSERT_EQ((tqtest::Ints{0, 0, 0, 0, 0, 0}),
            (tqtest::Ints{Tool({"set", x, "A", "string", "one"}).code, Tool({"checkpoint", "c1"}).code,
                          Tool({"set", x, "A", "number", "5"}).code, Tool({"set", x + "\\Y", "B", "string", "b\x1b"}).code,
                          Tool({"set", x, "Keep", "string", "k"}).code, Tool({"del", x, "Keep"}).code}));

  // The process name is the tool's, or the emulator's when it runs under one.
  const std::string stamp = "\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}Z  \\S+\\[\\d+\\]  ";
  const std::string listed = Tool({"history", x + "\\y"}).out;
  EXPECT_TRUE(std::regex_match(listed, std::regex(stamp + "checkpoint c1\n" + stamp +
                                                  "create-key  SOFTWARE\\\\X\\\\Y\n" + stamp +
                                                  "set  SOFTWARE\\\\X\\\\Y  B: \\(absent\\) -> "
                                                  "b\\\\x1b\n")))
      << listed;
  EXPECT_EQ("- SOFTWARE\\X  A (string) = one\n+ SOFTWARE\\X  A (number) = 5\n"
            "+ SOFTWARE\\X\\Y\\\n+ SOFTWARE\\X\\Y  B (string) = b\\x1b\n",
            Tool({"diff", "c1"}).out);
  EXPECT_EQ(8u, Tool({"history", "--json", "--since", "1h", x}).Json().size());
  EXPECT_EQ("", Tool({"history", "--process", "other"}).out);
  EXPECT_EQ(2, Tool({"history", "--since", "yesterday"}).code);

  ASSERT_EQ(0, Tool({"rollback", "c1"}).code);
  EXPECT_EQ((tqtest::Strings{"", "one\n", ""}),
            (tqtest::Strings{Tool({"diff", "c1"}).out, Tool({"get", x, "A"}).out, Tool({"ls", x + "\\Y"}).out}));

  Result unknown = Tool({"rollback", "c2"});
  EXPECT_EQ(1, unknown.code);
  EXPECT_TRUE(Has(unknown.err, "tqprod rollback: ctx0.db in " + regdir_ + ": no checkpoint named \"c2\""));
  EXPECT_TRUE(std::regex_match(Tool({"checkpoints"}).out,
                               std::regex("c1  \\S+  change \\d+\n")));
}

// watch prints what another process changes below the key, and nothing
// else, until its timeout.
TEST_F(History, WatchPrintsChangesOfOtherProcessesUntilItsTimeout) {
  tqtest::MakeKey("SOFTWARE\\W");
  pid_t writer = tqtest::Spawn([] {
    usleep(emulated() ? 3000000 : 500000);
    tqtest::PutNum("SOFTWARE\\Wx", "outside", 1);
    tqtest::PutNum("SOFTWARE\\W", "inside", 7);
    return 0;
  });
  Result r = Tool({"watch", "SOFTWARE\\W", "--timeout", emulated() ? "6" : "1.5"});
  EXPECT_EQ((tqtest::Ints{0, 0}), (tqtest::Ints{tqtest::Wait(writer), r.code})) << "writer, then watch: " << r.err;
  EXPECT_TRUE(std::regex_match(
      r.out, std::regex("\\S+Z  \\S+\\[\\d+\\]  set  SOFTWARE\\\\W  inside: \\(absent\\) -> 7\n")))
      << r.out;
  EXPECT_EQ(1, Tool({"watch", "SOFTWARE\\Missing", "--timeout", "1"}).code);
}

}  // namespace
