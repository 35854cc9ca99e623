// The product library's platform services: the multi-domain customer
// context, the SNMP extension agent, platform identification from the
// operating system's files, product.conf and tqm_filename. No file may be
// left open.
#include <sqlite3.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "raw.h"
#include "tq_test.h"

namespace {
std::string g_reports;  // "<status> <errnum> <text> | " for every error() report
}  // namespace

extern "C" TQAPI void error(int status, int errnum, const char *format, ...) {
  char buf[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_reports += std::to_string(status) + " " + std::to_string(errnum) + " " + buf + " | ";
}

namespace {

using namespace tqtest;

class PlatformTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    Env(nullptr, nullptr);
    fds_ = OpenFdCount();
  }
  void TearDown() override {
    EXPECT_EQ(fds_, OpenFdCount()) << "a file was left open";
    Env(nullptr, nullptr);
    RegistryTest::TearDown();
  }
  // Sets MDSDIR and FWDIR (unset when null); forgets caches and reports.
  static void Env(const char *mdsdir, const char *fwdir) {
    mdsdir ? setenv("MDSDIR", mdsdir, 1) : unsetenv("MDSDIR");
    fwdir ? setenv("FWDIR", fwdir, 1) : unsetenv("FWDIR");
    TQPROD_ResetRegCmaCache();
    g_reports.clear();
  }
  std::string Sys(const char *p) const { return sysroot_ + p; }
  int fds_ = 0;
};

// ---- Customer context ----------------------------------------------------

// get_cust_name's answer, then the reports it made.
std::string CustName() {
  std::string s = Take(get_cust_name()) + " | " + g_reports;
  g_reports.clear();
  return s;
}

TEST_F(PlatformTest, CustomerNameFromFwdir) {
  EXPECT_EQ("<null> | 1 -1 get_cust_name: cannot get MDSDIR environment variable. | ", CustName());
  const std::pair<std::string, std::string> rows[] = {
      {"", "<null> | 1 -1 get_cust_name: cannot get FWDIR environment variable. | "},
      {"/x/customers//a/customers/b/c", "a | "},
      {"/opt/mds", "<null> | "},  // the server itself
      {"/opt/CPfw", "<null> | 0 -1 get_cust_name: couldn't find /customers/ within fwdir | "},
      {"/opt/mds/customers//", "<null> | 1 -1 get_cust_name: badly formed fwdir, path ends after "
                               "customers/ | "},
      {"/opt/mds/customers/a", "<null> | 1 -1 get_cust_name: cannot FWDIR path is too short. | "}};
  for (const auto &[fwdir, want] : rows) {
    Env("/opt/mds", fwdir.empty() ? nullptr : fwdir.c_str());
    EXPECT_EQ(want, CustName()) << fwdir;
  }
}

// A multi-domain server: a non-empty string CurrentVersion of its product
// in the main system's registry, never inside a virtual system.
TEST_F(PlatformTest, CustomerAndServerNeedAMultiDomainServer) {
  const std::string server = "SOFTWARE\\Tarquel\\OSTRIVA";
  Env("/opt/mds", "/opt/mds/customers/acme/CPfw");
  EXPECT_EQ(0, is_cma() + is_mds());  // is_mds looks nothing up yet
  for (const char *text : {"", "R80"}) {
    PutRaw(server, "CurrentVersion", 7, text, static_cast<unsigned>(strlen(text) + 1));
    EXPECT_EQ(0, is_virtual_local_address()) << text;  // no string
    PutStr(server, "CurrentVersion", text);
    EXPECT_EQ(*text ? "11" : "00", std::to_string(is_virtual_local_address()) + std::to_string(is_cma())) << text;
  }
  // Never inside a virtual system (context 2).
  EXPECT_EQ((Ints{0, 0, 0, 0, 1}), (Ints{tq_ctxdb_add(2, 0, 0, 0), tq_set_vs_env(2), is_virtual_local_address(), tq_set_vs_env(0), is_cma()}));
  EXPECT_EQ(nullptr, TQPROD_GetCmaDir());  // no server directory
  PutStr(server + "\\R80", "FWDIR", std::string(498, 's'));  // the path is cut at 511
  const char *dir = TQPROD_GetCmaDir();
  EXPECT_EQ(std::string(498, 's') + "/customers/ac", dir);
  setenv("FWDIR", "/opt/mds/customers/beta/CPfw", 1);
  EXPECT_EQ(dir, TQPROD_GetCmaDir());  // cached until reset
  TQPROD_ResetRegCmaCache();
  EXPECT_EQ(std::string(498, 's') + "/customers/be", TQPROD_GetCmaDir());
  setenv("FWDIR", "/opt/mds", 1);
  EXPECT_EQ((Strings{"<null>", "1"}), (Strings{Str(TQPROD_GetCmaDir()), std::to_string(is_mds())}));  // no longer a customer, whatever is cached
  // The registered customer name is kept once found.
  PutStr("SOFTWARE\\Tarquel\\MRK", "CurrentVersion", "6.0");
  PutStr("SOFTWARE\\Tarquel\\MRK\\6.0", "CustomerName", "acme");
  EXPECT_STREQ("acme", get_customer_name());
  PutStr("SOFTWARE\\Tarquel\\MRK\\6.0", "CustomerName", "other");
  EXPECT_STREQ("acme", get_customer_name());
}

// ---- SNMP extension agent ------------------------------------------------

constexpr const char kAgents[] =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
const std::string kOurs = "SOFTWARE\\Tarquel\\TQShared\\6.0\\SnmpAgent";
const std::string kAdded = "1 SUCCEEDED to add Tarquel SNMP extension.\n";
const std::string kRemoved = "Succeeded to remove Tarquel SNMP extension.\n";

// Replaces the agent list with name=text entries, in order.
void SetAgents(const Strings &entries) {
  TqkRegDeleteKey(Root(), kAgents);
  MakeKey(kAgents);
  for (const std::string &e : entries)
    PutStr(kAgents, e.substr(0, e.find('=')), e.substr(e.find('=') + 1));
}
// The agent list as name=text in index order ("#<type>" for no string).
Strings Agents() {
  Strings out;
  for (const std::string &n : ValueNames(kAgents)) {
    unsigned type = GetRaw(kAgents, n).type;
    out.push_back(n + "=" + (type == TQREG_SZ ? GetStr(kAgents, n) : "#" + std::to_string(type)));
  }
  return out;
}
// The result of fn and what it wrote on standard error.
std::string Call(int (*fn)(void)) {
  testing::internal::CaptureStderr();
  int rc = fn();
  return std::to_string(rc) + " " + testing::internal::GetCapturedStderr();
}

TEST_F(PlatformTest, SnmpAgentTakesTheFirstFreeNameOnceOrReplacesAnOlderEntry) {
  PutStr("SOFTWARE\\Tarquel\\TQShared", "CurrentVersion", "6.0");
  SetAgents({"1=other", "3=x"});
  EXPECT_EQ("0 ", Call(HandleSnmpExtension));  // AddSnmp absent: switched off
  PutNum("SOFTWARE\\Tarquel\\TQShared\\6.0", "AddSnmp", 1);
  EXPECT_EQ(kAdded, Call(HandleSnmpExtension));  // a gap in the names is filled
  EXPECT_EQ((Strings{"1=other", "3=x", "2=" + kOurs}), Agents());
  EXPECT_EQ("0 Tarquel SNMP extension already installed.\n", Call(HandleSnmpExtension));
  // An older entry of ours is replaced in place; a string longer than the
  // 1,024-byte buffer is a taken name.
  SetAgents({"1=" + std::string(3000, 'x'), "2=SOFTWARE\\Tarquel\\TQShared\\5.0\\SnmpAgent"});
  EXPECT_EQ(kAdded, Call(HandleSnmpExtension));
  EXPECT_EQ("2=" + kOurs, Agents()[1]);
  TqkRegDeleteKey(Root(), kAgents);
  EXPECT_EQ((Strings{"0 ", "0"}), (Strings{Call(HandleSnmpExtension), std::to_string(KeyExists(kAgents))}));  // no list: nothing created
}

// Every family entry goes, whichever version; deleting one moves the next
// into its index. Values that are no plain string or too long to be ours
// stay.
TEST_F(PlatformTest, SnmpRemovalTakesEveryFamilyEntryAndNothingElse) {
  const std::string huge = "6=" + std::string(1100, 'x') + kOurs;
  SetAgents({"1=other", "2=" + kOurs, "3=SOFTWARE\\Tarquel\\TQShared\\SnmpAgent", "4=x", huge,
             "5=" + kOurs});
  PutRaw(kAgents, "7", 7, kOurs.c_str(), static_cast<unsigned>(kOurs.size() + 1));
  EXPECT_EQ("0 " + kRemoved + kRemoved + kRemoved, Call(RemoveSnmpExtension));
  EXPECT_EQ((Strings{"1=other", "4=x", huge, "7=#7"}), Agents());
}

// ---- Platform identification ---------------------------------------------

// TQPROD_ZudedazVer into buffers of exactly 37 and 34 bytes, whose guard
// bytes must stay untouched: "<result> <major> <minor>".
std::string Ver() {
  char maj[37 + 8], min[34 + 8];
  memset(maj, '#', sizeof maj);
  memset(min, '#', sizeof min);
  int r = TQPROD_ZudedazVer(maj, min);
  EXPECT_EQ(std::string(16, '#'), std::string(maj + 37, 8) + std::string(min + 34, 8));
  return std::to_string(r) + " " + std::string(maj, strnlen(maj, 37)) + " " +
         std::string(min, strnlen(min, 34));
}

TEST_F(PlatformTest, ZudedazVerDefaultsKeysAndCuts) {
  EXPECT_EQ("0 VXFP2 E1", Ver());
  const std::string v(100, 'v'), v32(32, 'v');
  const std::pair<std::string, std::string> rows[] = {
      // An empty value changes nothing; junk lines are ignored.
      {"CD_RELEASE='VX With Application Intelligence'\r\nCD_EDITION=7\r\nno equals sign\n"
       "CD_EDITION=''\n", "1 VX_AI E7"},
      {"CD_RELEASE=" + v + "\nCD_EDITION=" + v + "\n", "1 VXFP" + v32 + " E" + v32},
      // The tail of an over-long line is not a line of its own.
      {"DW_Major=" + v + "\n" + std::string(300, 'x') + "DW_Minor=tail\n", "1 " + v32 + " E1"}};
  for (const auto &[text, want] : rows) {
    WriteFile(Sys("/etc/cd.ver"), text);
    EXPECT_EQ(want, Ver()) << text.substr(0, 60);
  }
}

TEST_F(PlatformTest, SetZudedazProRewritesKeepingOrderAndPermissions) {
  const std::string cdver = Sys("/etc/cd.ver");
  const std::string keep = "A=1\nLONG=" + std::string(300, 'l') + "\nC=3\n";
  EXPECT_EQ(-1, TQPROD_SetZudedazPro(1));  // no cd.ver: none made
  WriteFile(cdver, "A=1\nBXPRO=0\n\n\nLONG=" + std::string(300, 'l') + "\nBXPRO=1\nC=3");
  ASSERT_EQ(0, chmod(cdver.c_str(), 0664));
  int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);  // sees the system root's entries opened
  ASSERT_GE(inotify_add_watch(watch, sysroot_.c_str(), IN_OPEN), 0);
  ASSERT_EQ(0, TQPROD_SetZudedazPro(7));
  alignas(inotify_event) char event[4096];
  ASSERT_GT(read(watch, event, sizeof event), 0);
  EXPECT_STREQ("etc", reinterpret_cast<inotify_event *>(event)->name);  // synced after the rename
  close(watch);
  EXPECT_EQ(keep + "BXPRO=1\n", ReadFile(cdver));
  struct stat st;
  EXPECT_EQ(0664u, stat(cdver.c_str(), &st) == 0 ? st.st_mode & 07777 : 1u);  // not narrowed by the umask
  // Never writes through a link at the temporary name.
  ASSERT_EQ(0, symlink(Sys("/victim").c_str(), Sys("/etc/cd.ver.mod").c_str()));
  EXPECT_EQ((Ints{-1, -1}), (Ints{TQPROD_SetZudedazPro(0), access(Sys("/victim").c_str(), F_OK)}));
}

// A context table of another shape refuses adds rather than taking them.
TEST_F(PlatformTest, ContextTableOfAnotherShapeRefusesAdds) {
  sqlite3 *db = nullptr;
  ASSERT_EQ(SQLITE_OK, sqlite3_open((regdir_ + "/contexts.db").c_str(), &db));
  ASSERT_EQ(SQLITE_OK, sqlite3_exec(db, "CREATE TABLE contexts (id INTEGER PRIMARY KEY)", nullptr, nullptr, nullptr));
  sqlite3_close(db);
  EXPECT_EQ(-1, tq_ctxdb_add(3, 0, 0, 0));
}

std::string Config(char which) { return Take(TQPROD_GetConfigFrom41(which)); }

TEST_F(PlatformTest, ReleaseFilesFwkernProductConfAndDiskless) {
  EXPECT_EQ(0, TQPROD_IsZudedaz() + TQPROD_IsCrossBeamPlatform() + TQPROD_IsZudedazPro());
  const std::pair<const char *, int> releases[] = {
      {"Zudedaz Pro release R80.40\n", 1}, {"ID=zud\nNAME=\"Zudedaz Pro\"\n", 1}, {"NAME=Zudedaz Pro\n", 1},
      {"NAME=' Zudedaz Pro'\n", 1}, {"NAME=\"Zudedaz Pro'\n", 0}, {"Zudedaz Professional\n", 0}};
  for (const auto &[text, pro] : releases) {
    WriteFile(Sys("/etc/tq-release"), text);
    EXPECT_EQ(pro, TQPROD_IsZudedazPro()) << text;
  }
  // The last valid fw_is_running_on_cbs line counts; a line keeps 79 characters.
  const std::string key = "fw_is_running_on_cbs=";
  const std::pair<std::string, int> confs[] = {
      {key + "1\n " + key + "9\n" + key + "x\n" + std::string(100, 'p') + key + "4\n" + key + "3",
       3},
      {key + "99999999999999\n", 2147483647}, {key + std::string(57, '0') + "12", 1}};
  EXPECT_EQ("0 <null>", std::to_string(TQPROD_IsCrossbeamX()) + " " + Config('p'));  // FWDIR unset
  setenv("FWDIR", Sys("/fw").c_str(), 1);
  for (const auto &[text, want] : confs) {
    WriteFile(Sys("/fw/boot/modules/fwkern.conf"), text);
    EXPECT_EQ(want, TQPROD_IsCrossbeamX()) << text;
  }
  WriteFile(Sys("/etc/sysconfig/SETUP"), " DISKLESS=1\n" + std::string(2000, 'z') + "DISKLESS=1\n");
  WriteFile(Sys("/etc/cd.ver"), "CD_RELEASE=5\nDISKLESS=1");
  EXPECT_EQ((Ints{0, 1}), (Ints{TQPROD_IsDiskless(), TQPROD_IsPureDiskless()}));
  // product.conf: whole non-zero numbers enable products and components.
  const std::string conf = Sys("/fw/conf/product.conf");
  WriteFile(conf, "FireWall 0\nFireWall 1x\nFireWall \v1\n");  // whole non-zero numbers only
  EXPECT_EQ("<null> <null>", Config('p') + " " + Config('c'));
  WriteFile(conf, "# FireWall 1\nQuellin\t1\nFireWall +1\nFWManagement=1\r\nHighAvailability -1\n"
                  "QLManagement 1\nFWManagement 2\nHighAvailability 0\nFireWall\n");
  EXPECT_EQ((Strings{"QLN,MRK", "FireWall,FWManagement,HighAvailability,FWManagement"}), (Strings{Config('p'), Config('c')}));
}

// The whole name and its terminator, or nothing.
TEST_F(PlatformTest, TqmFilenameFitsOrWritesNothing) {
  char buf[64] = "#";
  EXPECT_EQ(nullptr, tqm_filename("conf", "x", buf, sizeof buf));  // no management directory
  PutStr("SOFTWARE\\Tarquel\\MRK", "CurrentVersion", "R80");
  PutStr("SOFTWARE\\Tarquel\\MRK\\R80", "TQMDIR", "/opt/tqm");
  const char *rows[][3] = {{nullptr, "/abs/file", "/abs/file"}, {"/etc/fw", "f.conf", "/etc/fw/f.conf"},
                           {"conf", "x", "/opt/tqm/conf/x"}};
  for (auto &r : rows) {
    const std::string before = buf;
    const unsigned fits = static_cast<unsigned>(strlen(r[2]) + 1);
    EXPECT_EQ(nullptr, tqm_filename(r[0], r[1], buf, fits - 1)) << r[2];
    EXPECT_EQ(before, buf);
    EXPECT_STREQ(r[2], tqm_filename(r[0], r[1], buf, fits));
  }
}

}  // namespace
