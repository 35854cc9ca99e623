// Product flags: reduction to 0/1, values stored unchanged, version
// subkeys, missing keys, exact value names, aliases, values returned as
// read and the platform-backed flags.
#include <string>

#include "interpose.h"
#include "raw.h"
#include "tq_test.h"

namespace {

using namespace flagtest;
using tqtest::RegistryTest;

TEST_F(RegistryTest, FlagsReduceToOneAndSettersStoreTheNumberUnchanged) {
  MakeVersionedProducts();
  EXPECT_EQ(0, FwIsHighAvail());  // missing value
  ASSERT_EQ(0, FwSetHighAvail(2));
  EXPECT_EQ(2, GetNumber(kMrkV, "HighAvailability"));  // into the version subkey
  EXPECT_EQ(-12345, GetNumber(kMrk, "HighAvailability"));
  EXPECT_EQ(1, FwIsHighAvail());
  ASSERT_EQ(0, FwSetHighAvail(0));
  EXPECT_EQ(0, FwIsHighAvail());
  ASSERT_EQ(0, FwSetHighAvail(0xFFFFFFFFu));
  EXPECT_EQ(0xFFFFFFFF, GetNumber(kMrkV, "HighAvailability"));
  EXPECT_EQ(1, FwIsHighAvail());

  // A string value is a non-null pointer to the reader: on, even "0".
  PutText(kMrkV, "FireWall", "0");
  EXPECT_EQ(1, FwIsFirewallModule());
}

TEST_F(RegistryTest, SettersNeverCreateTheProductKeyAndUseItWithoutAVersion) {
  EXPECT_EQ(0, FwIsHighAvail());
  EXPECT_EQ(-1, FwSetHighAvail(1));
  EXPECT_EQ(-1, RtSetRt(1));
  EXPECT_EQ(-1, TQPROD_SetVPNxAutoStart(1));
  EXPECT_EQ(-1, FwSetZandorCO(1));
  EXPECT_EQ(-1, FwSetIPForwarding(1));
  EXPECT_FALSE(KeyExists(kMrk));
  EXPECT_FALSE(KeyExists(kReporting));
  EXPECT_FALSE(KeyExists("SOFTWARE\\Tarquel\\LUMBRA"));
  EXPECT_FALSE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\MRK\\Parameters"));

  // Without a current version flags live on the key itself.
  MakeKey(kMrk);
  ASSERT_EQ(0, FwSetDAG(1));
  EXPECT_EQ(1, GetNumber(kMrk, "DAG"));
  EXPECT_EQ(1, FwIsDAG());
}

TEST_F(RegistryTest, SetterHonoursTheMirrakEffectiveVersionGetterDoesNot) {
  MakeVersionedProducts();
  ASSERT_EQ(0, SetMirrakEffectiveVersion("R81"));
  EXPECT_EQ(0, FwSetSMB(1));
  SetMirrakEffectiveVersion(nullptr);
  EXPECT_EQ(1, GetNumber("SOFTWARE\\Tarquel\\MRK\\R81", "SMB"));
  EXPECT_EQ(0, FwIsSMB());  // reads below "CurrentVersion" R80
}

// Value names as the products store them, written behind the library's back.
TEST_F(RegistryTest, GettersReadTheExactValueNames) {
  MakeVersionedProducts();
  PutNumber(kReportingV, "IpsEventManager", 1);  // no trailing blank
  EXPECT_EQ(0, RtIsIpsEventManager());
  PutNumber(kReportingV, "IpsEventManager ", 1);
  EXPECT_EQ(1, RtIsIpsEventManager());
  ASSERT_EQ(0, RtSetIpsEventManager(0));
  EXPECT_EQ(0, GetNumber(kReportingV, "IpsEventManager "));
  EXPECT_EQ(1, GetNumber(kReportingV, "IpsEventManager"));

  PutNumber(kReportingV, "Log Consolidator Management add-on", 1);
  PutNumber(kMrkV, "FireWall-First", 1);
  PutNumber(kMrkV, "crldp_initialized", 1);
  PutNumber(kMrkV, "CmpManagement", 1);
  EXPECT_EQ(1, RtIsLcAddOn());
  EXPECT_EQ(1, FwIsFirewallFirst());
  EXPECT_EQ(1, FwIsCrldpInitialized());
  EXPECT_EQ(1, FwIsCompressionMgmt());
  EXPECT_EQ(0, FwIsFirewallModule());  // "FireWall" itself is absent

  PutText("SOFTWARE\\Tarquel\\LUMBRA", "CurrentVersion", "1.0");
  PutNumber("SOFTWARE\\Tarquel\\LUMBRA\\1.0", "VPNxAutoStart", 3);
  EXPECT_EQ(1, TQPROD_IsVPNxAutoStart());
  EXPECT_EQ(1, TQPROD_GetVPNxAutoStart());
  // TQShared is addressed by its literal path, whatever case the key has.
  PutText("SOFTWARE\\Tarquel\\tqshared", "CurrentVersion", "2");
  ASSERT_EQ(0, TQPROD_SetPnPDisable(5));
  EXPECT_EQ(5, GetNumber("SOFTWARE\\Tarquel\\TQShared\\2", "PnPDisable"));
}

TEST_F(RegistryTest, AliasesForwardToTheReportingFlags) {
  MakeVersionedProducts();
  ASSERT_EQ(0, FwSetMerrowAnalyzer(1));
  EXPECT_EQ(1, GetNumber(kReportingV, "AnalyzerCorrelationUnit"));
  EXPECT_EQ(1, RtIsAnalyzerCorrelationUnit());
  EXPECT_EQ(1, FwIsMerrowAnalyzer());
  EXPECT_EQ(0, FwIsMerrowManagement());
  ASSERT_EQ(0, FwSetMerrowManagement(7));
  EXPECT_EQ(7, GetNumber(kReportingV, "AnalyzerManagement"));
  EXPECT_EQ(1, RtIsAnalyzerServer());
}

TEST_F(RegistryTest, IPForwardingLiesDirectlyUnderTheServicesKey) {
  const char *services = "SYSTEM\\CurrentControlSet\\Services\\MRK\\Parameters";
  PutText(services, "CurrentVersion", "9");  // must not be followed
  ASSERT_EQ(0, FwSetIPForwarding(3));
  EXPECT_EQ(3, GetNumber(services, "IPForwarding"));
  EXPECT_FALSE(KeyExists("SYSTEM\\CurrentControlSet\\Services\\MRK\\Parameters\\9"));
  EXPECT_EQ(3, FwGetIPForwarding());
}

TEST_F(RegistryTest, PelloraValuesAndOtherValuesReturnedAsRead) {
  const char *pellora = "SOFTWARE\\Tarquel\\Pellora";
  EXPECT_EQ(-1, SetPelloraCurrentVersion("4.1"));  // no key, not created
  EXPECT_FALSE(KeyExists(pellora));
  MakeKey(pellora);
  EXPECT_EQ(-1, SetPelloraCurrentVersion(nullptr));
  EXPECT_EQ(nullptr, GetPelloraCurrentVersion());
  ASSERT_EQ(0, SetPelloraCurrentVersion("4.1"));
  EXPECT_STREQ("4.1", GetPelloraCurrentVersion());

  ASSERT_EQ(0, SetPelloraLanguageDLL(nullptr));
  unsigned type = 0;
  std::string data;
  ASSERT_TRUE(Get("SOFTWARE\\Tarquel\\Pellora\\4.1", "LanguageDLL", type, data));
  EXPECT_EQ(1u, type);
  EXPECT_EQ(std::string(1, '\0'), data);
  ASSERT_EQ(0, SetPelloraLanguageDLL("lang.so"));
  EXPECT_STREQ("lang.so", GetPelloraLanguageDLL());

  PutText("SOFTWARE\\Tarquel\\Pellora\\4.1", "FWDIR", "/opt/pellora");
  EXPECT_STREQ("/opt/pellora", GetPelloradirFromRegistry());
  // A string getter never hands out a number as a pointer.
  PutNumber("SOFTWARE\\Tarquel\\Pellora\\4.1", "FWDIR", 1234);
  EXPECT_EQ(nullptr, GetPelloradirFromRegistry());

  MakeVersionedProducts();
  EXPECT_EQ(0, FwGetTrivaMacId());
  ASSERT_EQ(0, FwSetTrivaMacId(0xABCD));
  EXPECT_EQ(0xABCD, GetNumber(kMrkV, "TRIVA_MAC_ID"));
  EXPECT_EQ(0xABCD, FwGetTrivaMacId());
  PutText(kMrkV, "FWLOGDIR", "/var/log/fw");
  EXPECT_STREQ("/var/log/fw", GetFwlogdirFromRegistry());
}

class PlatformFlagTest : public RegistryTest {
 protected:
  void Marker(const char *name) {
    tqtest::WriteFile(sysroot_ + "/etc/tqplatform/" + name, "");
  }
  void TearDown() override {
    tq_set_vs_env(0);
    RegistryTest::TearDown();
  }
};

TEST_F(PlatformFlagTest, UsermodeAndTrivaFollowThePlatformNotTheRegistry) {
  MakeVersionedProducts();
  ASSERT_EQ(0, FwSetUsermode(1));
  EXPECT_EQ(1, GetNumber(kMrkV, "Usermode"));
  EXPECT_EQ(0, FwIsUsermode());
  Marker("usermode");
  EXPECT_EQ(1, FwIsUsermode());

  EXPECT_EQ(0, FwIsTRIVA());
  ASSERT_EQ(0, tq_ctxdb_add(3, 0, 0, 0));
  EXPECT_NE(0, FwIsTRIVA());
}

TEST_F(PlatformFlagTest, SetTrivaNeedsAVirtualSystemsPlatform) {
  MakeVersionedProducts();
  const std::string message =
      "FwSetTRIVA: Cannot set value in registery, current OS does not support TRIVA.";
  testing::internal::CaptureStderr();
  int r = FwSetTRIVA(1);
  std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(message, err);  // no line break
  EXPECT_EQ(static_cast<int>(message.size()), r);
  EXPECT_EQ(-12345, GetNumber(kMrkV, "TRIVA"));

  Marker("verdra");
  EXPECT_EQ(0, FwSetTRIVA(1));
  EXPECT_EQ(1, GetNumber(kMrkV, "TRIVA"));
  tqtest::RemoveTree(sysroot_ + "/etc/tqplatform");
  tqtest::WriteFile(sysroot_ + "/etc/crossbeam-release", "x\n");
  EXPECT_EQ(0, FwSetTRIVA(4));
  EXPECT_EQ(4, GetNumber(kMrkV, "TRIVA"));
}

TEST_F(PlatformFlagTest, BridgeAndJunctionOnlyForAnExactOne) {
  ASSERT_EQ(0, tq_ctxdb_add(1, 1, 0, 0));
  ASSERT_EQ(0, tq_ctxdb_add(2, 0, 1, 0));
  EXPECT_EQ(0, FwIsVSBridge());  // context 0
  ASSERT_EQ(0, tq_set_vs_env(1));
  EXPECT_EQ(1, FwIsVSBridge());
  EXPECT_EQ(0, FwIsVSJunction());
  ASSERT_EQ(0, tq_set_vs_env(2));
  EXPECT_EQ(0, FwIsVSBridge());
  EXPECT_EQ(1, FwIsVSJunction());
  // The current context vanishes: the database answers -1.
  ASSERT_EQ(0, tq_ctxdb_remove(2));
  ASSERT_EQ(-1, ctxdb_is_junction(2));
  EXPECT_EQ(0, FwIsVSJunction());

  // Answers other than 1 from the platform (through the interposed calls).
  for (int answer : {2, -1, 0}) {
    tqtest::g_platform.forced_bridge = tqtest::g_platform.forced_junction = answer;
    EXPECT_EQ(0, FwIsVSBridge()) << answer;
    EXPECT_EQ(0, FwIsVSJunction()) << answer;
  }
  tqtest::g_platform.forced_bridge = tqtest::g_platform.forced_junction = 1;
  EXPECT_EQ(1, FwIsVSBridge());
  EXPECT_EQ(1, FwIsVSJunction());
  tqtest::ResetPlatform();
}

}  // namespace
