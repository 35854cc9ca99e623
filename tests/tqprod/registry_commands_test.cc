// get, set, del, ls, tree: output, exit codes and --json, run as a process.
#include "tool_run.h"

using tooltest::Has;
using tooltest::ParseJson;
using tooltest::Tool;

namespace {

class RegistryCommands : public tooltest::ToolTest {};

const char kKey[] = "SOFTWARE\\Tarquel\\MRK\\5.0";

TEST_F(RegistryCommands, SetThenGetEachType) {
  ASSERT_EQ(0, Tool({"set", kKey, "Name", "string", "a \"quoted\" text"}).code);
  ASSERT_EQ(0, Tool({"set", kKey, "Count", "number", "-1"}).code);
  ASSERT_EQ(0, Tool({"set", kKey, "Big", "number", "0xffffffff"}).code);
  ASSERT_EQ(0, Tool({"set", kKey, "List", "multi-string", "one", "two"}).code);
  EXPECT_EQ("a \"quoted\" text\n", Tool({"get", kKey, "Name"}).out);
  EXPECT_EQ("-1\n", Tool({"get", kKey, "Count"}).out);
  EXPECT_EQ("-1\n", Tool({"get", "HKLM\\" + std::string(kKey), "Big"}).out);
  EXPECT_EQ("one | two\n", Tool({"get", kKey, "List"}).out);
  // The library reads what the tool wrote.
  EXPECT_STREQ("a \"quoted\" text", TQPROD_GetValue("MRK\\5.0", "Name", 0));

  nlohmann::json j = ParseJson(Tool({"get", kKey, "List", "--json"}));
  EXPECT_EQ("multi-string", j["type"]);
  EXPECT_EQ((std::vector<std::string>{"one", "two"}), j["data"].get<std::vector<std::string>>());
  j = ParseJson(Tool({"--json", "get", kKey, "Count"}));
  EXPECT_EQ(-1, j["data"].get<int>());
}

TEST_F(RegistryCommands, LsTreeAndDel) {
  ASSERT_EQ(0, Tool({"set", kKey, "A", "string", "x"}).code);
  ASSERT_EQ(0, Tool({"set", std::string(kKey) + "\\SP4", "VersionText", "string", "FP4"}).code);
  tooltest::Run ls = Tool({"ls", kKey});
  EXPECT_EQ(0, ls.code);
  EXPECT_EQ("SP4\\\nA (string) = x\n", ls.out);
  nlohmann::json j = ParseJson(Tool({"ls", kKey, "--json"}));
  EXPECT_EQ("SP4", j["subkeys"][0]);
  EXPECT_EQ("A", j["values"][0]["name"]);

  tooltest::Run tree = Tool({"tree", "SOFTWARE\\Tarquel\\MRK"});
  EXPECT_EQ("SOFTWARE\\Tarquel\\MRK\\\n  5.0\\\n    A (string) = x\n    SP4\\\n"
            "      VersionText (string) = FP4\n", tree.out);
  j = ParseJson(Tool({"tree", "SOFTWARE\\Tarquel\\MRK", "--json"}));
  EXPECT_EQ("FP4", j["subkeys"][0]["subkeys"][0]["values"][0]["data"]);

  EXPECT_EQ(0, Tool({"del", kKey, "A"}).code);
  EXPECT_EQ(1, Tool({"get", kKey, "A"}).code);
  EXPECT_EQ(0, Tool({"del", "SOFTWARE\\Tarquel\\MRK"}).code);
  tooltest::Run gone = Tool({"ls", kKey});
  EXPECT_EQ(1, gone.code);
  EXPECT_TRUE(Has(gone.err, "MRK\\5.0: not found"));
}

TEST_F(RegistryCommands, FailuresAndUsageErrors) {
  tooltest::Run r = Tool({"get", kKey, "Missing"});
  EXPECT_EQ(1, r.code);
  EXPECT_EQ("", r.out);
  EXPECT_TRUE(Has(r.err, "tqprod get"));

  EXPECT_EQ(2, Tool({"frobnicate"}).code);
  EXPECT_EQ(2, Tool({"get", kKey}).code);                      // missing VALUE
  EXPECT_EQ(2, Tool({"get", kKey, "x", "--bogus"}).code);      // unknown option
  EXPECT_EQ(2, Tool({"set", kKey, "N", "number", "12abc"}).code);
  EXPECT_EQ(2, Tool({"set", kKey, "N", "number", "4294967296"}).code);
  EXPECT_EQ(2, Tool({"set", kKey, "N", "float", "1"}).code);
  EXPECT_EQ(2, Tool({"set", kKey, "N", "string", "a", "b"}).code);
  r = Tool({"get", "HKEY_CURRENT_USER\\Software", "x"});
  EXPECT_EQ(2, r.code);
  EXPECT_TRUE(Has(r.err, "outside HKEY_LOCAL_MACHINE"));
  EXPECT_EQ(1, Tool({"del", "HKLM"}).code);  // never the root itself
  EXPECT_EQ(1, Tool({"get", kKey, "N"}).code);  // nothing was written by the refusals

  for (const char *cmd : {"get", "set", "ls", "tree", "export", "import", "status", "flags", "call",
                          "ctx", "media", "copy", "backup", "restore", "dump"}) {
    tooltest::Run h = Tool({cmd, "--help"});
    EXPECT_EQ(0, h.code) << cmd;
    EXPECT_TRUE(Has(h.out, "Usage"));
  }
  EXPECT_EQ(0, Tool({"--help"}).code);
}

TEST_F(RegistryCommands, RegistryOptionChoosesTheDirectory) {
  std::string other = Path("other-registry");
  ASSERT_EQ(0, Tool({"--registry", other, "set", kKey, "Where", "string", "other"}).code);
  EXPECT_EQ(1, Tool({"get", kKey, "Where"}).code);
  EXPECT_EQ("other\n", Tool({"get", kKey, "Where", "--registry", other}).out);
}

}  // namespace
