/* Product version and package bookkeeping: version, service-pack (SP) and
 * minor-service-pack (MSP) levels and their display texts, hot fixes,
 * plug-ins, dependent packages, product state, directories, interface
 * assignments, reserved values and partner products.
 *
 * Ownership of returned strings (as in tqprod50/registry.h):
 *   - "service": owned by the registry service; never free; copy before the
 *     next registry call.
 *   - "static": the buffer of TQPROD_GetValue; valid until its next call
 *     (which most getters here make); never free.
 *   - "malloc": the caller releases it with free().
 *
 * A product argument that is NULL or empty names no product: getters return
 * NULL, setters -1, walks -1. Levels are read from the product's
 * "CurrentVersion" (SOFTWARE\Tarquel\<product>), its "CurrentSP" and its
 * "CurrentMSP"; an empty level string counts as no level.
 */
#ifndef TQPROD50_BOOKKEEPING_H
#define TQPROD50_BOOKKEEPING_H

#include "tqplatform.h"

TQ_EXTERN_C_BEGIN

/* ---- Levels (service strings; NULL without a current version) -------- */

/* "CurrentSP" of the version key. */
TQAPI const char *TQPROD_GetCurrentServicePack(const char *product);
/* "PrevVersion" of the version key. */
TQAPI const char *TQPROD_GetPreviousVersion(const char *product);
/* "PrevSP" of the SP key (the version key when there is no current SP). */
TQAPI const char *TQPROD_GetPrevServicePack(const char *product);
/* "CurrentMSP" of the SP key (the version key when there is no current SP). */
TQAPI const char *TQPROD_GetCurrentMSP(const char *product);
/* "PrevMSP" of the MSP key, else the SP key, else the version key. */
TQAPI const char *TQPROD_GetPrevMSP(const char *product);
/* Writes "CurrentMSP" where TQPROD_GetCurrentMSP reads it. 0 or -1. */
TQAPI int TQPROD_SetCurrentMSP(const char *product, const char *msp);
/* 1 when the shared-components product has a current version, else 0. */
TQAPI int TQPROD_IsTQShared(void);

/* Product-relative path of the current level (malloc, or NULL when a level
 * is missing): selector "ver" product\version, "sp" adds \SP<sp>, anything
 * else (NULL included) adds \SP<sp>\MSP<msp>. */
TQAPI char *TQPROD_GetPath(const char *product, const char *selector);

/* Fills version, servicePack and msp with the product's previous level;
 * a buffer is written only when a string is found for it, so pass empty
 * buffers. Each buffer must hold 256 bytes: level strings longer than 255
 * characters (which cannot name a registry key) are never copied.
 * Always returns 0. */
TQAPI int TQPROD_GetAllPrevData(const char *product, char *version, char *servicePack,
                                char *msp);

/* ---- Version texts (static) ------------------------------------------- */

/* "VersionText" of the current version key; NULL, "" or " " names the
 * shared-components product. */
TQAPI const char *TQPROD_GetVerText(const char *product);
/* "VersionText" of the version key, or of its SP<servicePack> key when
 * servicePack is a non-zero number. */
TQAPI const char *TQPROD_GetSPVerText(const char *product, const char *servicePack);
/* As TQPROD_GetSPVerText, with \MSP<current msp> appended when the product
 * has a current MSP. */
TQAPI const char *TQPROD_GetMSPVerText(const char *product, const char *servicePack);
/* "VersionText" of the previous level (TQPROD_GetAllPrevData); NULL when
 * there is no previous version. */
TQAPI const char *TQPROD_GetPrevVerText(const char *product);

/* ---- Hot-fix bookkeeping and minor versions (static / 0 or -1) -------- */

/* <product>\<version>\HotFixes\LastInfo */
TQAPI const char *TQPROD_GetLastHFAIndex(const char *product);
TQAPI int TQPROD_SetLastHFAIndex(const char *product, const char *value);
TQAPI const char *TQPROD_GetLastHFARegName(const char *product);
TQAPI int TQPROD_SetLastHFARegName(const char *product, const char *value);
/* MRK\<version>\HotFixes\LastInfo */
TQAPI const char *TQPROD_GetLastMinorVersion(void);
TQAPI int TQPROD_SetLastMinorVersion(const char *value);
/* MRK\<version>\<LastHFARegName of MRK> */
TQAPI const char *TQPROD_GetPrevMinorVersion(void);
TQAPI int TQPROD_SetPrevMinorVersion(const char *value);

/* ---- Dependent packages ------------------------------------------------
 * SP level: <product>\<version>[\SP<sp> when sp is a non-zero number]
 * \DependentPkgs. MSP level: <product>\<version>\SP<sp>\MSP<msp>
 * \DependentPkgs, where a NULL or empty sp means the current SP.
 * Setters: 0 or -1; getters: static or NULL. */
TQAPI int TQPROD_SetDependent(const char *product, const char *packageName,
                              const char *servicePack);
TQAPI int TQPROD_SetDependentValue(const char *product, const char *packageName,
                                   const char *value, const char *servicePack);
TQAPI const char *TQPROD_GetDependentValue(const char *product, const char *servicePack,
                                           const char *packageName);
TQAPI int TQPROD_SetMSPDependentValue(const char *product, const char *packageName,
                                      const char *value, const char *servicePack,
                                      const char *msp);
TQAPI const char *TQPROD_GetMSPDependentValue(const char *product, const char *servicePack,
                                              const char *msp, const char *packageName);
/* Deletes the value: the registry service's result (0 deleted); -1 without
 * a level or when the key cannot be opened. */
TQAPI int TQPROD_CleanDependent(const char *product, const char *packageName,
                                const char *servicePack);
TQAPI int TQPROD_CleanMSPDependent(const char *product, const char *packageName,
                                   const char *servicePack, const char *msp);

/* ---- Walks: 0 entry, -1 no level, -2 cannot open, -3 end ---------------
 * A non-NULL product (or a non-zero restart) starts the walk over; NULL
 * continues it. name must hold 500 bytes. */
TQAPI int TQPROD_CheckDependent(const char *product, const char *servicePack, char *name);
TQAPI int TQPROD_CheckMSPDependent(const char *product, const char *servicePack,
                                   const char *msp, char *name);
/* Hot fixes listed under <version>\hotfixes whose own key has
 * "SilentUninstall" (product names up to 49 characters). */
TQAPI int TQPROD_GetHotFixes(const char *product, char *name);
/* The same, skipping entries whose own key also has "Dummy". */
TQAPI int TQPROD_GetHotFixesWithoutDummy(const char *product, char *name);
/* One entry of SOFTWARE\Tarquel\products per call: name is the entry when
 * it is an active plug-in ("PI..." with "PIActive" exactly "True" or "1"),
 * else empty. */
TQAPI int TQPROD_GetInstalledPlugIns(int restart, char *name);
/* As above; name stays set only when the plug-in has a "MinorVersion" /
 * when its "MinorVersion" equals minorVersion. */
TQAPI int TQPROD_GetInstalledPlugInsByMinorVersion(int restart, char *name);
TQAPI int TQPROD_GetInstalledPlugInsByVer(int restart, char *name, const char *minorVersion);

/* ---- Hot-fix and level uninstall commands (static / 0 or -1) ---------- */

/* "SilentUninstall" of <product>\<version>\hotfix_<hotfix>. */
TQAPI const char *TQPROD_GetHFSilentUninstall(const char *product, const char *hotfix);
TQAPI int TQPROD_SetHFSilentUninstall(const char *product, const char *hotfix,
                                      const char *command);
/* "SilentUninstall" of the current MSP key (TQPROD_GetPath "msp"). */
TQAPI const char *TQPROD_GetSilentUninstall(const char *product);
TQAPI int TQPROD_SetSilentUninstall(const char *product, const char *command);

/* ---- Product state (values of the current version key) ---------------- */

/* "PluginActive" as a number (0 when missing); setter writes "1" or "0". */
TQAPI int TQPROD_IsPluginActive(const char *product);
TQAPI int TQPROD_SetPluginActive(const char *product, int active);
/* "ProdActive": 1 when non-zero, else 0; setter writes the decimal value. */
TQAPI int TQPROD_IsProdActive(const char *product);
TQAPI int TQPROD_SetProdActive(const char *product, int value);
/* "IsConfigured": 1 when non-zero, else 0; setter writes "1". */
TQAPI int TQPROD_IsConfigured(const char *product);
TQAPI int TQPROD_SetConfigured(const char *product);
/* "Express" of the shared-components product, as "ProdActive". */
TQAPI int TQPROD_IsExpress(void);
TQAPI int TQPROD_SetExpress(int value);

/* ---- Directories and names (static / 0 or -1) -------------------------- */

TQAPI const char *TQPROD_GetProdDir(const char *product);
TQAPI const char *TQPROD_GetQldir(void);
TQAPI const char *TQPROD_GetTqmDir(void);
TQAPI const char *TQPROD_GetCrldpName(void);
TQAPI int TQPROD_SetCrldpName(const char *name);
TQAPI const char *TQPROD_GetFipsPath(void);
TQAPI int TQPROD_SetFipsPath(const char *path);
/* "TQDIR" of tqshared\<version>; NULL without a current version. */
TQAPI const char *TQPROD_GetTqdir(void);
/* The product directory in the platform's short form (malloc, a fresh copy
 * each call), or NULL. */
TQAPI char *TQPROD_GetShortProdDir(const char *product);

/* Auto-start: -1 when "AutoStart" is missing, else its number. */
TQAPI int TQPROD_GetMRKAutoStart(void);
TQAPI int TQPROD_SetMRKAutoStart(int value);
TQAPI int TQPROD_GetRTAutoStart(void);
TQAPI int TQPROD_SetRTAutoStart(int value);

/* ---- Reserved values --------------------------------------------------- */

/* <product>[\<version>]\reserved[\<subkey>]: static or NULL; NULL with the
 * versioned flag and no current version. */
TQAPI const char *TQPROD_GetReserved(const char *product, const char *subkey,
                                     const char *valueName, int versioned);
/* TQPROD_SetValue on that path (the key is created); 0 or -1. */
TQAPI int TQPROD_SetReserved(const char *product, const char *subkey, const char *valueName,
                             int type, const char *data, int versioned);

/* ---- Interface assignments (MRK's versioned reserved key "ZANDOR") ----- */

TQAPI const char *TQPROD_GetAuxIf(void);
TQAPI int TQPROD_SetAuxIf(const char *name);
TQAPI const char *TQPROD_GetDMZIf(void);
TQAPI int TQPROD_SetDMZIf(const char *name);
TQAPI const char *TQPROD_GetInternalIf(void);
TQAPI int TQPROD_SetInternalIf(const char *name);
TQAPI const char *TQPROD_GetExternalIf(void);
TQAPI int TQPROD_SetExternalIf(const char *name);

/* ---- Partner products (ALTEX\<partner>\<product>) ---------------------- */

/* Writes "MajorVersion", "MinorVersion", "INFO" (and "PRODDIR"), stopping
 * at the first failure: -1, -2, -3 (-4) for the failed write, else 0. */
TQAPI int TQPROD_SetALTEXProd(const char *partner, const char *product,
                              const char *majorVersion, const char *minorVersion,
                              const char *info);
TQAPI int TQPROD_SetALTEXProdDir(const char *partner, const char *product,
                                 const char *majorVersion, const char *minorVersion,
                                 const char *info, const char *productDir);
/* Deletes the product, then the partner key and "ALTEX" when they are left
 * without subkeys. 0; -1 product not deleted; -2 empty partner key not
 * deleted; -3 empty "ALTEX" not deleted. Restarts TQPROD_GetEnumKey's walk. */
TQAPI int TQPROD_DelALTEXProd(const char *partner, const char *product);

TQ_EXTERN_C_END

#endif
