// Recursive key copy: the key-tree walk with a value copy at every key.
//
// For an empty or "." source the root's own values are enumerated under
// that very name. The value enumeration refuses an empty name and the
// registry service takes "." as a key literally named ".", so the values
// of "SOFTWARE\Tarquel" itself are not copied, only its subtree.
#include <string>

#include "maintenance/key_tree_walk.h"
#include "tqprod50.h"

namespace tq {
namespace {

// Copies every value of the key named source to the key named destination.
// Unreadable values are skipped, failed writes ignored. Destination keys come
// into being only through the writes.
void CopyValues(const char *source, const char *destination) {
  ForEachValueName(source, [&](const char *name) {
    unsigned type = 0, size = 0;
    const char *text = TQPROD_GetValueWithRegType(source, name, 0, &type, &size);
    if (text == nullptr) return;
    if (type == TQREG_MULTI_SZ)
      TQKAddProductListForCopyKey(source, destination, name);
    else
      TQPROD_SetValue(destination, name, static_cast<int>(type), text, 0);
  });
}

class CopyAction : public WalkAction {
 public:
  explicit CopyAction(const char *destination) : destination_(destination) {}

  void AtStart(const WalkedKey &key) override { CopyValues(key.source, destination_.c_str()); }

  void AfterDescent(const WalkedKey &key) override {
    std::string to = destination_;
    to += '\\';
    to += key.relative;
    CopyValues(key.source, to.c_str());
  }

 private:
  const std::string destination_;
};

}  // namespace
}  // namespace tq

using namespace tq;

extern "C" {

TQAPI int TQPROD_CopyKeyRecursive(const char *source, const char *destination) {
  if (source == nullptr || destination == nullptr) return -1;
  CopyAction action(destination);
  TqkRegBatchScope batch;  // one transaction, one flush, for the whole copy
  return WalkKeyTree(source, action);
}

TQAPI int TQPROD_CopyKeyValues(uint32_t src, uint32_t dst) {
  return TQPRODIS_CopyKeyValues(src, dst);
}

}  // extern "C"
