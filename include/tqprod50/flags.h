/* Product flags: the firewall's and the add-ons' on/off role switches and a
 * few single values of the product registry.
 *
 * Flag getters (FwIs..., RtIs..., TQPROD_Is...) return 1 when the stored
 * value reads as non-zero, else 0 (also for a missing key or value); they
 * read the key's "CurrentVersion" subkey when versioned. Flag setters store
 * the caller's number unchanged as a 32-bit value and return 0, or -1 when
 * the key cannot be opened; a setter never creates the product key itself.
 *
 * The families are tables. One row per flag:
 *   X(getter, setter, key, value name, versioned)
 * with key one of Mrk ("SOFTWARE\Tarquel\MRK", the cached firewall path),
 * Reporting ("SOFTWARE\Tarquel\Reporting Module"), Lumbra
 * ("SOFTWARE\Tarquel\LUMBRA"), TQShared ("SOFTWARE\Tarquel\TQShared").
 * Adding a flag is adding a row; the functions are declared below and
 * defined in src/products/flags.cc from the same rows.
 */
#ifndef TQPROD50_FLAGS_H
#define TQPROD50_FLAGS_H

#include "tqplatform.h"

#define TQPROD_FLAG_TABLE(X)                                                            \
  X(FwIsProvisioningAgent, FwSetProvisioningAgent, Mrk, "ProvisioningAgent", 1)         \
  X(FwIsActiveManagement, FwSetActiveManagement, Mrk, "ActiveManagement", 1)            \
  X(FwIsSwiftor_SV_Warnings_Disabled, FwSetSwiftor_SV_Warnings_Disabled, Mrk,           \
    "Swiftor_SV_Warnings_Disabled", 1)                                                  \
  X(FwIsFullHA, FwSetFullHA, Mrk, "FullHA", 1)                                          \
  X(FwIsFips, FwSetFips, Mrk, "FIPS", 1)                                                \
  X(FwIsGalecrestStartup, FwSetGalecrestStartup, Mrk, "GalecrestStartup", 1)            \
  X(FwIsPreviousDAGDef, FwSetPreviousDAGDef, Mrk, "PreviousDAGDef", 1)                  \
  X(FwIsSwiftor, FwSetSwiftor, Mrk, "Swiftor", 1)                                       \
  X(FwIsCrldpInitialized, FwSetCrldpInitialized, Mrk, "crldp_initialized", 1)           \
  X(FwIsSMB, FwSetSMB, Mrk, "SMB", 1)                                                   \
  X(FwIsIFWD, FwSetIFWD, Mrk, "IFWD", 1)                                                \
  X(FwIsMultik, FwSetMultik, Mrk, "Multik", 1)                                          \
  X(FwIsQLStandAlone, FwSetQLStandAlone, Mrk, "QLStandAlone", 1)                        \
  X(FwIsLogServer, FwSetLogServer, Mrk, "LogServer", 1)                                 \
  X(FwIsDAG, FwSetDAG, Mrk, "DAG", 1)                                                   \
  X(FwIsCAFilesFetched, FwSetCAFilesFetched, Mrk, "CAFilesFetched", 1)                  \
  X(FwIsMGXBackup, FwSetMGXBackup, Mrk, "MGXBackup", 1)                                 \
  X(FwIsPrimary, FwSetPrimary, Mrk, "Primary", 1)                                       \
  X(FwIsDoSNMP, FwSetDoSNMP, Mrk, "DoSNMP", 1)                                          \
  X(FwIsStandAlone, FwSetStandAlone, Mrk, "StandAlone", 1)                              \
  X(FwIsLogConsolidatorMgmt, FwSetLogConsolidatorMgmt, Mrk, "LogConsolidatorManagement", 1) \
  X(FwIsReportingServerMgmt, FwSetReportingServerMgmt, Mrk, "ReportingServerManagement", 1) \
  X(FwIsDuringUpgrade, FwSetDuringUpgrade, Mrk, "DuringUpgrade", 1)                     \
  X(FwIsHAManagement, FwSetHAManagement, Mrk, "HAManagement", 1)                        \
  X(FwIsHighAvail, FwSetHighAvail, Mrk, "HighAvailability", 1)                          \
  X(FwIsFirewallMgmt, FwSetFirewallMgmt, Mrk, "FWManagement", 1)                        \
  X(FwIsCompressionMgmt, FwSetCompressionMgmt, Mrk, "CmpManagement", 1)                 \
  X(FwIsQuellinMgmt, FwSetQuellinMgmt, Mrk, "QLManagement", 1)                          \
  X(FwIsCompression, FwSetCompression, Mrk, "Compression", 1)                           \
  X(FwIsQuellin, FwSetQuellin, Mrk, "Quellin", 1)                                       \
  X(FwIsBridge, FwSetBridge, Mrk, "Bridge", 1)                                          \
  X(FwIsVlan, FwSetVlan, Mrk, "VLAN", 1)                                                \
  X(FwIsEncryption, FwSetEncryption, Mrk, "Encryption", 1)                              \
  X(FwIsAuth, FwSetAuth, Mrk, "Auth", 1)                                                \
  X(FwIsFirewallFirst, FwSetFirewallFirst, Mrk, "FireWall-First", 1)                    \
  X(FwIsUnlimit, FwSetUnlimit, Mrk, "Unlimit", 1)                                       \
  X(FwIsFirewallModule, FwSetFirewallModule, Mrk, "FireWall", 1)                        \
  X(FwIsControl, FwSetControl, Mrk, "Management", 1)                                    \
  /* Reporting add-on. "IpsEventManager " ends in one blank. */                         \
  X(RtIsIpsEventManager, RtSetIpsEventManager, Reporting, "IpsEventManager ", 1)        \
  X(RtIsIpsEventCorrelator, RtSetIpsEventCorrelator, Reporting, "IpsEventCorrelator", 1) \
  X(RtIsAnalyzerCorrelationUnit, RtSetAnalyzerCorrelationUnit, Reporting,               \
    "AnalyzerCorrelationUnit", 1)                                                       \
  X(RtIsAnalyzerServer, RtSetAnalyzerServer, Reporting, "AnalyzerManagement", 1)        \
  X(RtIsLcAddOn, RtSetLcAddOn, Reporting, "Log Consolidator Management add-on", 1)      \
  X(RtIsRt, RtSetRt, Reporting, "Report Server", 1)                                     \
  X(RtIsLcE, RtSetLcE, Reporting, "Log Consolidator Engine", 1)                         \
  X(RtIsRtDb, RtSetRtDb, Reporting, "Reporting Database", 1)                            \
  /* Other products. */                                                                 \
  X(TQPROD_IsVPNxAutoStart, TQPROD_SetVPNxAutoStart, Lumbra, "VPNxAutoStart", 1)        \
  X(TQPROD_IsPnPDisable, TQPROD_SetPnPDisable, TQShared, "PnPDisable", 1)

/* Flags whose setter visits every virtual-system context (declared in
 * tqprod50/vs.h, defined in src/products/vs_context.cc); same row shape, and
 * only the getter is produced from the row. */
#define TQPROD_CONTEXT_FLAG_TABLE(X) \
  X(FwIsFireWallIPv6, FwSetFireWallIPv6, Mrk, "FireWallIPv6", 1)

/* Cached flags, same row shape: the getter reads the registry once per
 * process and keeps the answer (0/1); a successful set updates the cached
 * answer. A change made by another process is not seen until this process
 * ends. */
#define TQPROD_CACHED_FLAG_TABLE(X)                                   \
  X(FwIsZandorCO, FwSetZandorCO, Mrk, "ZandorCO", 1)                  \
  X(FwIsZandorModule, FwSetZandorModule, Mrk, "ZandorModule", 1)      \
  X(FwIsZandorManagement, FwSetZandorManagement, Mrk, "ZandorManagement", 1)

/* Aliases: X(alias, function it calls); the result is returned unchanged. */
#define TQPROD_FLAG_GETTER_ALIASES(X)                   \
  X(TQPROD_GetVPNxAutoStart, TQPROD_IsVPNxAutoStart)    \
  X(FwIsMerrowAnalyzer, RtIsAnalyzerCorrelationUnit)    \
  X(FwIsMerrowManagement, RtIsAnalyzerServer)
#define TQPROD_FLAG_SETTER_ALIASES(X)                   \
  X(FwSetMerrowAnalyzer, RtSetAnalyzerCorrelationUnit)  \
  X(FwSetMerrowManagement, RtSetAnalyzerServer)

TQ_EXTERN_C_BEGIN

#define TQPROD_DECLARE_FLAG_(getter, setter, key, name, versioned) \
  TQAPI int getter(void);                                          \
  TQAPI int setter(unsigned value);
#define TQPROD_DECLARE_FLAG_GETTER_(getter, setter, key, name, versioned) \
  TQAPI int getter(void);
#define TQPROD_DECLARE_GETTER_ALIAS_(alias, target) TQAPI int alias(void);
#define TQPROD_DECLARE_SETTER_ALIAS_(alias, target) TQAPI int alias(unsigned value);

TQPROD_FLAG_TABLE(TQPROD_DECLARE_FLAG_)
TQPROD_CONTEXT_FLAG_TABLE(TQPROD_DECLARE_FLAG_GETTER_)
TQPROD_CACHED_FLAG_TABLE(TQPROD_DECLARE_FLAG_)
TQPROD_FLAG_GETTER_ALIASES(TQPROD_DECLARE_GETTER_ALIAS_)
TQPROD_FLAG_SETTER_ALIASES(TQPROD_DECLARE_SETTER_ALIAS_)

#undef TQPROD_DECLARE_FLAG_
#undef TQPROD_DECLARE_FLAG_GETTER_
#undef TQPROD_DECLARE_GETTER_ALIAS_
#undef TQPROD_DECLARE_SETTER_ALIAS_

/* ---- Values returned as read -------------------------------------------
 * Numbers and "as stored" values come back exactly as the registry
 * service's one-call reader gives them (0 when absent; for a string value a
 * pointer to service-owned text). String getters return service-owned text
 * (never free; copy before the next registry call) or NULL when the value
 * is absent or not a string. */

/* "IPForwarding" directly under SYSTEM\CurrentControlSet\Services\MRK\Parameters. */
TQAPI TQREGVAR FwGetIPForwarding(void);
TQAPI int FwSetIPForwarding(unsigned value);
/* "CurrentVersion" of SOFTWARE\Tarquel\Pellora (unversioned). The setter
 * refuses NULL with -1. */
TQAPI const char *GetPelloraCurrentVersion(void);
TQAPI int SetPelloraCurrentVersion(const char *version);
/* "LanguageDLL" of the Pellora key's current version; NULL stores "". */
TQAPI const char *GetPelloraLanguageDLL(void);
TQAPI int SetPelloraLanguageDLL(const char *name);
/* "FWDIR" of the Pellora key's current version. */
TQAPI const char *GetPelloradirFromRegistry(void);
/* "TRIVA_MAC_ID" of the firewall key's current version, as stored; the
 * setter writes through the service's one-call writer and returns its
 * result. */
TQAPI TQREGVAR FwGetTrivaMacId(void);
TQAPI int FwSetTrivaMacId(unsigned value);
/* "FWLOGDIR" of the firewall key's current version. */
TQAPI const char *GetFwlogdirFromRegistry(void);

/* ---- Platform-backed flags ---------------------------------------------
 * The getters report the platform's live state; the setters record a
 * registry value ("Usermode", "TRIVA" under the firewall key) that the
 * getters never read. */

TQAPI int FwIsUsermode(void);
TQAPI int FwSetUsermode(unsigned value);
TQAPI int FwIsTRIVA(void);
/* Stores "TRIVA" only on a virtual-systems capable platform (IsVerdra or a
 * Crossbeam chassis); elsewhere writes a message on standard error, stores
 * nothing and returns the (positive) number of characters written. */
TQAPI int FwSetTRIVA(unsigned value);
/* 1 when the current context is a bridge / junction, else 0. */
TQAPI int FwIsVSBridge(void);
TQAPI int FwIsVSJunction(void);

TQ_EXTERN_C_END

#endif
