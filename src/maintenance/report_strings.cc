// Report strings: the firewall's roles and the installed products, each as
// one comma-separated line, from the registry or (mode 0) from product.conf.
#include <stdlib.h>
#include <string.h>

#include "tqprod50.h"

namespace tq {
namespace {

// The products line is composed in an area of this size. An entry that
// would not fit it (with its ",") ends the line: the entries before it are
// kept, it and every later one are left out, so the text stays a prefix of
// the full list and never holds a cut name.
constexpr size_t kProductsLineMax = 1024;

struct Role {
  const char *name;
  int (*is_on)(void);
};

const Role kRoles[] = {
    {"FWManagement", FwIsFirewallMgmt},     {"FireWall", FwIsFirewallModule},
    {"HighAvailability", FwIsHighAvail},    {"LogServer", FwIsLogServer},
    {"Primary", FwIsPrimary},
};

class LineText {
 public:
  LineText() { text_[0] = '\0'; }
  const char *c_str() const { return text_; }
  bool full() const { return full_; }
  // Appends "," (unless first) and item; false, changing nothing, when it
  // does not fit.
  bool Add(const char *item) {
    size_t sep = len_ == 0 ? 0 : 1;
    size_t n = strlen(item);
    if (len_ + sep + n >= sizeof text_) return false;
    if (sep) text_[len_++] = ',';
    memcpy(text_ + len_, item, n + 1);
    len_ += n;
    return true;
  }
  void MarkFull() { full_ = true; }

 private:
  char text_[kProductsLineMax];
  size_t len_ = 0;
  bool full_ = false;
};

// Name shown for an installed product, or null when it is left out.
const char *ShownName(const char *installed) {
  if (strcmp(installed, "OBV") == 0) return "obv";
  if (strcmp(installed, "PXG") == 0) return "pxg";
  if (strcmp(installed, "Quellin VX") == 0) return "QLN";
  if (strcmp(installed, "Reporting Module") == 0)
    return (RtIsRt() == 1 || RtIsAnalyzerCorrelationUnit() == 1) ? installed : nullptr;
  return installed;
}

// A private copy of a product.conf list, releasing the original.
char *CopyConfigList(char mode) {
  char *list = TQPROD_GetConfigFrom41(mode);
  if (list == nullptr) return nullptr;
  char *copy = strdup(list);
  free(list);
  return copy;
}

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI char *TQPROD_GetRegistryString(int mode) {
  if (mode == 0) return CopyConfigList('c');
  LineText line;
  bool any = false;
  for (const Role &role : kRoles) {
    if (role.is_on() == 1) any = line.Add(role.name) || any;
  }
  return any ? strdup(line.c_str()) : nullptr;
}

TQAPI char *TQPROD_GetProductsString(int mode) {
  if (mode == 0) return CopyConfigList('p');
  LineText line;
  bool listed = false;
  char name[500];
  for (int rc = TQPROD_GetInstalledProducts(1, name); rc == 0;
       rc = TQPROD_GetInstalledProducts(0, name)) {
    if (line.full()) continue;
    const char *shown = ShownName(name);
    if (shown == nullptr) continue;
    if (line.Add(shown))
      listed = true;
    else
      line.MarkFull();
  }
  if (!listed) return nullptr;
  if (strstr(line.c_str(), "obv") == nullptr && TQPROD_GetCurrentVersion("obv") != nullptr)
    line.Add("obv");
  return strdup(line.c_str());
}

}  // extern "C"
