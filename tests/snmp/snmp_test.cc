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

constexpr const char kAgents[] =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
constexpr const char kOurs[] = "SOFTWARE\\Tarquel\\TQShared\\6.0\\SnmpAgent";
constexpr const char kOlder[] = "SOFTWARE\\Tarquel\\TQShared\\5.0\\SnmpAgent";
constexpr const char kOther1[] = "SOFTWARE\\Vendor\\Agent1\\CurrentVersion";
constexpr const char kOther2[] = "SOFTWARE\\Vendor\\Agent2\\CurrentVersion";

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
    TqkRegDeleteKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents);
    TQHKEY k;
    ASSERT_EQ(0, TqkRegCreateKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents, &k));
    for (auto [name, value] : entries)
      ASSERT_EQ(0, TqkRegSetValueEx(k, name, 0, TQREG_SZ, value,
                                    static_cast<unsigned>(strlen(value) + 1)));
    TqkRegCloseKey(k);
  }
  // The agent list as name -> text ("#<type>" for values that are no string).
  static std::map<std::string, std::string> Agents() {
    std::map<std::string, std::string> out;
    TQHKEY k;
    if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents, 0, 0, &k) != 0)
      return out;
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
  using Map = std::map<std::string, std::string>;
};

TEST_F(SnmpTest, NothingHappensWhenSwitchedOffOrWithoutTheList) {
  SetAgents({{"1", kOther1}});
  CaptureStderr();
  EXPECT_EQ(0, HandleSnmpExtension());  // AddSnmp absent
  SwitchOn("0");
  EXPECT_EQ(0, HandleSnmpExtension());
  EXPECT_EQ("", GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}}), Agents());

  SwitchOn();
  TqkRegDeleteKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents);
  CaptureStderr();
  EXPECT_EQ(0, HandleSnmpExtension());
  EXPECT_EQ("", GetCapturedStderr());
  EXPECT_EQ(Map{}, Agents());
}

TEST_F(SnmpTest, RegistersUnderTheFirstFreeNameOnce) {
  SwitchOn();
  SetAgents({{"1", kOther1}, {"2", kOther2}});
  CaptureStderr();
  EXPECT_EQ(1, HandleSnmpExtension());
  EXPECT_EQ("SUCCEEDED to add Tarquel SNMP extension.\n", GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOther2}, {"3", kOurs}}), Agents());

  CaptureStderr();
  EXPECT_EQ(0, HandleSnmpExtension());
  EXPECT_EQ("Tarquel SNMP extension already installed.\n", GetCapturedStderr());
  EXPECT_EQ(3u, Agents().size());

  // A gap in the names is filled.
  SetAgents({{"1", kOther1}, {"3", kOther2}});
  CaptureStderr();
  EXPECT_EQ(1, HandleSnmpExtension());
  GetCapturedStderr();
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOurs}, {"3", kOther2}}), Agents());
}

TEST_F(SnmpTest, AnOlderFamilyEntryIsReplacedInPlace) {
  SwitchOn();
  SetAgents({{"1", kOther1}, {"2", kOlder}, {"3", kOther2}});
  CaptureStderr();
  EXPECT_EQ(1, HandleSnmpExtension());
  EXPECT_EQ("SUCCEEDED to add Tarquel SNMP extension.\n", GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}, {"2", kOurs}, {"3", kOther2}}), Agents());
}

TEST_F(SnmpTest, UnreadableOrOddEntriesAreSkipped) {
  SwitchOn();
  // A string longer than the 1,024-byte buffer and a number take names.
  std::string huge(3000, 'x');
  SetAgents({{"1", huge.c_str()}});
  TQHKEY k;
  ASSERT_EQ(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents, 0, 0, &k));
  uint32_t num = 7;
  ASSERT_EQ(0, TqkRegSetValueEx(k, "2", 0, TQREG_DWORD, &num, sizeof num));
  TqkRegCloseKey(k);
  CaptureStderr();
  EXPECT_EQ(1, HandleSnmpExtension());
  GetCapturedStderr();
  EXPECT_EQ(kOurs, Agents()["3"]);
}

TEST_F(SnmpTest, WithoutCurrentVersionTheAgentHangsOffTheKeyItself) {
  ASSERT_EQ(0, TQPROD_DelValue("TQShared", "CurrentVersion", 0));
  ASSERT_EQ(0, TQPROD_SetValue("TQShared", "AddSnmp", 4, "1", 0));
  SetAgents({});
  CaptureStderr();
  EXPECT_EQ(1, HandleSnmpExtension());
  GetCapturedStderr();
  EXPECT_EQ((Map{{"1", "SOFTWARE\\Tarquel\\TQShared\\SnmpAgent"}}), Agents());
}

TEST_F(SnmpTest, RemovalTakesEveryFamilyEntryAndNothingElse) {
  // Adjacent family entries: deleting one moves the next into its index.
  SetAgents({{"1", kOther1}, {"2", kOurs}, {"3", kOlder}, {"4", kOther2}, {"5", kOurs}});
  TQHKEY k;
  ASSERT_EQ(0, TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents, 0, 0, &k));
  ASSERT_EQ(0, TqkRegSetValueEx(k, "6", 0, 7, kOurs, sizeof kOurs));  // no plain string
  TqkRegCloseKey(k);
  CaptureStderr();
  EXPECT_EQ(0, RemoveSnmpExtension());
  EXPECT_EQ(
      "Succeeded to remove Tarquel SNMP extension.\n"
      "Succeeded to remove Tarquel SNMP extension.\n"
      "Succeeded to remove Tarquel SNMP extension.\n",
      GetCapturedStderr());
  EXPECT_EQ((Map{{"1", kOther1}, {"4", kOther2}, {"6", "#7"}}), Agents());

  CaptureStderr();
  EXPECT_EQ(0, RemoveSnmpExtension());  // nothing left of ours
  EXPECT_EQ("", GetCapturedStderr());
  TqkRegDeleteKey(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), kAgents);
  EXPECT_EQ(0, RemoveSnmpExtension());  // no list at all
}

TEST_F(SnmpTest, RegisterThenRemoveRoundTrip) {
  SwitchOn();
  SetAgents({{"1", kOther1}});
  CaptureStderr();
  ASSERT_EQ(1, HandleSnmpExtension());
  ASSERT_EQ(0, RemoveSnmpExtension());
  GetCapturedStderr();
  EXPECT_EQ((Map{{"1", kOther1}}), Agents());
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
  static bool HasKey(const char *path) {
    TQHKEY k;
    if (TqkRegOpenKeyEx(TqkRegGlobalEntry_HKEY_LOCAL_MACHINE(), path, 0, 0, &k) != 0) return false;
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
  DeleteMirrakVersion("5.0");
  EXPECT_FALSE(HasKey("SOFTWARE\\Tarquel\\MRK\\5.0"));
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\6.0"));
  EXPECT_EQ("6.0", Effective());
  SetMirrakEffectiveVersion(nullptr);
  DeleteMirrakVersion("6.0");
  EXPECT_FALSE(HasKey("SOFTWARE\\Tarquel\\MRK\\6.0"));
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK"));
  EXPECT_EQ("<none>", Effective());
}

TEST_F(MirrakVersionTest, AnUnknownVersionLeavesNoKeyBehind) {
  SetMirrakEffectiveVersion("6.0");
  DeleteMirrakVersion("9.9");
  EXPECT_FALSE(HasKey("SOFTWARE\\Tarquel\\MRK\\9.9"));
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\5.0"));
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\6.0"));
  EXPECT_EQ("6.0", Effective());
}

TEST_F(MirrakVersionTest, BadInputTouchesNothing) {
  DeleteMirrakVersion(nullptr);
  DeleteMirrakVersion("");
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\5.0"));
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\6.0"));
  std::string longv(2000, 'v');
  DeleteMirrakVersion(longv.c_str());
  EXPECT_TRUE(HasKey("SOFTWARE\\Tarquel\\MRK\\6.0"));
  // Without the firewall key nothing is created.
  ASSERT_EQ(0, TQPROD_DelKey("MRK"));
  DeleteMirrakVersion("5.0");
  EXPECT_FALSE(HasKey("SOFTWARE\\Tarquel\\MRK"));
  EXPECT_EQ("<none>", Effective());
}

}  // namespace
