// Interoperability with a real peer: Samba's `net registry import` and
// `net registry export`, run with a private configuration so that the
// machine's Samba state is never touched.
#include <stdlib.h>

#include "tool_run.h"

using tooltest::Tool;

namespace {

class Samba : public tooltest::ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    std::string d = Path("samba");
    std::string conf = "[global]\n";
    for (const char *dir : {"private dir", "state directory", "lock directory", "cache directory",
                            "pid directory", "ncalrpc dir"}) {
      std::string sub = d + "/" + std::string(dir).substr(0, std::string(dir).find(' '));
      tqtest::WriteFile(sub + "/.keep", "");
      conf += std::string("  ") + dir + " = " + sub + "\n";
    }
    conf += "  log file = " + d + "/log\n";
    conf_ = d + "/smb.conf";
    tqtest::WriteFile(conf_, conf);
  }
  // Runs `net registry ARGS`; on failure its output becomes the message.
  ::testing::AssertionResult Net(const std::string &args) {
    std::string out = Path("net.out");
    int rc = system(("net -s '" + conf_ + "' registry " + args + " >'" + out + "' 2>&1").c_str());
    if (WIFEXITED(rc) && WEXITSTATUS(rc) == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "net " << args << ":\n" << tqtest::ReadFile(out);
  }
  ::testing::AssertionResult NetExport(const std::string &file, const std::string &opt = "") {
    return Net("export 'HKLM\\SOFTWARE\\Tarquel' '" + Path(file) + "'" + opt);
  }
  // Empties Samba's registry, then imports a file into it.
  ::testing::AssertionResult NetImportFresh(const std::string &file) {
    tqtest::RemoveTree(Path("samba/state"));
    tqtest::WriteFile(Path("samba/state/.keep"), "");
    return Net("import '" + Path(file) + "'");
  }
  std::string conf_;
};

TEST_F(Samba, TqprodFileThroughSambaAndBack) {
  ASSERT_EQ(0, system("command -v net >/dev/null")) << "Samba's net (samba-common-bin) is missing";
  ASSERT_EQ(0, Tool({"demo-init"}).code);
  const char *x = "SOFTWARE\\Tarquel\\X";
  ASSERT_EQ(0, Tool({"set", x, "q\"uote", "string", "back\\slash \"q\" \xc3\xa9"}).code);
  ASSERT_EQ(0, Tool({"set", x, "ctl", "string", "tab\there"}).code);
  ASSERT_EQ(0, Tool({"set", x, "", "string", "default"}).code);
  ASSERT_EQ(0, Tool({"set", "SOFTWARE\\Tarquel\\X\\Y", "n", "number", "-7"}).code);
  for (const char *format : {"regedit5", "regedit4"}) {
    SCOPED_TRACE(format);
    bool r4 = std::string(format) == "regedit4";
    // Samba reads REGEDIT4 text as UTF-8 but writes it in its DOS code page
    // (CP850), so only ASCII text survives its own REGEDIT4 round trip.
    if (r4) {
      ASSERT_EQ(0, Tool({"set", x, "q\"uote", "string", "back\\slash \"q\""}).code);
    }
    std::string mine = Export(format);
    tqtest::WriteFile(Path("mine.reg"), mine);
    ASSERT_TRUE(NetImportFresh("mine.reg"));
    ASSERT_TRUE(NetExport("theirs.reg", r4 ? " regedit4" : ""));
    FreshRegistry();
    tooltest::Run r = Tool({"import", Path("theirs.reg")});
    ASSERT_EQ(0, r.code) << r.err << tqtest::ReadFile(Path("theirs.reg"));
    EXPECT_EQ(mine, Export(format)) << tqtest::ReadFile(Path("theirs.reg"));
  }
}

TEST_F(Samba, SambaFileThroughTqprodAndBack) {
  ASSERT_EQ(0, system("command -v net >/dev/null")) << "Samba's net (samba-common-bin) is missing";
  tqtest::WriteFile(Path("src.reg"),
                    "Windows Registry Editor Version 5.00\n\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\MRK]\n\"CurrentVersion\"=\"5.0\"\n\n"
                    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tarquel\\MRK\\5.0]\n"
                    "\"FireWall\"=dword:00000001\n\"Path\"=\"C:\\\\tq \\\"x\\\"\"\n"
                    "\"List\"=hex(7):61,00,00,00,62,00,63,00,00,00,00,00\n"
                    "\"Bin\"=hex:de,ad,be,ef\n\n");
  ASSERT_TRUE(Net("import '" + Path("src.reg") + "'"));
  ASSERT_TRUE(NetExport("first.reg"));
  tooltest::Run r = Tool({"import", Path("first.reg")});
  ASSERT_EQ(0, r.code) << r.err;
  const char *k = "SOFTWARE\\Tarquel\\MRK\\5.0";
  EXPECT_EQ("1\n", Tool({"get", k, "FireWall"}).out);
  EXPECT_EQ("C:\\tq \"x\"\n", Tool({"get", k, "Path"}).out);
  EXPECT_EQ("a | bc\n", Tool({"get", k, "List"}).out);
  EXPECT_EQ("deadbeef\n", Tool({"get", k, "Bin"}).out);
  EXPECT_TRUE(FwIsFirewallModule());

  // Back into an empty Samba registry: the same keys and values again.
  ASSERT_EQ(0, Tool({"export", "SOFTWARE\\Tarquel", Path("mine.reg")}).code);
  ASSERT_TRUE(NetImportFresh("mine.reg"));
  ASSERT_TRUE(NetExport("second.reg"));
  EXPECT_EQ(tqtest::ReadFile(Path("first.reg")), tqtest::ReadFile(Path("second.reg")));
}

}  // namespace
