// The rows of `tqprod call`. A row per exported getter or setter whose
// parameters are strings, numbers, output buffers or output numbers;
// functions that take arrays of buffers, raw data pointers or variable
// arguments are reached through the other commands instead. The flag and
// installed-mark families come from their own header tables, so a flag
// added there is callable here without a change.
#include "call_table.h"

#include "call_invoke.h"
#include "tqprod50.h"

namespace tqtool {
namespace {

#define TQ_FLAG_ROWS(getter, setter, key, name, versioned) \
  TQ_CALL(getter, kBool, ""), TQ_CALL(setter, kStatus, ""),
#define TQ_GETTER_ALIAS_ROW(alias, target) TQ_CALL(alias, kBool, ""),
#define TQ_SETTER_ALIAS_ROW(alias, target) TQ_CALL(alias, kStatus, ""),
#define TQ_MARK_ROWS(check, set, mark) TQ_CALL(check, kBool, ""), TQ_CALL(set, kStatus, ""),

const std::vector<CallRow> kRows = {
    // Registry access core: key paths and versions.
    TQ_CALL(TQPROD_GetCurrentVersion, kStr, ""),
    TQ_CALL(TQPROD_GetReservedPath, kStr, ""),
    TQ_CALL(TQPROD_GetRegMrkPath, kStr, ""),
    TQ_CALL(TQPROD_GetRegTQSharedPath, kStr, ""),
    TQ_CALL(GetMirrakEffectiveVersion, kMalloc, ""),
    TQ_CALL(GetPelloraEffectiveVersion, kMalloc, ""),
    TQ_CALL(SetMirrakEffectiveVersion, kStatus, ""),
    TQ_CALL(SetPelloraEffectiveVersion, kStatus, ""),
    TQ_CALL(TQPROD_OverideCurrentVersion, kStatus, ""),
    TQ_CALL(TQPROD_GetOverideVersion, kStr, ""),
    // Values.
    TQ_CALL(TQPROD_GetValue, kStr, ""),
    TQ_CALL(TQPROD_GetValueWithRegType, kStr, ""),
    TQ_CALL(TQPROD_SetValue, kStatus, ""),
    TQ_CALL(FwSetParam, kStatus, ""),
    TQ_CALL(TQPROD_DelValue, kStatus, ""),
    TQ_CALL(TQPROD_DelKey, kStatus, ""),
    TQ_CALL(TQPROD_DelKeyFromRes, kStatus, ""),
    TQ_CALL(TQPROD_GetEnumKey, kStatus, ""),
    TQ_CALL(TQPROD_GetEnumKeyFromRes, kStatus, ""),
    TQ_CALL(TQPROD_GetKeyValues, kStatus, ""),
    TQ_CALL(TQPROD_GetResKeyValues, kStatus, ""),
    TQ_CALL(GetDllPathFromRegistry, kRegStr, ""),
    TQ_CALL(FwGetParam, kRegNum, ""),
    TQ_CALL(FwGetEventLogServer, kRegStr, ""),
    TQ_CALL(GetMdsFwdirFromRegistry, kRegStr, ""),
    TQ_CALL(TQPROD_GetFwdir, kStr, ""),
    // Levels and texts.
    TQ_CALL(TQPROD_GetCurrentServicePack, kStr, ""),
    TQ_CALL(TQPROD_GetPreviousVersion, kStr, ""),
    TQ_CALL(TQPROD_GetPrevServicePack, kStr, ""),
    TQ_CALL(TQPROD_GetCurrentMSP, kStr, ""),
    TQ_CALL(TQPROD_GetPrevMSP, kStr, ""),
    TQ_CALL(TQPROD_SetCurrentMSP, kStatus, ""),
    TQ_CALL(TQPROD_IsTQShared, kBool, ""),
    TQ_CALL(TQPROD_GetPath, kMalloc, ""),
    TQ_CALL(TQPROD_GetAllPrevData, kStatus, ""),
    TQ_CALL(TQPROD_GetVerText, kStr, ""),
    TQ_CALL(TQPROD_GetSPVerText, kStr, ""),
    TQ_CALL(TQPROD_GetMSPVerText, kStr, ""),
    TQ_CALL(TQPROD_GetPrevVerText, kStr, ""),
    TQ_CALL(TQPROD_GetLastHFAIndex, kStr, ""),
    TQ_CALL(TQPROD_SetLastHFAIndex, kStatus, ""),
    TQ_CALL(TQPROD_GetLastHFARegName, kStr, ""),
    TQ_CALL(TQPROD_SetLastHFARegName, kStatus, ""),
    TQ_CALL(TQPROD_GetLastMinorVersion, kStr, ""),
    TQ_CALL(TQPROD_SetLastMinorVersion, kStatus, ""),
    TQ_CALL(TQPROD_GetPrevMinorVersion, kStr, ""),
    TQ_CALL(TQPROD_SetPrevMinorVersion, kStatus, ""),
    // Dependent packages, hot fixes, plug-ins.
    TQ_CALL(TQPROD_SetDependent, kStatus, ""),
    TQ_CALL(TQPROD_SetDependentValue, kStatus, ""),
    TQ_CALL(TQPROD_GetDependentValue, kStr, ""),
    TQ_CALL(TQPROD_SetMSPDependentValue, kStatus, ""),
    TQ_CALL(TQPROD_GetMSPDependentValue, kStr, ""),
    TQ_CALL(TQPROD_CleanDependent, kStatus, ""),
    TQ_CALL(TQPROD_CleanMSPDependent, kStatus, ""),
    TQ_CALL(TQPROD_CheckDependent, kStatus, ""),
    TQ_CALL(TQPROD_CheckMSPDependent, kStatus, ""),
    TQ_CALL(TQPROD_GetHotFixes, kStatus, ""),
    TQ_CALL(TQPROD_GetHotFixesWithoutDummy, kStatus, ""),
    TQ_CALL(TQPROD_GetInstalledPlugIns, kStatus, ""),
    TQ_CALL(TQPROD_GetInstalledPlugInsByMinorVersion, kStatus, ""),
    TQ_CALL(TQPROD_GetInstalledPlugInsByVer, kStatus, ""),
    TQ_CALL(TQPROD_GetHFSilentUninstall, kStr, ""),
    TQ_CALL(TQPROD_SetHFSilentUninstall, kStatus, ""),
    TQ_CALL(TQPROD_GetSilentUninstall, kStr, ""),
    TQ_CALL(TQPROD_SetSilentUninstall, kStatus, ""),
    // Product state, directories, interfaces, partners.
    TQ_CALL(TQPROD_IsPluginActive, kBool, ""),
    TQ_CALL(TQPROD_SetPluginActive, kStatus, ""),
    TQ_CALL(TQPROD_IsProdActive, kBool, ""),
    TQ_CALL(TQPROD_SetProdActive, kStatus, ""),
    TQ_CALL(TQPROD_IsConfigured, kBool, ""),
    TQ_CALL(TQPROD_SetConfigured, kStatus, ""),
    TQ_CALL(TQPROD_IsExpress, kBool, ""),
    TQ_CALL(TQPROD_SetExpress, kStatus, ""),
    TQ_CALL(TQPROD_GetProdDir, kStr, ""),
    TQ_CALL(TQPROD_GetQldir, kStr, ""),
    TQ_CALL(TQPROD_GetTqmDir, kStr, ""),
    TQ_CALL(TQPROD_GetCrldpName, kStr, ""),
    TQ_CALL(TQPROD_SetCrldpName, kStatus, ""),
    TQ_CALL(TQPROD_GetFipsPath, kStr, ""),
    TQ_CALL(TQPROD_SetFipsPath, kStatus, ""),
    TQ_CALL(TQPROD_GetTqdir, kStr, ""),
    TQ_CALL(TQPROD_GetShortProdDir, kMalloc, ""),
    TQ_CALL(TQPROD_GetMRKAutoStart, kNumber, ""),
    TQ_CALL(TQPROD_SetMRKAutoStart, kStatus, ""),
    TQ_CALL(TQPROD_GetRTAutoStart, kNumber, ""),
    TQ_CALL(TQPROD_SetRTAutoStart, kStatus, ""),
    TQ_CALL(TQPROD_GetReserved, kStr, ""),
    TQ_CALL(TQPROD_SetReserved, kStatus, ""),
    TQ_CALL(TQPROD_GetAuxIf, kStr, ""),
    TQ_CALL(TQPROD_SetAuxIf, kStatus, ""),
    TQ_CALL(TQPROD_GetDMZIf, kStr, ""),
    TQ_CALL(TQPROD_SetDMZIf, kStatus, ""),
    TQ_CALL(TQPROD_GetInternalIf, kStr, ""),
    TQ_CALL(TQPROD_SetInternalIf, kStatus, ""),
    TQ_CALL(TQPROD_GetExternalIf, kStr, ""),
    TQ_CALL(TQPROD_SetExternalIf, kStatus, ""),
    TQ_CALL(TQPROD_SetALTEXProd, kStatus, ""),
    TQ_CALL(TQPROD_SetALTEXProdDir, kStatus, ""),
    TQ_CALL(TQPROD_DelALTEXProd, kStatus, ""),
    // Flags: the header's tables, then the single values.
    TQPROD_FLAG_TABLE(TQ_FLAG_ROWS)
    TQPROD_CONTEXT_FLAG_TABLE(TQ_FLAG_ROWS)
    TQPROD_CACHED_FLAG_TABLE(TQ_FLAG_ROWS)
    TQPROD_FLAG_GETTER_ALIASES(TQ_GETTER_ALIAS_ROW)
    TQPROD_FLAG_SETTER_ALIASES(TQ_SETTER_ALIAS_ROW)
    TQ_CALL(FwGetIPForwarding, kRegNum, ""),
    TQ_CALL(FwSetIPForwarding, kStatus, ""),
    TQ_CALL(GetPelloraCurrentVersion, kStr, ""),
    TQ_CALL(SetPelloraCurrentVersion, kStatus, ""),
    TQ_CALL(GetPelloraLanguageDLL, kStr, ""),
    TQ_CALL(SetPelloraLanguageDLL, kStatus, ""),
    TQ_CALL(GetPelloradirFromRegistry, kStr, ""),
    TQ_CALL(FwGetTrivaMacId, kRegNum, ""),
    TQ_CALL(FwSetTrivaMacId, kStatus, ""),
    TQ_CALL(GetFwlogdirFromRegistry, kStr, ""),
    TQ_CALL(FwIsUsermode, kBool, ""),
    TQ_CALL(FwSetUsermode, kStatus, ""),
    TQ_CALL(FwIsTRIVA, kBool, ""),
    TQ_CALL(FwSetTRIVA, kStatus, ""),
    TQ_CALL(FwIsVSBridge, kBool, ""),
    TQ_CALL(FwIsVSJunction, kBool, ""),
    // Installed products.
    TQ_CALL(TQPROD_GetInstalledProducts, kStatus, ""),
    TQPROD_INSTALLED_MARK_TABLE(TQ_MARK_ROWS)
    TQ_CALL(NexoIsInstalled, kBool, ""),
    TQ_CALL(TQKAddProductList, kStatus, ""),
    TQ_CALL(TQKAddProductListForCopyKey, kStatus, ""),
    TQ_CALL(NexoGetInstallationType, kNumber, ""),
    TQ_CALL(NexoIsRhs, kBool, ""),
    TQ_CALL(NexoIsEps, kBool, ""),
    TQ_CALL(NexoIsPolicyServer, kBool, ""),
    TQ_CALL(IsSymmetricDSConfigured, kBool, ""),
    TQ_CALL(TQPROD_CheckProduct, kStatus, ""),
    // Maintenance.
    TQ_CALL(TQPROD_CopyKeyRecursive, kStatus, ""),
    TQ_CALL(TQPROD_BackupKey, kStatus, ""),
    TQ_CALL(TQPROD_RestoreKey, kStatus, ""),
    TQ_CALL(TQPROD_RestoreKeyWithType, kStatus, ""),
    TQ_CALL(TQPROD_DumpRegistry, kStatus, ""),
    TQ_CALL(TQPROD_GetRegistryString, kMalloc, ""),
    TQ_CALL(TQPROD_GetProductsString, kMalloc, ""),
    // Virtual-system context operations.
    TQ_CALL(FwSetFireWallIPv6Ctx, kStatus, ""),
    TQ_CALL(TQPROD_is_blade_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_RMX_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_APPI_or_URLF_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_ZMAIL_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_AntiVirus_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_AntiBot_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_URLF_enabled_on_TRIVA, kBool, ""),
    TQ_CALL(TQPROD_is_APPI_enabled_on_TRIVA, kBool, ""),
    // Multi-domain customer context.
    TQ_CALL(is_mds, kBool, ""),
    TQ_CALL(is_cma, kBool, ""),
    TQ_CALL(get_cust_name, kMalloc, ""),
    TQ_CALL(TQPROD_GetCmaDir, kStr, ""),
    TQ_CALL(TQPROD_ResetRegCmaCache, kVoid, ""),
    TQ_CALL(get_customer_name, kStr, ""),
    TQ_CALL(is_cma_unique, kBool, ""),
    // SNMP extension registration.
    TQ_CALL(HandleSnmpExtension, kNumber, ""),
    TQ_CALL(RemoveSnmpExtension, kStatus, ""),
    TQ_CALL(DeleteMirrakVersion, kVoid, ""),
    // Platform identification.
    TQ_CALL(TQPROD_ZudedazVer, kOne, ""),
    TQ_CALL(TQPROD_SetZudedazPro, kStatus, ""),
    TQ_CALL(TQPROD_IsZudedazPro, kBool, ""),
    TQ_CALL(TQPROD_IsZudedaz, kBool, ""),
    TQ_CALL(TQPROD_IsCrossBeamPlatform, kBool, ""),
    TQ_CALL(TQPROD_IsCrossbeamX, kBool, ""),
    TQ_CALL(TQPROD_IsDiskless, kBool, ""),
    TQ_CALL(TQPROD_IsPureDiskless, kBool, ""),
    TQ_CALL(TQPROD_GetConfigFrom41, kMalloc, ""),
    TQ_CALL(tqm_filename, kStr, "..ob"),
    // Error-logging environment entry.
    TQ_CALL(TQPROD_error_logging_set_env, kStatus, ""),
    // Install media.
    TQ_CALL(CDINFO_CreateElgFilePath, kMalloc, ""),
    TQ_CALL(GetValueFromLine, kStr, ""),
    TQ_CALL(IsItProductLine, kBool, ""),
    TQ_CALL(CDINFO_Search, kMalloc, ""),
    TQ_CALL(CDINFO_SearchAll, kStr, ""),
    TQ_CALL(CDINFO_Verify, kOne, ""),
    TQ_CALL(CDINFO_IsDVD, kOne, ""),
    TQ_CALL(CDINFO_GetCdSP, kOne, ""),
    TQ_CALL(CDINFO_GetCdAttrib, kOne, ""),
    TQ_CALL(ParseProductsFile, kOne, ""),
    TQ_CALL(CDINFO_IsTgz, kOne, ""),
    TQ_CALL(SetWinSlashes, kNumber, ""),
};

}  // namespace

const std::vector<CallRow> &CallTable() { return kRows; }

const CallRow *FindCall(const std::string &name) {
  for (const CallRow &r : kRows)
    if (name == r.name) return &r;
  return nullptr;
}

const char *ResName(Res r) {
  switch (r) {
    case Res::kStatus: return "status";
    case Res::kBool: return "bool";
    case Res::kOne: return "1-success";
    case Res::kNumber: return "number";
    case Res::kStr: return "string";
    case Res::kMalloc: return "string (freed)";
    case Res::kRegNum: return "service number";
    case Res::kRegStr: return "service string";
    case Res::kVoid: return "none";
  }
  return "?";
}

}  // namespace tqtool
