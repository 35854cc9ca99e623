/* Registry access core: product key paths, typed value and key access.
 *
 * Ownership of returned strings:
 *   - "service": owned by the registry service; never free; copy before the
 *     next registry call.
 *   - "static": a library buffer valid until the next call of the same
 *     function; never free.
 *   - "malloc": the caller releases it with free().
 */
#ifndef TQPROD50_REGISTRY_H
#define TQPROD50_REGISTRY_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* ---- Key paths -------------------------------------------------------- */

/* "CurrentVersion" of SOFTWARE\Tarquel\<product> (service) or NULL. */
TQAPI const char *TQPROD_GetCurrentVersion(const char *product);
/* Absolute reserved path (static, 1024 bytes). */
TQAPI char *TQPROD_GetReservedPath(const char *product, int versioned);
/* Cached "SOFTWARE\Tarquel\MRK" / "SOFTWARE\Tarquel\TQShared"; never free. */
TQAPI char *TQPROD_GetRegMrkPath(void);
TQAPI const char *TQPROD_GetRegTQSharedPath(void);
/* Effective versions: getters return malloc copies or NULL. */
TQAPI char *GetMirrakEffectiveVersion(void);
TQAPI char *GetPelloraEffectiveVersion(void);
TQAPI int SetMirrakEffectiveVersion(const char *version);
TQAPI int SetPelloraEffectiveVersion(const char *version);
/* Version override through OVER_WRITE_CURRENT_VER. */
TQAPI int TQPROD_OverideCurrentVersion(const char *version);
TQAPI char *TQPROD_GetOverideVersion(void);

/* ---- Reading values --------------------------------------------------- */

TQAPI const char *TQPROD_GetValue(const char *path, const char *valueName, int versioned);
TQAPI const char *TQPROD_GetValueWithRegType(const char *path, const char *valueName,
                                             int versioned, unsigned *type, unsigned *size);
TQAPI int TQPROD_GetDataFromRegistry(const char *keyPath, const char *valueName,
                                     unsigned *type, void *data, unsigned *size,
                                     int versioned);
TQAPI int TQPROD_GetMultiValue(const char *path, const char *valueName, int *count,
                               char **items, int maxTotal, int versioned);
TQAPI int TQPROD_GetResMultiValue(const char *product, const char *subkey,
                                  const char *valueName, int *count, char **items,
                                  int maxTotal, int versioned);

/* ---- Writing values --------------------------------------------------- */

TQAPI int TQPROD_SetValue(const char *path, const char *valueName, int type,
                          const char *data, int versioned);
TQAPI int TQPROD_SetMultiValue(const char *path, const char *valueName, int count,
                               const char **items, int versioned);
TQAPI int TQPROD_SetResMultiValue(const char *product, const char *subkey,
                                  const char *valueName, int count,
                                  const char **items, int versioned);
TQAPI int FwSetParam(const char *valueName, unsigned value);

/* ---- Deleting --------------------------------------------------------- */

TQAPI int TQPROD_DelValue(const char *path, const char *valueName, int versioned);
TQAPI int TQPROD_DelKey(const char *path);
TQAPI int TQPROD_DelKeyFromRes(const char *product, const char *subkey, int versioned);

/* ---- Walks: 0 entry, -1 no current version, -2 cannot open, -3 end ---- */

/* name must hold 200 bytes. */
TQAPI int TQPROD_GetEnumKey(const char *product, char *name, int versioned);
TQAPI int TQPROD_GetEnumKeyFromRes(const char *product, const char *subkey,
                                   char *name, int versioned);
/* name must hold 500 bytes. */
TQAPI int TQPROD_GetKeyValues(const char *product, char *name, int versioned);
TQAPI int TQPROD_GetResKeyValues(const char *product, const char *subkey,
                                 char *name, int versioned);

/* ---- Extension-library lists ------------------------------------------ */

/* list entries are malloc copies; release them with FreeDllsList. */
TQAPI int GetDllsList(const char *valueName, char **list, int max);
TQAPI int FreeDllsList(char **list, int count);

/* ---- Fixed-key readers (service results, returned unchanged) ---------- */

TQAPI TQREGVAR fwregistry_readparam(const char *name);
TQAPI TQREGVAR GetDllPathFromRegistry(const char *name);
TQAPI TQREGVAR FwGetParam(const char *name);
TQAPI TQREGVAR FwGetEventLogServer(void);
TQAPI TQREGVAR GetMdsFwdirFromRegistry(void);
TQAPI const char *TQPROD_GetFwdir(void);

TQ_EXTERN_C_END

#endif
