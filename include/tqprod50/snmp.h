/* SNMP extension registration.
 *
 * The SNMP service loads the agents listed as string values "1", "2", ...
 * of SYSTEM\CurrentControlSet\Services\SNMP\Parameters\ExtensionAgents. The
 * family's agent is "SOFTWARE\Tarquel\TQShared\<version>\SnmpAgent"; any
 * entry containing both the shared-components key path and "\SnmpAgent"
 * belongs to the family. Outcomes are written on standard error.
 */
#ifndef TQPROD50_SNMP_H
#define TQPROD50_SNMP_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* Registers the family's agent when "AddSnmp" (shared components, current
 * version) is non-zero: in the first free name from "1" up, or in place of
 * an entry of another version of the family. 1 when an entry was written or
 * the write failed, 0 when nothing was written (switch off, list missing,
 * already registered, no free name below 10,000). */
TQAPI int HandleSnmpExtension(void);
/* Removes every entry of the family, leaving other agents alone. Always 0. */
TQAPI int RemoveSnmpExtension(void);
/* Deletes the firewall key's version subkey named version (with
 * OVER_WRITE_CURRENT_VER set, the subkey it names). The Mirrak effective
 * version is set only for the duration of the call. A NULL or empty
 * version does nothing. */
TQAPI void DeleteMirrakVersion(const char *version);

TQ_EXTERN_C_END

#endif
