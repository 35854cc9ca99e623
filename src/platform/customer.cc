// Multi-domain customer context: server or customer management, the
// customer's name and directory, and the caches that depend on them.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "common/report.h"
#include "registry/registry_core.h"
#include "tqprod50.h"
#include "tqprod50/customer.h"

namespace tq {
namespace {

constexpr const char kCustomers[] = "/customers/";
constexpr const char kMdsProductPath[] = "SOFTWARE\\Tarquel\\OSTRIVA";
constexpr size_t kCmaDirMax = 512;       // formed path: at most 511 characters
constexpr size_t kCustomerNameMax = 1024;

char *g_cma_dir = nullptr;    // TQPROD_GetCmaDir
char *g_cust_name = nullptr;  // last name found by get_cust_name

// "FWDIR" and "MDSDIR" as is_mds saw them; kept once found.
std::string *g_mds_fwdir = nullptr;
std::string *g_mds_mdsdir = nullptr;

char g_customer_name[kCustomerNameMax];
const char *g_customer_name_found = nullptr;

void Replace(char **slot, char *value) {
  free(*slot);
  *slot = value;
}

char *CustomerName() {
  const char *mdsdir = getenv("MDSDIR");
  const char *fwdir = getenv("FWDIR");
  if (mdsdir == nullptr) {
    ReportError(1, -1, "get_cust_name: cannot get MDSDIR environment variable.");
    return nullptr;
  }
  if (fwdir == nullptr) {
    ReportError(1, -1, "get_cust_name: cannot get FWDIR environment variable.");
    return nullptr;
  }
  if (strcmp(fwdir, mdsdir) == 0) return nullptr;  // the server itself
  char *copy = strdup(fwdir);
  if (copy == nullptr) {
    ReportError(1, -1, "get_cust_name: strdup failed, short of memory.");
    return nullptr;
  }
  char *result = nullptr;
  char *p = strstr(copy, kCustomers);
  if (p == nullptr) {
    ReportError(0, -1, "get_cust_name: couldn't find /customers/ within fwdir");
  } else {
    p += strlen(kCustomers);
    while (*p == '/') ++p;
    char *end = *p == '\0' ? nullptr : strchr(p, '/');
    if (*p == '\0') {
      ReportError(1, -1, "get_cust_name: badly formed fwdir, path ends after customers/");
    } else if (end == nullptr) {
      ReportError(1, -1, "get_cust_name: cannot FWDIR path is too short.");
    } else {
      *end = '\0';
      char *cached = strdup(p);
      result = strdup(p);
      if (cached == nullptr || result == nullptr) {
        free(cached);
        free(result);
        result = nullptr;
      } else {
        Replace(&g_cust_name, cached);
      }
    }
  }
  free(copy);
  return result;
}

// Looks an environment variable up until it is found, then keeps it.
const std::string *KeptEnv(std::string **slot, const char *name) {
  if (*slot == nullptr) {
    const char *v = getenv(name);
    if (v != nullptr) *slot = new std::string(v);
  }
  return *slot;
}

int IsMds() {
  if (is_virtual_local_address() == 0) return 0;
  const std::string *fwdir = KeptEnv(&g_mds_fwdir, "FWDIR");
  const std::string *mdsdir = KeptEnv(&g_mds_mdsdir, "MDSDIR");
  if (fwdir == nullptr || mdsdir == nullptr) return 0;
  return *fwdir == *mdsdir ? 1 : 0;
}

int IsCma() {
  if (is_virtual_local_address() == 0) return 0;
  char *name = CustomerName();
  if (name == nullptr) return 0;
  free(name);
  return 1;
}

const char *CmaDir() {
  if (IsCma() != 1) return nullptr;
  if (g_cma_dir != nullptr) return g_cma_dir;
  char *name = CustomerName();
  if (name == nullptr) return nullptr;
  // The server's directory as GetMdsFwdirFromRegistry reads it; this reader
  // also refuses a number value, whose service result is no pointer.
  const char *server = ReadServiceString(kMdsProductPath, "FWDIR", 1);
  if (server == nullptr) {
    free(name);
    return nullptr;
  }
  char path[kCmaDirMax];
  snprintf(path, sizeof path, "%s%s%s", server, kCustomers, name);
  free(name);
  g_cma_dir = strdup(path);
  if (g_cma_dir == nullptr) {
    ReportError(1, -1, "TQPROD_GetCmaDir: cannot strdup %s", path);
    return nullptr;
  }
  return g_cma_dir;
}

const char *RegisteredCustomerName() {
  if (g_customer_name_found != nullptr) return g_customer_name_found;
  const char *text = TQPROD_GetValue("MRK", "CustomerName", 1);
  if (text == nullptr) return nullptr;
  snprintf(g_customer_name, sizeof g_customer_name, "%s", text);
  g_customer_name_found = g_customer_name;
  return g_customer_name_found;
}

bool StartsWith(const char *s, const char *prefix) {
  return strncmp(s, prefix, strlen(prefix)) == 0;
}

int IsCmaUnique(const char *key, const char *name) {
  if (key == nullptr) key = "";
  if (name != nullptr && strcmp(name, "TQLocalAuthDir") == 0) return 0;
  if (StartsWith(key, "Components")) return 0;
  if (StartsWith(key, "TQshared")) return name != nullptr && strcmp(name, "TQDIR") == 0 ? 1 : 0;
  if (StartsWith(key, "PRNG")) return 0;
  return 1;
}

}  // namespace
}  // namespace tq

extern "C" {

TQAPI int is_mds(void) { return tq::IsMds(); }

TQAPI int is_cma(void) { return tq::IsCma(); }

TQAPI char *get_cust_name(void) { return tq::CustomerName(); }

TQAPI const char *TQPROD_GetCmaDir(void) { return tq::CmaDir(); }

TQAPI void TQPROD_ResetRegCmaCache(void) {
  tq::ResetMrkPathCache();
  tq::Replace(&tq::g_cma_dir, nullptr);
  tq::Replace(&tq::g_cust_name, nullptr);
}

TQAPI const char *get_customer_name(void) { return tq::RegisteredCustomerName(); }

TQAPI int is_cma_unique(const char *key, const char *name) { return tq::IsCmaUnique(key, name); }

}  // extern "C"
