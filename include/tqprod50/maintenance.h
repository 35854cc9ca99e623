/* Registry maintenance: recursive copy, backup and restore files, the
 * registry dump and the report strings.
 *
 * Key names are relative to "SOFTWARE\Tarquel"; an empty name or "." stands
 * for "SOFTWARE\Tarquel" itself. Every walk goes depth-first, at most 100
 * levels below its start key, and passes over subkeys named "PRNG".
 * Results: 0 success; -1 a key on the way cannot be opened; -2 deeper than
 * 100 levels; -4 a file cannot be opened.
 *
 * None of these functions is re-entrant: they share the value-enumeration
 * cursor of TQPROD_GetKeyValues and the static buffers of the value readers.
 */
#ifndef TQPROD50_MAINTENANCE_H
#define TQPROD50_MAINTENANCE_H

#include <stdint.h>
#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* Copies source, its values and all its descendants to destination. What
 * was copied before a failure stays. Empty keys are not reproduced. */
TQAPI int TQPROD_CopyKeyRecursive(const char *source, const char *destination);
/* TQPRODIS_CopyKeyValues(src, dst), result unchanged. */
TQAPI int TQPROD_CopyKeyValues(uint32_t src, uint32_t dst);

/* Writes the subtree of key to file (created or truncated). -4 prints
 * "The file '<file>' was not opened" on standard output. */
TQAPI int TQPROD_BackupKey(const char *key, const char *file);
/* Restores every key record of a backup file: each named key is deleted
 * and its values written back as strings. 0 once the file was opened,
 * -4 (with the message above) when it cannot be. */
TQAPI int TQPROD_RestoreKey(const char *file);
/* The same for the typed backup format (value lines carry the type). */
TQAPI int TQPROD_RestoreKeyWithType(const char *file);

/* Writes the whole product registry to "RegDump" in the current directory. */
TQAPI int TQPROD_DumpRegistry(void);
/* Firewall roles joined by "," (mode 0: from product.conf). malloc; NULL
 * when there is none. */
TQAPI char *TQPROD_GetRegistryString(int mode);
/* Installed products joined by "," (mode 0: from product.conf). malloc;
 * NULL when there is none. */
TQAPI char *TQPROD_GetProductsString(int mode);

TQ_EXTERN_C_END

#endif
