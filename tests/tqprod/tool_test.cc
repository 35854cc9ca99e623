// The tqprod commands on the example appliance registry: output, exit codes
// and --json; the media commands; and the library's fallback reporting.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <regex>

#include "raw.h"
#include "tool_run.h"

using namespace tooltest;

namespace {

class Commands : public ToolTest {
 protected:
  void SetUp() override {
    ToolTest::SetUp();
    ASSERT_EQ(0, Tool({"demo-init"}).code);
  }
};

// Each row runs in turn on the same registry.
TEST_F(Commands, OutputAndExitCodeOfEachCommand) {
  const std::string t = "SOFTWARE\\Tarquel\\T", mrk = "SOFTWARE\\Tarquel\\MRK";
  const struct {
    std::vector<std::string> args;
    int code;
    std::string out, err = "";
  } rows[] = {
      {{"set", t, "Name", "string", "a \"quoted\" text"}, 0, ""},
      {{"set", t, "Big", "number", "0xffffffff"}, 0, ""},
      {{"set", t + "\\L", "List", "multi-string", "one", "two"}, 0, ""},
      {{"get", "HKLM\\" + t, "Name"}, 0, "a \"quoted\" text\n"},
      {{"ls", t}, 0, "L\\\nName (string) = a \"quoted\" text\nBig (number) = -1\n"},
      {{"tree", t + "\\L"}, 0, t + "\\L\\\n  List (multi-string) = one | two\n"},
      // Control characters reach a terminal escaped.
      {{"set", t + "\\E\x1b[2J", "v\r", "string", "a\x1b]0;x\x07" "b\rc"}, 0, ""},
      {{"get", t + "\\E\x1b[2J", "v\r"}, 0, "a\\x1b]0;x\\x07b\\rc\n"},
      {{"tree", t + "\\E\x1b[2J"}, 0, t + "\\E\\x1b[2J\\\n  v\\r (string) = a\\x1b]0;x\\x07b\\rc\n"},
      {{"del", t + "\\E\x1b[2J"}, 0, ""},
      {{"del", t, "Name"}, 0, ""},
      {{"get", t, "Name"}, 1, "", "tqprod get"},
      {{"ls", t + "\\Gone"}, 1, "", "Tarquel\\T\\Gone: not found"},
      // Usage errors change nothing.
      {{"frobnicate"}, 2, ""},
      {{"completion", "fish"}, 2, "", "no completion script for \"fish\""},
      {{"set", t, "N", "number", "12abc"}, 2, ""},
      {{"set", t, "N", "number", "4294967296"}, 2, ""},
      {{"get", "HKEY_CURRENT_USER\\Software", "N"}, 2, "", "outside HKEY_LOCAL_MACHINE"},
      {{"del", "HKLM"}, 1, ""},  // never the root itself
      {{"get", t, "N"}, 1, ""},
      // Library calls: arguments and results converted, output parameters after.
      {{"call", "FwSetBridge", "1"}, 0, "0\n"},
      {{"call", "FwIsBridge"}, 0, "1\n"},
      {{"call", "TQPROD_GetPath", "MRK", "@null"}, 0, "MRK\\5.0\\SP4\\MSP2\n"},
      {{"call", "TQPROD_GetHotFixes", "MRK"}, 0, "0\narg2=HF_R55_FP4_07\n"},
      {{"call", "TQPROD_GetValue", "MRK", "Missing", "1"}, 1, "(null)\n"},
      {{"call", "TQPROD_GetValue", "MRK"}, 2, "", "(str, str, int)"},
      {{"call", "NoSuchFunction"}, 2, ""},
      {{"call", "tqm_filename", "a", "b", "100000"}, 2, ""},  // buffer size bound
      // Contexts: context 2 has its own registry.
      {{"ctx", "add", "2", "--junction", "--ipv6-instances", "3"}, 0, ""},
      {{"--ctx", "2", "set", mrk, "CurrentVersion", "string", "6.0"}, 0, ""},
      {{"get", mrk, "CurrentVersion", "--ctx", "2"}, 0, "6.0\n"},
      {{"get", mrk, "CurrentVersion"}, 0, "5.0\n"},
      {{"--ctx", "7", "status"}, 1, "", "context 7 does not exist"},
      {{"ctx", "rm", "0"}, 2, ""},
      // Maintenance.
      {{"copy", "MRK", "Copy"}, 0, ""},
      {{"backup", "Copy", Path("mrk.bak")}, 0, ""},
      {{"del", "SOFTWARE\\Tarquel\\Copy\\5.0\\SP4"}, 0, ""},
      {{"restore", Path("mrk.bak")}, 0, ""},
      {{"get", "SOFTWARE\\Tarquel\\Copy\\5.0\\SP4", "VersionText"}, 0, "R55 Feature Pack 4\n"},
      // A failed backup leaves the previous one as it was.
      {{"backup", "NoSuchProduct", Path("mrk.bak")}, 1, "", "a key on the way cannot be opened"},
      {{"restore", Path("mrk.bak")}, 0, ""},
      {{"get", "SOFTWARE\\Tarquel\\Copy\\5.0\\SP4", "VersionText"}, 0, "R55 Feature Pack 4\n"},
      {{"--registry", Path("other"), "get", t, "Where"}, 1, "", "not found"},
      {{"--registry", Path("other"), "set", t, "Where", "string", "other"}, 0, "",
       "tqprod: created a new registry in " + Path("other")},
      {{"get", t, "Where"}, 1, ""},
      {{"get", t, "Where", "--registry", Path("other")}, 0, "other\n"},
  };
  for (const auto &row : rows) {
    Result r = Tool(row.args);
    EXPECT_EQ(std::to_string(row.code) + " " + row.out, std::to_string(r.code) + " " + r.out)
        << testing::PrintToString(row.args);
    EXPECT_TRUE(Has(r.err, row.err)) << testing::PrintToString(row.args);
  }
}

TEST_F(Commands, StatusFlagsJsonAndMedia) {
  EXPECT_TRUE(Has(Tool({"status"}).out, "  MRK          version 5.0, SP 4, MSP 2  (R55 Feature Pack 4 HFA 2)\n"
                                         "               hot fixes: HF_R55_FP4_07\n"));
  EXPECT_TRUE(Has(Tool({"flags", "--on"}).out, "on  FwIsHighAvail"));

  // Three CDs of one release; archives are assembled with the project's gtar wrapper.
  const std::string path = getenv("PATH");
  setenv("PATH", (std::string(getenv("TQ_TEST_SOURCE_DIR")) + "/../tools/gtar:" + path).c_str(), 1);
  for (const char *n : {"1", "2", "3"})
    tqtest::WriteFile(Path("cd") + n + "/DW/Products.conf",
                      "VENDOR=Tarquel\nVERSION=R75\nSP=R1\nCDNUM=" + std::string(n) +
                          "\nOS=linux\nZUD;Zudedaz;/linux/zud;0;1;1\nFAR;Faraway;/linux/far;0;3;1\n"
                          "ESC;Esc\x1b[2J;/linux/esc;0;3;1\n"
                          "M2;Mod2;/modules/m2/m2.tgz;1;2;0\nM3;Mod3;/modules/m3;1;3;0\n");
  for (const char *f : {"cd1/linux/zud/zfile", "cd2/modules/m2/m2.tgz", "cd3/modules/m3/m3file",
                        "cd3/linux/far/f", "cd1/linux/Actions/CheckPackage", "cd1/UnixInstallScript",
                        "cd1/wrappers/unix/w.sh", "tmp/.keep"})
    tqtest::WriteFile(Path(f), "x\n");
  const std::vector<std::string> zud = {"media", "package", Path("cd1"), "Zudedaz", "R1", "linux",
                                        "--cd", "2=" + Path("cd2"), "--cd", "3=" + Path("cd3"), "--json"};
  const struct {
    std::vector<std::string> args;
    const char *pointer;
    nlohmann::json want;
  } rows[] = {
      {{"status", "--json"}, "/products/0/msp", "2"},
      {{"status", "--json"}, "/products/0/hotfixes", {"HF_R55_FP4_07"}},
      {{"tree", "SOFTWARE\\Tarquel\\MRK", "--json"}, "/subkeys/0/subkeys/3/values/0/data", "R55 Feature Pack 4"},
      {{"--json", "get", "SOFTWARE\\Tarquel\\Extension DLLs", "Kernel"}, "/type", "multi-string"},
      {{"call", "TQPROD_GetValueWithRegType", "MRK", "FireWall", "1", "--json"}, "/outputs/arg4", 4},
      {{"dump", "--dir", sysroot_, "--json"}, "/file", Path("RegDump")},
      {{"media", "list", Path("cd1"), "--json"}, "/1/product", "Faraway"},
      {zud, "/cds_asked", {"2", "3"}},
      {zud, "/package", Path("tmp/dw_tmp/Zudedaz_R1_linux.tgz")},
  };
  for (const auto &row : rows)
    EXPECT_EQ(row.want, Tool(row.args).Json().at(nlohmann::json::json_pointer(row.pointer)))
        << testing::PrintToString(row.args);
  EXPECT_TRUE(Has(tqtest::ReadFile(Path("RegDump")), "\n\tHF_R55_FP4_07=1\n"));
  // Without the CDs it needs the tool names the next one (no terminal: no
  // prompt); a product on another CD makes it start over on that CD.
  EXPECT_TRUE(Has(Tool({zud.begin(), zud.begin() + 6}).err, "CD 2 is needed: give --cd 2=PATH"));
  EXPECT_EQ(Path("tmp/dw_tmp/Faraway_R1_linux.tgz\n"),
            Tool({"media", "package", Path("cd1"), "Faraway", "R1", "linux", "--cd", "3=" + Path("cd3")}).out);
  EXPECT_EQ(2, Tool({"media", "package", Path("cd1"), "Zudedaz", "R1", "linux", "--cd", "2"}).code);
  EXPECT_TRUE(Has(Tool({"media", "list", Path("nowhere")}).err, "no readable DW directory"));
  EXPECT_TRUE(Has(Tool({"media", "list", Path("cd1")}).out, " Esc\\x1b[2J ")) << "escaped";
  tqtest::WriteFile(Path("broken/ctx0.db"), std::string(5000, 'g'));
  EXPECT_TRUE(Has(Tool({"--registry", Path("broken"), "status"}).err,
                  "ctx0.db in " + Path("broken") + ": not a registry database, or corrupt"));
  setenv("PATH", path.c_str(), 1);
}

// Long work shows "done/total keys (rate/s)" on a terminal only (script(1)
// gives the tool one), and never with --json.
TEST_F(Commands, ProgressOnlyOnATerminal) {
  if (system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "no script(1)";
  const char *emulator = getenv("TQ_TEST_EMULATOR");
  auto on_terminal = [&](const std::string &args) {
    std::string cmd = "script -qec \"env TQ_PROGRESS_AFTER_MS=0 " + std::string(emulator ? emulator : "") +
                      " " + getenv("TQ_TOOL") + " " + args + "\" /dev/null > " + Path("tty.out");
    EXPECT_EQ(0, system(cmd.c_str())) << args;
    return tqtest::ReadFile(Path("tty.out"));
  };
  // Work long enough for the ticker (every 100 ms) to find it still running.
  ASSERT_EQ(TQREG_OK, TqkRegBeginBatch());
  for (int i = 0; i < 3000; ++i) tqtest::PutStr("SOFTWARE\\Tarquel\\MRK\\Many\\k" + std::to_string(i), "v", "1");
  ASSERT_EQ(TQREG_OK, TqkRegEndBatch(1));
  const std::string shown = on_terminal("copy MRK Copy");
  EXPECT_TRUE(std::regex_search(shown, std::regex("\rcopying ([1-9][0-9]*)/\\1 keys \\("))) << shown;
  EXPECT_EQ("", on_terminal("--json copy MRK Copy2"));
  EXPECT_EQ("", Tool({"copy", "MRK", "Copy3"}).err);
}

// The library reports through the platform's error(); when that cannot be
// located it writes the message as one line to standard error and goes on.
// The choice is made once per process: a child run of this program reports
// with dladdr failing, before any test starts.
const char kNoDladdr[] = "TQ_TEST_FAIL_DLADDR";

[[maybe_unused]] const bool kChild = [] {
  if (getenv(kNoDladdr) == nullptr) return false;
  unsetenv("MDSDIR");
  get_cust_name();
  fputs("still running\n", stderr);
  _exit(0);
}();

TEST(ReportFallback, WritesTheMessageToStandardErrorAndReturns) {
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self);
  ASSERT_GT(n, 0);
  setenv(kNoDladdr, "1", 1);
  Result r = Program(std::string(self, static_cast<size_t>(n)), {});
  unsetenv(kNoDladdr);
  EXPECT_EQ(0, r.code);
  EXPECT_EQ("get_cust_name: cannot get MDSDIR environment variable.\nstill running\n", r.err);
}

}  // namespace

// Exported, so that it stands in for the C library's in the library too.
extern "C" TQAPI int dladdr(const void *addr, Dl_info *info) noexcept {
  if (getenv(kNoDladdr) != nullptr) return 0;
  using Fn = int (*)(const void *, Dl_info *);
  static const Fn real = reinterpret_cast<Fn>(dlsym(RTLD_NEXT, "dladdr"));
  return real(addr, info);
}
