// Operations that visit several virtual-system contexts: the IPv6 flag of
// the firewall in every virtual system, and feature checks across them.
// Every platform call goes through its exported symbol.
#include <string.h>

#include <initializer_list>

#include "common/report.h"
#include "registry/registry_core.h"
#include "tqprod50.h"
#include "tqprod50/vs.h"

namespace tq {
namespace {

constexpr const char kIPv6Flag[] = "FireWallIPv6";

enum class Switch { kDone, kEnvFailed, kResetFailed };

// Moves the process to ctx: select it, rebind the registry, drop what the
// platform cached from the old registry. The cache is dropped only after a
// successful rebinding.
Switch SwitchContext(unsigned ctx) {
  if (tq_set_vs_env(ctx) != 0) return Switch::kEnvFailed;
  if (TqkResetGlobalEntries() != 0) return Switch::kResetFailed;
  reset_reg_sic_cache();
  return Switch::kDone;
}

int WriteIPv6Flag(uint32_t value) {
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk == nullptr) return -1;
  return SetDwordValue(mrk, kIPv6Flag, value, 1);
}

int SetIPv6InContext(uint32_t value, unsigned ctx) {
  static const char kFn[] = "FwSetFireWallIPv6Ctx";
  const unsigned start = tq_get_current_ctx_id();
  int result;
  switch (SwitchContext(ctx)) {
    case Switch::kEnvFailed:
      ReportError(0, 0, "%s: failed to switch to context %u", kFn, ctx);
      result = -1;
      break;
    case Switch::kResetFailed:
      result = -1;
      break;
    default:
      result = WriteIPv6Flag(value);
      break;
  }
  // Back to where we started; the registry is rebound even when selecting
  // the context failed, so the process never stays half switched.
  if (tq_set_vs_env(start) != 0) {
    result = -1;
    ReportError(0, 0, "%s: failed to switch to context 0", kFn);
  }
  if (TqkResetGlobalEntries() != 0) result = -1;
  reset_reg_sic_cache();
  return result;
}

int SetIPv6Everywhere(uint32_t value) {
  static const char kFn[] = "FwSetFireWallIPv6";
  if (tq_get_current_ctx_id() != 0) {
    ReportError(0, 0, "%s: operation is permitted only from context 0", kFn);
    return -1;
  }
  int r = WriteIPv6Flag(value);
  if (FwIsTRIVA() == 0 || r != 0) return r;
  if (ctxdb_iterator_init() < 0) {
    ReportError(0, 0, "%s: failed to initialize ctxdb iterator", kFn);
    return -1;
  }
  for (;;) {
    unsigned id = 0;
    int rc = ctxdb_iterator_next(&id);
    if (rc == 0) break;
    if (rc < 0) {
      ctxdb_iterator_free();
      return -1;
    }
    if (id == 0) continue;  // written above
    if (value != 0) {
      // Switching IPv6 on only matters where the virtual system has IPv6.
      unsigned count = 0;
      if (ctxdb_get_instances_by_ctxid(id, &count, 1) != 0) {
        ReportError(0, 0, "%s:[ERROR] failed to get the instances6 value of the ctxdb for vs %u",
                    kFn, id);
        ctxdb_iterator_free();
        return -1;
      }
      if (count == 0) continue;
    }
    if (FwSetFireWallIPv6Ctx(value, id) == -1) {
      ReportError(0, 0, "%s:[ERROR] failed to set FireWallIPv6 on ctx %u", kFn, id);
      ctxdb_iterator_free();
      return -1;
    }
  }
  ctxdb_iterator_free();
  return 0;
}

// True when one of the product's versioned values reads exactly "1".
bool AnyValueIsOne(const char *product, std::initializer_list<const char *> names) {
  for (const char *name : names) {
    const char *text = TQPROD_GetValue(product, name, 1);
    if (text != nullptr && strcmp(text, "1") == 0) return true;
  }
  return false;
}

// Visits every context until one has a value of the product equal to "1".
// 1 found, 0 none, -1 failure; the process ends in its starting context or
// the result is -1.
int EnabledInAnyContext(const char *fn, const char *product,
                        std::initializer_list<const char *> names) {
  const unsigned start = tq_get_current_ctx_id();
  if (ctxdb_iterator_init() < 0) return -1;
  int result;
  for (;;) {
    unsigned id = 0;
    int rc = ctxdb_iterator_next(&id);
    if (rc == 0) {
      result = 0;
      break;
    }
    if (rc < 0) {
      result = -1;
      break;
    }
    if (SwitchContext(id) != Switch::kDone) {
      result = -1;
      break;
    }
    if (AnyValueIsOne(product, names)) {
      result = 1;
      break;
    }
  }
  ctxdb_iterator_free();
  if (tq_set_vs_env(start) != 0)
    ReportError(0, 0, "%s: failed to switch to context %u", fn, start);
  if (TqkResetGlobalEntries() != 0) result = -1;
  reset_reg_sic_cache();
  return result;
}

}  // namespace
}  // namespace tq

extern "C" {

TQAPI int FwSetFireWallIPv6Ctx(unsigned value, unsigned context) {
  return tq::SetIPv6InContext(value, context);
}

TQAPI int FwSetFireWallIPv6(unsigned value) {
  return tq::SetIPv6Everywhere(value);
}

TQAPI int TQPROD_is_blade_enabled_on_TRIVA(const char *valueName) {
  if (valueName == nullptr || *valueName == '\0') return -1;
  return tq::EnabledInAnyContext("TQPROD_is_blade_enabled_on_TRIVA", "MRK", {valueName});
}

TQAPI int TQPROD_is_RMX_enabled_on_TRIVA(void) {
  return tq::EnabledInAnyContext("TQPROD_is_RMX_enabled_on_TRIVA", "XLNK", {"isXlnkRunning"});
}

TQAPI int TQPROD_is_APPI_or_URLF_enabled_on_TRIVA(void) {
  return tq::EnabledInAnyContext("TQPROD_is_APPI_or_URLF_enabled_on_TRIVA", "MRK",
                                 {"APPIEnabled", "APPIUFEnabled"});
}

// Fixed-name forms, through the exported blade check.
#define TQ_FIXED_BLADE_CHECKS(X)                    \
  X(TQPROD_is_ZMAIL_enabled_on_TRIVA, "ZMAILEnabled") \
  X(TQPROD_is_AntiVirus_enabled_on_TRIVA, "AVEnabled") \
  X(TQPROD_is_AntiBot_enabled_on_TRIVA, "ABOTEnabled") \
  X(TQPROD_is_URLF_enabled_on_TRIVA, "APPIUFEnabled") \
  X(TQPROD_is_APPI_enabled_on_TRIVA, "APPIEnabled")
#define TQ_DEFINE_BLADE_CHECK_(fn, name) \
  TQAPI int fn(void) { return TQPROD_is_blade_enabled_on_TRIVA(name); }
TQ_FIXED_BLADE_CHECKS(TQ_DEFINE_BLADE_CHECK_)
#undef TQ_DEFINE_BLADE_CHECK_
#undef TQ_FIXED_BLADE_CHECKS

}  // extern "C"
