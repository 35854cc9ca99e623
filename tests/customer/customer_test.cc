// Multi-domain customer context: server or customer, name and directory,
// caches and per-customer values.
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tq_test.h"

namespace {
struct Report {
  int level;
  int code;
  std::string text;
  bool operator==(const Report &o) const {
    return level == o.level && code == o.code && text == o.text;
  }
};
std::vector<Report> g_reports;
}  // namespace

// Reports handed to the platform's error() land here.
extern "C" TQAPI void error(int status, int errnum, const char *format, ...) {
  char buf[2048];
  va_list ap;
  va_start(ap, format);
  vsnprintf(buf, sizeof buf, format, ap);
  va_end(ap);
  g_reports.push_back({status, errnum, buf});
}

namespace {

using Reports = std::vector<Report>;

void PrintTo(const Report &r, std::ostream *os) {
  *os << "{" << r.level << ", " << r.code << ", \"" << r.text << "\"}";
}

class CustomerTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    g_reports.clear();
    Clean();
  }
  void TearDown() override {
    Clean();
    RegistryTest::TearDown();
  }
  static void Clean() {
    unsetenv("FWDIR");
    unsetenv("MDSDIR");
    TQPROD_ResetRegCmaCache();
  }
  // Sets MDSDIR and FWDIR (unset when null).
  static void Env(const char *mdsdir, const char *fwdir) {
    if (mdsdir) setenv("MDSDIR", mdsdir, 1);
    if (fwdir) setenv("FWDIR", fwdir, 1); else unsetenv("FWDIR");
  }
  // Makes this machine a multi-domain server whose own directory is dir.
  static void MakeServer(const char *dir) {
    ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "CurrentVersion", 1, "R80", 0));
    if (dir != nullptr) {
      ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "FWDIR", 1, dir, 1));
    }
  }
  static std::string CustName() {
    char *n = get_cust_name();
    std::string s = n ? n : "<null>";
    free(n);
    return s;
  }
  static Reports Take() {
    Reports r = g_reports;
    g_reports.clear();
    return r;
  }
};

TEST_F(CustomerTest, CustomerNameFromFwdir) {
  std::string n5000(5000, 'n');
  const std::pair<std::string, std::string> good[] = {
      {"/opt/mds/customers/acme/CPfw", "acme"},  {"/opt/mds/customers//acme/CPfw", "acme"},
      {"/opt/mds/customers///beta/", "beta"},    {"/x/customers/a/customers/b/c", "a"},
      {"/opt/mds/customers/" + n5000 + "/fw", n5000},
      {"/opt/mds", "<null>"},  // the server itself: no customer and no report
  };
  for (const auto &[fwdir, name] : good) {
    Env("/opt/mds", fwdir.c_str());
    EXPECT_EQ(name, CustName()) << fwdir.substr(0, 40);
  }
  EXPECT_EQ(Reports{}, Take());
}

TEST_F(CustomerTest, CustomerNameFailures) {
  EXPECT_EQ("<null>", CustName());
  EXPECT_EQ((Reports{{1, -1, "get_cust_name: cannot get MDSDIR environment variable."}}), Take());
  Env("/opt/mds", nullptr);
  EXPECT_EQ("<null>", CustName());
  EXPECT_EQ((Reports{{1, -1, "get_cust_name: cannot get FWDIR environment variable."}}), Take());

  const Report none{0, -1, "get_cust_name: couldn't find /customers/ within fwdir"};
  const Report ends{1, -1, "get_cust_name: badly formed fwdir, path ends after customers/"};
  const std::pair<const char *, Report> bad[] = {
      {"/opt/CPfw", none},
      {"/opt/mds/customers", none},
      {"", none},
      {"/opt/mds/customers/", ends},
      {"/opt/mds/customers////", ends},
      {"/opt/mds/customers/acme", {1, -1, "get_cust_name: cannot FWDIR path is too short."}},
  };
  for (const auto &[fwdir, report] : bad) {
    Env(nullptr, fwdir);
    EXPECT_EQ("<null>", CustName()) << fwdir;
    EXPECT_EQ(Reports{report}, Take()) << fwdir;
  }
}

TEST_F(CustomerTest, IsCmaNeedsAMultiDomainServerAndACustomer) {
  Env("/opt/mds", "/opt/mds/customers/acme/CPfw");
  EXPECT_EQ(0, is_cma());
  MakeServer(nullptr);
  EXPECT_EQ(1, is_cma());
  Env(nullptr, "/opt/mds");
  EXPECT_EQ(0, is_cma());
  Env(nullptr, "/opt/mds/customers/acme");
  EXPECT_EQ(0, is_cma());
  EXPECT_EQ(1u, Take().size());
}

// is_mds keeps FWDIR and MDSDIR for the process once found: one story.
TEST_F(CustomerTest, IsMdsKeepsTheEnvironmentOnceFound) {
  Env("/opt/mds", "/opt/mds");
  EXPECT_EQ(0, is_mds());  // not a multi-domain server: nothing looked up
  unsetenv("FWDIR");
  MakeServer(nullptr);
  EXPECT_EQ(0, is_mds());  // MDSDIR found and kept, FWDIR missing
  unsetenv("MDSDIR");
  Env(nullptr, "/opt/mds");
  EXPECT_EQ(1, is_mds());  // FWDIR found now; MDSDIR as kept
  Env(nullptr, "/opt/mds/customers/acme/CPfw");
  EXPECT_EQ(1, is_mds());  // still the kept values
  EXPECT_EQ(Reports{}, Take());
}

TEST_F(CustomerTest, CmaDirIsCachedUntilReset) {
  Env("/opt/mds", "/opt/mds/customers/acme/CPfw");
  EXPECT_EQ(nullptr, TQPROD_GetCmaDir());  // not a server yet
  MakeServer("/srv/mds");
  const char *dir = TQPROD_GetCmaDir();
  ASSERT_NE(nullptr, dir);
  EXPECT_STREQ("/srv/mds/customers/acme", dir);
  Env(nullptr, "/opt/mds/customers/beta/CPfw");
  EXPECT_EQ(dir, TQPROD_GetCmaDir());  // the cache, not worked out again
  EXPECT_STREQ("/srv/mds/customers/acme", dir);

  TQPROD_ResetRegCmaCache();
  char *hog = strdup("/srv/mds/customers/acme");  // takes the released block
  const char *again = TQPROD_GetCmaDir();
  ASSERT_NE(nullptr, again);
  EXPECT_NE(static_cast<const void *>(dir), static_cast<const void *>(again));
  EXPECT_STREQ("/srv/mds/customers/beta", again);
  free(hog);

  // No longer a customer: NULL, whatever is cached.
  Env(nullptr, "/opt/mds");
  EXPECT_EQ(nullptr, TQPROD_GetCmaDir());
  EXPECT_EQ(Reports{}, Take());
}

TEST_F(CustomerTest, CmaDirWithoutOrWithOddServerDirectory) {
  Env("/opt/mds", "/opt/mds/customers/acme/CPfw");
  MakeServer(nullptr);
  EXPECT_EQ(nullptr, TQPROD_GetCmaDir());  // no registered server directory
  ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "FWDIR", 4, "17", 1));
  EXPECT_EQ(nullptr, TQPROD_GetCmaDir());  // a number is no directory

  std::string server(600, 's');
  ASSERT_EQ(0, TQPROD_SetValue("OSTRIVA", "FWDIR", 1, server.c_str(), 1));
  const char *dir = TQPROD_GetCmaDir();
  ASSERT_NE(nullptr, dir);
  EXPECT_EQ(server.substr(0, 511), dir);  // bounded to 511 characters
}

TEST_F(CustomerTest, ResetReleasesTheFirewallPathAndCustomerName) {
  char *mrk = TQPROD_GetRegMrkPath();
  ASSERT_NE(nullptr, mrk);
  EXPECT_EQ(mrk, TQPROD_GetRegMrkPath());  // cached
  TQPROD_ResetRegCmaCache();
  char *hog = strdup("SOFTWARE\\Tarquel\\MRK");
  char *fresh = TQPROD_GetRegMrkPath();
  EXPECT_NE(mrk, fresh);
  EXPECT_STREQ("SOFTWARE\\Tarquel\\MRK", fresh);
  free(hog);
  // Resetting twice in a row, or with nothing cached, is harmless.
  TQPROD_ResetRegCmaCache();
  TQPROD_ResetRegCmaCache();
}

// The registered name is kept once found, so this is one test.
TEST_F(CustomerTest, RegisteredCustomerNameIsKeptOnceFound) {
  EXPECT_EQ(nullptr, get_customer_name());
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "6.0", 0));
  EXPECT_EQ(nullptr, get_customer_name());
  std::string longname(2000, 'c');
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CustomerName", 1, longname.c_str(), 1));
  const char *name = get_customer_name();
  ASSERT_NE(nullptr, name);
  EXPECT_EQ(longname.substr(0, 1023), name);
  ASSERT_EQ(0, TQPROD_SetValue("MRK", "CustomerName", 1, "other", 1));
  EXPECT_EQ(name, get_customer_name());
  EXPECT_EQ(longname.substr(0, 1023), get_customer_name());
}

TEST_F(CustomerTest, WhichValuesArePerCustomer) {
  struct Case {
    const char *key, *name;
    int unique;
  };
  const Case cases[] = {
      {"MRK", "TQLocalAuthDir", 0}, {"MRK", "FWDIR", 1}, {"MRK", nullptr, 1},
      {"TQshared\\6.0", "TQDIR", 1}, {"TQshared\\6.0", "Other", 0}, {"TQshared", nullptr, 0},
      {"TQshared", "TQLocalAuthDir", 0}, {"Components\\x", "TQDIR", 0}, {"PRNG", "TQDIR", 0},
      {"PRNGseed", "x", 0}, {"XLNK\\PRNG", "x", 1}, {"", "x", 1}, {nullptr, "x", 1},
      {nullptr, nullptr, 1},
  };
  for (const Case &c : cases)
    EXPECT_EQ(c.unique, is_cma_unique(c.key, c.name))
        << (c.key ? c.key : "(null)") << " " << (c.name ? c.name : "(null)");
}

}  // namespace
