// Reserved values of a product and the appliance's interface assignments,
// which are reserved values of the firewall's current version.
#include "bookkeeping/bookkeeping.h"
#include "tqprod50.h"

using namespace tq;

extern "C" {

TQAPI const char *TQPROD_GetReserved(const char *product, const char *subkey,
                                     const char *valueName, int versioned) {
  std::string path;
  if (!IsProduct(product) || !RelativeReservedPath(path, product, subkey, versioned))
    return nullptr;
  return TQPROD_GetValue(path.c_str(), valueName, 0);
}

TQAPI int TQPROD_SetReserved(const char *product, const char *subkey, const char *valueName,
                             int type, const char *data, int versioned) {
  std::string path;
  if (!IsProduct(product) || !RelativeReservedPath(path, product, subkey, versioned))
    return -1;
  return TQPROD_SetValue(path.c_str(), valueName, type, data, 0);
}

// Interface assignments: getter, setter, value of MRK's versioned reserved
// key "ZANDOR". Both go through the exported reserved-value entries.
#define TQ_INTERFACE_ASSIGNMENTS(X)                        \
  X(TQPROD_GetAuxIf, TQPROD_SetAuxIf, "Aux")               \
  X(TQPROD_GetDMZIf, TQPROD_SetDMZIf, "DMZ")               \
  X(TQPROD_GetInternalIf, TQPROD_SetInternalIf, "Internal") \
  X(TQPROD_GetExternalIf, TQPROD_SetExternalIf, "External")

#define TQ_DEFINE_INTERFACE(getter, setter, value)                               \
  TQAPI const char *getter(void) { return TQPROD_GetReserved("MRK", "ZANDOR", value, 1); } \
  TQAPI int setter(const char *name) {                                           \
    return TQPROD_SetReserved("MRK", "ZANDOR", value, TQREG_SZ, name, 1);        \
  }
TQ_INTERFACE_ASSIGNMENTS(TQ_DEFINE_INTERFACE)
#undef TQ_DEFINE_INTERFACE

}  // extern "C"
