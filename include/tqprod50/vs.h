/* Virtual-system context operations: writing the firewall's IPv6 flag in
 * several virtual systems and asking whether a feature is enabled in any of
 * them.
 *
 * Each operation switches the whole process to the contexts it visits
 * (tq_set_vs_env, TqkResetGlobalEntries, reset_reg_sic_cache) and returns it
 * to the context it started in, on every path; meanwhile every registry
 * access of the process addresses the visited context. Callers keep other
 * registry use out of the way. Messages go to the platform's error() with
 * the reporting function's name.
 */
#ifndef TQPROD50_VS_H
#define TQPROD50_VS_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* Writes "FireWallIPv6" (versioned, firewall key) in the given context.
 * 0, or -1 when the switch there or back fails or the key cannot be
 * opened. */
TQAPI int FwSetFireWallIPv6Ctx(unsigned value, unsigned context);
/* Writes "FireWallIPv6" in context 0 and, on a virtual-systems machine
 * (FwIsTRIVA), in every other context: when value is non-zero only in those
 * with IPv6 instances, when 0 in all. Only from context 0. 0 or -1; contexts
 * written before a failure keep the new value. */
TQAPI int FwSetFireWallIPv6(unsigned value);

/* 1 when some context (0 included) has the value of the firewall product
 * ("MRK", current version) reading exactly "1", 0 when none has, -1 on a
 * NULL or empty name or a failed context walk or switch. Stops at the first
 * context that has it. */
TQAPI int TQPROD_is_blade_enabled_on_TRIVA(const char *valueName);
/* "isXlnkRunning" of the "XLNK" product. */
TQAPI int TQPROD_is_RMX_enabled_on_TRIVA(void);
/* "APPIEnabled" or "APPIUFEnabled" of "MRK". */
TQAPI int TQPROD_is_APPI_or_URLF_enabled_on_TRIVA(void);
/* TQPROD_is_blade_enabled_on_TRIVA of a fixed value name. */
TQAPI int TQPROD_is_ZMAIL_enabled_on_TRIVA(void);     /* "ZMAILEnabled" */
TQAPI int TQPROD_is_AntiVirus_enabled_on_TRIVA(void); /* "AVEnabled" */
TQAPI int TQPROD_is_AntiBot_enabled_on_TRIVA(void);   /* "ABOTEnabled" */
TQAPI int TQPROD_is_URLF_enabled_on_TRIVA(void);      /* "APPIUFEnabled" */
TQAPI int TQPROD_is_APPI_enabled_on_TRIVA(void);      /* "APPIEnabled" */

TQ_EXTERN_C_END

#endif
