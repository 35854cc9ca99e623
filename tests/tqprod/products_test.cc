// status, flags, call, ctx and the maintenance commands on the example
// appliance registry.
#include <dlfcn.h>

#include "tool_run.h"

using tooltest::Has;
using tooltest::ParseJson;
using tooltest::Tool;

namespace {

class Products : public tooltest::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    ASSERT_EQ(0, Tool({"demo-init"}).code);
  }
};

TEST_F(Products, StatusShowsTheAppliance) {
  tqtest::WriteFile(sysroot_ + "/etc/tq-release", "Zudedaz\n");
  tooltest::Run r = Tool({"status"});
  ASSERT_EQ(0, r.code) << r.err;
  for (const char *want : {"MRK          version 5.0, SP 4, MSP 2  (R55 Feature Pack 4 HFA 2)",
                           "hot fixes: HF_R55_FP4_07", "Plug-ins:         PIMailScan 1.2",
                           "Partner products: Virexa/VirexaAV 3.1", "Installed marks:  Mirrak, Quellin",
                           "operating system  Zudedaz"})
    EXPECT_TRUE(Has(r.out, want));

  nlohmann::json j = ParseJson(Tool({"status", "--json"}));
  ASSERT_EQ(2u, j["products"].size());
  EXPECT_EQ("MRK", j["products"][0]["name"]);
  EXPECT_EQ("4", j["products"][0]["sp"]);
  EXPECT_EQ("2", j["products"][0]["msp"]);
  EXPECT_EQ(std::vector<std::string>{"HF_R55_FP4_07"}, j["products"][0]["hotfixes"].get<std::vector<std::string>>());
  auto on = j["flags_on"].get<std::vector<std::string>>();
  EXPECT_EQ(6u, on.size());
  EXPECT_NE(on.end(), std::find(on.begin(), on.end(), "HighAvailability"));
  EXPECT_TRUE(j["machine"]["zudedaz"].get<bool>());
}

TEST_F(Products, FlagsFollowTheRegistry) {
  nlohmann::json all = ParseJson(Tool({"flags", "--json"}));
  size_t rows = 0;
#define TQ_COUNT(...) ++rows;
  TQPROD_FLAG_TABLE(TQ_COUNT)
  TQPROD_CONTEXT_FLAG_TABLE(TQ_COUNT)
  TQPROD_CACHED_FLAG_TABLE(TQ_COUNT)
#undef TQ_COUNT
  EXPECT_EQ(rows, all.size());
  ASSERT_EQ(0, Tool({"call", "FwSetBridge", "1"}).code);
  nlohmann::json on = ParseJson(Tool({"flags", "--on", "--json"}));
  bool bridge = false;
  for (const auto &f : on) bridge |= f["function"] == "FwIsBridge" && f["on"].get<bool>();
  EXPECT_TRUE(bridge);
  EXPECT_TRUE(Has(Tool({"flags"}).out, "on  FwIsBridge"));
}

TEST_F(Products, CallConvertsArgumentsResultsAndExitCodes) {
  tooltest::Run r = Tool({"call", "FwIsHighAvail"});
  EXPECT_EQ(0, r.code);
  EXPECT_EQ("1\n", r.out);
  r = Tool({"call", "FwIsBridge"});
  EXPECT_EQ(1, r.code);  // false
  EXPECT_EQ("0\n", r.out);
  EXPECT_EQ("R55 Feature Pack 4\n", Tool({"call", "TQPROD_GetSPVerText", "MRK", "4"}).out);
  // Output parameters are printed after the result; NULL arguments work.
  nlohmann::json j = ParseJson(Tool({"call", "TQPROD_GetValueWithRegType", "MRK", "FireWall", "1", "--json"}));
  EXPECT_EQ("1", j["result"]);
  EXPECT_EQ(4, j["outputs"]["arg4"].get<int>());
  EXPECT_EQ(4, j["outputs"]["arg5"].get<int>());
  EXPECT_EQ("MRK\\5.0\\SP4\\MSP2\n", Tool({"call", "TQPROD_GetPath", "MRK", "@null"}).out);
  r = Tool({"call", "TQPROD_GetHotFixes", "MRK"});
  EXPECT_EQ("0\narg2=HF_R55_FP4_07\n", r.out);
  // Setters change what the library and the registry hold.
  EXPECT_EQ(0, Tool({"call", "TQPROD_SetExternalIf", "eth9"}).code);
  EXPECT_STREQ("eth9", TQPROD_GetExternalIf());
  r = Tool({"call", "TQPROD_GetValue", "MRK", "Missing", "1"});
  EXPECT_EQ(1, r.code);
  EXPECT_EQ("(null)\n", r.out);
  // Wrong use is a usage error that names the parameters.
  r = Tool({"call", "TQPROD_GetValue", "MRK"});
  EXPECT_EQ(2, r.code);
  EXPECT_TRUE(Has(r.err, "(str, str, int)"));
  EXPECT_EQ(2, Tool({"call", "TQPROD_GetValue", "MRK", "x", "one"}).code);
  EXPECT_EQ(2, Tool({"call", "FwIsBridge", "extra"}).code);
  EXPECT_EQ(2, Tool({"call", "NoSuchFunction"}).code);
  EXPECT_EQ(2, Tool({"call", "tqm_filename", "a", "b", "100000"}).code);  // buffer size bound
}

TEST_F(Products, EveryCallRowIsAnExportedSymbol) {
  nlohmann::json list = ParseJson(Tool({"call", "--list", "--json"}));
  ASSERT_GT(list.size(), 200u);
  void *lib = dlopen("libtqprod50.so", RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(nullptr, lib) << dlerror();
  for (const auto &row : list) {
    std::string name = row["name"];
    EXPECT_NE(nullptr, dlsym(lib, name.c_str())) << name;
  }
  dlclose(lib);
}

TEST_F(Products, ContextsAndTheCtxOption) {
  ASSERT_EQ(0, Tool({"ctx", "add", "2", "--junction", "--ipv6-instances", "3"}).code);
  nlohmann::json j = ParseJson(Tool({"ctx", "list", "--json"}));
  ASSERT_EQ(2u, j.size());
  EXPECT_EQ(2, j[1]["ctx"].get<int>());
  EXPECT_TRUE(j[1]["junction"].get<bool>());
  EXPECT_EQ(3, j[1]["ipv6_instances"].get<int>());
  // Context 2 has its own, empty registry.
  EXPECT_EQ(1, Tool({"--ctx", "2", "get", "SOFTWARE\\Tarquel\\MRK", "CurrentVersion"}).code);
  ASSERT_EQ(0, Tool({"--ctx", "2", "set", "SOFTWARE\\Tarquel\\MRK", "CurrentVersion", "string", "6.0"}).code);
  EXPECT_EQ("6.0\n", Tool({"get", "SOFTWARE\\Tarquel\\MRK", "CurrentVersion", "--ctx", "2"}).out);
  EXPECT_EQ("5.0\n", Tool({"get", "SOFTWARE\\Tarquel\\MRK", "CurrentVersion"}).out);
  tooltest::Run r = Tool({"--ctx", "7", "status"});
  EXPECT_EQ(1, r.code);
  EXPECT_TRUE(Has(r.err, "context 7 does not exist"));
  EXPECT_EQ(0, Tool({"ctx", "rm", "2"}).code);
  EXPECT_EQ(1, Tool({"ctx", "rm", "2"}).code);
  EXPECT_EQ(2, Tool({"ctx", "rm", "0"}).code);
  EXPECT_EQ(2, Tool({"ctx", "add", "x"}).code);
  EXPECT_EQ(1u, ParseJson(Tool({"ctx", "list", "--json"})).size());
}

TEST_F(Products, CopyBackupRestoreDump) {
  ASSERT_EQ(0, Tool({"copy", "PIMailScan", "PICopy"}).code);
  EXPECT_EQ("7\n", Tool({"get", "SOFTWARE\\Tarquel\\PICopy\\1.2", "MinorVersion"}).out);
  std::string bak = Path("mrk.bak");
  ASSERT_EQ(0, Tool({"backup", "MRK", bak}).code);
  ASSERT_EQ(0, Tool({"del", "SOFTWARE\\Tarquel\\MRK\\5.0\\SP4"}).code);
  ASSERT_EQ(0, Tool({"restore", bak}).code);
  EXPECT_EQ("R55 Feature Pack 4\n", Tool({"get", "SOFTWARE\\Tarquel\\MRK\\5.0\\SP4", "VersionText"}).out);
  EXPECT_EQ(1, Tool({"restore", Path("none.bak")}).code);
  EXPECT_EQ(1, Tool({"backup", "NoSuchProduct", Path("x.bak")}).code);

  tooltest::Run r = Tool({"dump", "--dir", scratch_, "--json"});
  ASSERT_EQ(0, r.code) << r.err;
  std::string file = ParseJson(r)["file"];
  EXPECT_EQ(scratch_ + "/RegDump", file);
  EXPECT_TRUE(Has(tqtest::ReadFile(file), "HF_R55_FP4_07"));
}

}  // namespace
