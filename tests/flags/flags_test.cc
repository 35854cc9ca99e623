// Product flags, row by row from the header's tables: a value written raw
// is read through the getter, a setter's value is read raw. Then the cached
// flags and the platform-backed flags.
#include "interpose.h"
#include "raw.h"
#include "tq_test.h"

namespace {

using namespace tqtest;

constexpr const char kMrk[] = "SOFTWARE\\Tarquel\\MRK";
constexpr const char kReporting[] = "SOFTWARE\\Tarquel\\Reporting Module";
constexpr const char kLumbra[] = "SOFTWARE\\Tarquel\\LUMBRA";
constexpr const char kTQShared[] = "SOFTWARE\\Tarquel\\TQShared";
const std::string kMrkV = std::string(kMrk) + "\\R80";

struct Flag {
  const char *name;
  int (*get)(void);
  int (*set)(unsigned);  // none for the context flags
  const char *key, *value;
  bool versioned;
  // The key holding the value once every product has version R80.
  std::string At() const { return versioned ? std::string(key) + "\\R80" : key; }
};
#define TQ_ROW(get, set, key, name, versioned) {#get, get, set, k##key, name, versioned},
#define TQ_GET_ROW(get, set, key, name, versioned) {#get, get, nullptr, k##key, name, versioned},
const Flag kFlags[] = {TQPROD_FLAG_TABLE(TQ_ROW) TQPROD_CONTEXT_FLAG_TABLE(TQ_GET_ROW)};
const Flag kCached[] = {TQPROD_CACHED_FLAG_TABLE(TQ_ROW)};
#undef TQ_ROW
#undef TQ_GET_ROW

void Versioned() {
  for (const char *key : {kMrk, kReporting, kLumbra, kTQShared})
    PutStr(key, "CurrentVersion", "R80");
}

// A setter never creates the product key; without a version the flag lives
// on the key itself. Any non-zero answer of the reader is on: a number or
// text (even "0"). Setters store the number unchanged.
TEST_F(RegistryTest, EveryFlagReadsAndWritesItsOwnValue) {
  for (const Flag &f : kFlags)  // setters fail; context-flag getters read 0
    EXPECT_EQ(f.set ? -1 : 0, f.set ? f.set(1) : f.get()) << f.name;
  for (const char *key : {kMrk, kReporting, kLumbra, kTQShared}) MakeKey(key);
  for (const Flag &f : kFlags) {
    if (!f.set) continue;
    ASSERT_EQ(0, f.set(3)) << f.name;
    EXPECT_EQ(3, GetNum(f.key, f.value)) << f.name;
  }
  Versioned();
  for (const Flag &f : kFlags) {
    SCOPED_TRACE(f.name);
    EXPECT_EQ(0, f.get());
    PutNum(f.At(), f.value, 7);
    EXPECT_EQ(1, f.get());
    PutStr(f.At(), f.value, "0");
    EXPECT_EQ(1, f.get());
    if (!f.set) continue;
    ASSERT_EQ(0, f.set(0xFFFFFFFFu));
    EXPECT_EQ(0xFFFFFFFF, GetNum(f.At(), f.value));
  }
}

// Values kept as given: numbers come back as stored, strings with their
// terminator (NULL stores the empty string).
TEST_F(RegistryTest, ServiceValuesAreStoredAsGiven) {
  const std::string pellora = "SOFTWARE\\Tarquel\\Pellora", at = pellora + "\\P1";
  MakeKey(pellora);
  MakeKey("SYSTEM\\CurrentControlSet\\Services\\MRK\\Parameters");
  Versioned();
  EXPECT_EQ((Ints{-1, 0, 0, 0, 0}),
            (Ints{SetPelloraCurrentVersion(nullptr), SetPelloraCurrentVersion("P1"),
                  SetPelloraLanguageDLL("lang.so"), FwSetIPForwarding(0xFFFFFFFFu), FwSetTrivaMacId(77)}));
  EXPECT_EQ(std::string("P1\0lang.so", 11),
            GetRaw(pellora, "CurrentVersion").data + GetRaw(at, "LanguageDLL").data);
  EXPECT_EQ(77, GetNum(kMrkV, "TRIVA_MAC_ID"));
  PutStr(at, "FWDIR", "/opt/p");
  PutStr(kMrkV, "FWLOGDIR", "/var/log/fw");
  EXPECT_EQ((Strings{"P1", "lang.so", "/opt/p", "/var/log/fw", "-1", "77"}),
            (Strings{Str(GetPelloraCurrentVersion()), Str(GetPelloraLanguageDLL()),
                     Str(GetPelloradirFromRegistry()), Str(GetFwlogdirFromRegistry()),
                     std::to_string(FwGetIPForwarding()), std::to_string(FwGetTrivaMacId())}));
  ASSERT_EQ(0, SetPelloraLanguageDLL(nullptr));
  EXPECT_EQ(std::string(1, '\0'), GetRaw(at, "LanguageDLL").data);
}

// The cache lives for the whole process, so cached flags are only ever
// read in a forked child, whose cache then starts unread. The child exits
// 1 when one of its expectations failed.
TEST_F(RegistryTest, CachedFlagsKeepTheirAnswerUntilASuccessfulSet) {
  fflush(stdout);
  EXPECT_EQ(0, Wait(Spawn([] {
    for (const Flag &f : kCached) EXPECT_EQ(-1, f.set(1)) << f.name;  // no key: still unread
    Versioned();
    for (const Flag &f : kCached) {
      SCOPED_TRACE(f.name);
      PutNum(f.At(), f.value, 0);
      EXPECT_EQ(0, f.get());
      PutNum(f.At(), f.value, 1);
      EXPECT_EQ(0, f.get());  // the first answer is kept
      EXPECT_EQ(0, f.set(2));
      PutNum(f.At(), f.value, 0);
      EXPECT_EQ(1, f.get());  // the set's answer, without a read
    }
    EXPECT_EQ(0, TQPROD_DelKey("MRK"));
    for (const Flag &f : kCached) {
      EXPECT_EQ(-1, f.set(0)) << f.name;
      EXPECT_EQ(1, f.get()) << f.name;  // a failed set keeps the cache
    }
    fflush(stdout);
    return ::testing::Test::HasFailure() ? 1 : 0;
  }))) << "the child's failures are above";
}

TEST_F(RegistryTest, PlatformFlagsFollowThePlatformNotTheRegistry) {
  Versioned();
  ASSERT_EQ((Ints{0, 0}), (Ints{FwSetUsermode(1), FwIsUsermode()}));
  WriteFile(sysroot_ + "/etc/tqplatform/usermode", "");
  EXPECT_EQ(1, FwIsUsermode());
  // Storing TRIVA needs a virtual-systems platform; elsewhere a message.
  const std::string message =
      "FwSetTRIVA: Cannot set value in registery, current OS does not support TRIVA.";
  testing::internal::CaptureStderr();
  EXPECT_EQ(static_cast<int>(message.size()), FwSetTRIVA(1));
  EXPECT_EQ(message, testing::internal::GetCapturedStderr());
  WriteFile(sysroot_ + "/etc/tqplatform/verdra", "");
  ASSERT_EQ((Ints{0, 4, 0, 1}), (Ints{FwSetTRIVA(4), static_cast<int>(GetNum(kMrkV, "TRIVA")),
                                      tq_ctxdb_add(1, 1, 0, 0), FwIsTRIVA() != 0}));
  // Bridge and junction of the current context, only for an answer of 1.
  struct Restore { ~Restore() { tq_set_vs_env(0), ResetPlatform(); } } restore;
  ASSERT_EQ((Ints{0, 1, 0}), (Ints{tq_set_vs_env(1), FwIsVSBridge(), FwIsVSJunction()}));
  for (int answer : {2, -1, 0, 1}) {
    g_platform.forced_bridge = g_platform.forced_junction = answer;
    EXPECT_EQ((Ints{answer == 1, answer == 1}), (Ints{FwIsVSBridge(), FwIsVSJunction()})) << answer;
  }
}

}  // namespace
