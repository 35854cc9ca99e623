// Registration and removal of the family's SNMP extension agent, and the
// removal of one firewall version key.
#include <stdlib.h>
#include <string.h>

#include <map>
#include <string>

#include "tq_test.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;
using Map = std::map<std::string, std::string>;

constexpr const char kAgents[] =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
constexpr const char kOurs[] = "SOFTWARE\\Tarquel\\TQShared\\6.0\\SnmpAgent";
constexpr const char kOlder[] = "SOFTWARE\\Tarquel\\TQShared\\5.0\\SnmpAgent";
constexpr const char kOther1[] = "SOFTWARE\\Vendor\\Agent1\\CurrentVersion";
constexpr const char kOther2[] = "SOFTWARE\\Vendor\\Agent2\\CurrentVersion";
constexpr const char kAdded[] = "SUCCEEDED to add Tarquel SNMP extension.\n";
constexpr const char kRemoved[] = "Succeeded to remove Tarquel SNMP extension.\n";

TQHKEY Hklm() { return TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(); }

class SnmpTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    ASSERT_EQ(0, TQPROD_SetValue("TQShared", "CurrentVersion", 1, "6.0", 0));
  }
  static void SwitchOn(const char *value = "1") {
    ASSERT_EQ(0, TQPROD_SetValue("TQShared", "AddSnmp", 4, value, 1));
  }
  // Replaces the agent list with the given name/value pairs, in order.
  static void SetAgents(std::initializer_list<std::pair<const char *, const char *>> entries) {
    TqkRegDeleteKey(Hklm(), kAgents);
    TQHKEY k;
    ASSERT_EQ(0, TqkRegCreateKey(Hklm(), kAgents, &k));
    for (auto [name, value] : entries)
      ASSERT_EQ(0, TqkRegSetValueEx(k, name, 0, TQREG_SZ, value, (unsigned)strlen(value) + 1));
    TqkRegCloseKey(k);
  }
  static void AddRaw(const char *name, unsigned type, const void *data, unsigned size) {
    TQHKEY k;
    ASSERT_EQ(0, TqkRegOpenKeyEx(Hklm(), kAgents, 0, 0, &k));
    ASSERT_EQ(0, TqkRegSetValueEx(k, name, 0, type, data, size));
    TqkRegCloseKey(k);
  }
  // The agent list as name -> text ("#<type>" for values that are no string).
  static Map Agents() {
    Map out;
    TQHKEY k;
    if (TqkRegOpenKeyEx(Hklm(), kAgents, 0, 0, &k) != 0) return out;
    for (unsigned i = 0;; ++i) {
      char name[600], data[600];
      unsigned ns = sizeof name, ds = sizeof data, type = 0;
      int rc = TqkRegEnumValue(k, i, name, &ns, nullptr, &type, data, &ds);
      if (rc == TQREG_E_MOREDATA) continue;  // longer than these buffers
      if (rc != 0) break;
      out[name] = type == TQREG_SZ ? std::string(data) : "#" + std::to_string(type);
    }
    TqkRegCloseKey(k);
    return out;
  }
  // HandleSnmpExtension's result and what it printed.
  static std::pair<int, std::string> Handle() {
    CaptureStderr();
    int rc = HandleSnmpExtension();
    return {rc, GetCapturedStderr()};
  }
};

TEST_F(SnmpTest, NothingHappensWhenSwitchedOffOrWithoutTheList) {
  SetAgents({{"1", kOther1}});
  EXPECT_EQ(std::make_pair(0, std::string()), Handle());  // AddSnmp absent
  SwitchOn("0");
  EXPECT_EQ(std::make_pair(0, std::string()), Handle());
  EXPECT_EQ((Map{{"1", kOther1}}), Agents());
  SwitchOn();
  TqkRegDeleteKey(Hklm(), kAgents);
  EXPECT_EQ(std::make_pair(0, std::string()), Handle());
  EXPECT_EQ(Map{}, Agents());
}

TEST_F(SnmpTest, RegistersUnderTheFirstFreeNameOnceOrReplacesAnOlderEntry) {
  SwitchOn();
  SetAgents({{"1", kOther1}, {"2", kOther2}});
  EXPECT_EQ(std::make_pair(1, std::string(kAdded)), Handle());
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOther2}, {"3", kOurs}}), Agents());
  EXPECT_EQ(std::make_pair(0, std::string("Tarquel SNMP extension already installed.\n")),
            Handle());
  EXPECT_EQ(3u, Agents().size());

  SetAgents({{"1", kOther1}, {"3", kOther2}});  // a gap in the names is filled
  EXPECT_EQ(1, Handle().first);
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOurs}, {"3", kOther2}}), Agents());

  SetAgents({{"1", kOther1}, {"2", kOlder}, {"3", kOther2}});  // replaced in place
  EXPECT_EQ(std::make_pair(1, std::string(kAdded)), Handle());
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOurs}, {"3", kOther2}}), Agents());

  // A string longer than the 1,024-byte buffer and a number still take names.
  std::string huge(3000, 'x');
  SetAgents({{"1", huge.c_str()}});
  uint32_t num = 7;
  AddRaw("2", TQREG_DWORD, &num, sizeof num);
  EXPECT_EQ(1, Handle().first);
  EXPECT_EQ(kOurs, Agents()["3"]);

  // Without a current version the agent hangs off the key itself.
  ASSERT_EQ(0, TQPROD_DelValue("TQShared", "CurrentVersion", 0));
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "AddSnmp", 4, "1", 0));
  SetAgents({});
  EXPECT_EQ(1, Handle().first);
  EXPECT_EQ((Map{{"1", "SOFTWARE\\Tarquel\\TQShared\\SnmpAgent"}}), Agents());
}

TEST_F(SnmpTest, RemovalTakesEveryFamilyEntryAndNothingElse) {
  SwitchOn();
  SetAgents({{"1", kOther1}});
  ASSERT_EQ(1, Handle().first);
  CaptureStderr();
  ASSERT_EQ(0, RemoveSnmpExtension());
  EXPECT_EQ(kRemoved, GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}}), Agents());  // round trip

  // Adjacent family entries: deleting one moves the next into its index.
  SetAgents({{"1", kOther1}, {"2", kOurs}, {"3", kOlder}, {"4", kOther2}, {"5", kOurs}});
  AddRaw("6", 7, kOurs, sizeof kOurs);  // no plain string
  CaptureStderr();
  EXPECT_EQ(0, RemoveSnmpExtension());
  EXPECT_EQ(std::string(kRemoved) + kRemoved + kRemoved, GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}, {"4", kOther2}, {"6", "#7"}}), Agents());
  CaptureStderr();
  EXPECT_EQ(0, RemoveSnmpExtension());  // nothing left of ours
  EXPECT_EQ("", GetCapturedStderr());
  TqkRegDeleteKey(Hklm(), kAgents);
  EXPECT_EQ(0, RemoveSnmpExtension());  // no list at all
}

// ---- DeleteMirrakVersion ----------------------------------------------

class MirrakVersionTest : public tqtest::RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    SetMirrakEffectiveVersion(nullptr);
    ASSERT_EQ(0, TQPROD_SetValue("MRK", "CurrentVersion", 1, "6.0", 0));
    ASSERT_EQ(0, TQPROD_SetValue("MRK\\5.0", "Old", 1, "x", 0));
    ASSERT_EQ(0, TQPROD_SetValue("MRK\\6.0", "New", 1, "y", 0));
  }
  void TearDown() override {
    SetMirrakEffectiveVersion(nullptr);
    RegistryTest::TearDown();
  }
  static bool Has(const std::string &sub) {
    TQHKEY k;
    std::string path = "SOFTWARE\\Tarquel\\MRK" + sub;
    if (TqkRegOpenKeyEx(Hklm(), path.c_str(), 0, 0, &k) != 0) return false;
    TqkRegCloseKey(k);
    return true;
  }
  static std::string Effective() {
    char *v = GetMirrakEffectiveVersion();
    std::string s = v ? v : "<none>";
    free(v);
    return s;
  }
};

TEST_F(MirrakVersionTest, DeletesOnlyTheNamedVersion) {
  SetMirrakEffectiveVersion("6.0");
  DeleteMirrakVersion("9.9");  // unknown: no key left behind
  EXPECT_FALSE(Has("\\9.9"));
  EXPECT_TRUE(Has("\\5.0"));
  DeleteMirrakVersion("5.0");
  EXPECT_FALSE(Has("\\5.0"));
  EXPECT_TRUE(Has("\\6.0"));
  EXPECT_EQ("6.0", Effective());
  SetMirrakEffectiveVersion(nullptr);
  DeleteMirrakVersion("6.0");
  EXPECT_FALSE(Has("\\6.0"));
  EXPECT_TRUE(Has(""));
  EXPECT_EQ("<none>", Effective());
}

TEST_F(MirrakVersionTest, BadInputTouchesNothing) {
  DeleteMirrakVersion(nullptr);
  DeleteMirrakVersion("");
  DeleteMirrakVersion(std::string(2000, 'v').c_str());
  EXPECT_TRUE(Has("\\5.0"));
  EXPECT_TRUE(Has("\\6.0"));
  // Without the firewall key nothing is created.
  ASSERT_EQ(0, TQPROD_DelKey("MRK"));
  DeleteMirrakVersion("5.0");
  EXPECT_FALSE(Has(""));
  EXPECT_EQ("<none>", Effective());
}

}  // namespace
