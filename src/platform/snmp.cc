// Registration of the family's SNMP extension agent, and removal of one
// version subkey of the firewall key.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "registry/registry_core.h"
#include "tqprod50.h"
#include "tqprod50/snmp.h"

namespace tq {
namespace {

constexpr const char kExtensionAgents[] =
    "SYSTEM\\CurrentControlSet\\Services\\SNMP\\Parameters\\ExtensionAgents";
constexpr const char kAgentSuffix[] = "\\SnmpAgent";
constexpr size_t kDataMax = 1024;
constexpr int kNameLimit = 10000;  // names "1" to "9999"

const char *SharedPath() {
  const char *p = TQPROD_GetRegTQSharedPath();
  return p != nullptr ? p : kTQSharedPath;
}

// The family's agent path: the shared-components key, its version, "SnmpAgent".
std::string AgentPath() {
  char versioned[kPathMax];
  BuildVersionedKeyPath(SharedPath(), versioned);
  return std::string(versioned) + kAgentSuffix;
}

bool IsFamilyEntry(const char *data) {
  return strstr(data, SharedPath()) != nullptr && strstr(data, kAgentSuffix) != nullptr;
}

enum class Slot { kFree, kOurs, kOlderOurs, kTaken };

Slot Inspect(TQHKEY key, const char *name, const std::string &agent) {
  char data[kDataMax];
  unsigned type = 0;
  unsigned size = sizeof data;
  int rc = TqkRegQueryValueEx(key, name, nullptr, &type, data, &size);
  if (rc == TQREG_E_NOTFOUND) return Slot::kFree;
  if (rc != 0) return Slot::kTaken;  // unreadable or longer than the buffer
  size = size < sizeof data ? size : sizeof data - 1;
  data[size] = '\0';
  if (strcmp(data, agent.c_str()) == 0) return Slot::kOurs;
  if (IsFamilyEntry(data)) return Slot::kOlderOurs;
  return Slot::kTaken;
}

int Register() {
  if (TQPRODIS_GetVarFromRegistry(SharedPath(), "AddSnmp", 1) == 0) return 0;
  RegKey list;
  if (!list.Open(Root(), kExtensionAgents)) return 0;
  const std::string agent = AgentPath();
  char name[16];
  bool chosen = false;
  for (int n = 1; n < kNameLimit && !chosen; ++n) {
    snprintf(name, sizeof name, "%d", n);
    switch (Inspect(list.get(), name, agent)) {
      case Slot::kOurs:
        fputs("Tarquel SNMP extension already installed.\n", stderr);
        return 0;
      case Slot::kFree:
      case Slot::kOlderOurs:
        chosen = true;
        break;
      case Slot::kTaken:
        break;
    }
  }
  if (!chosen) return 0;
  int rc = TqkRegSetValueEx(list.get(), name, 0, TQREG_SZ, agent.c_str(),
                            static_cast<unsigned>(agent.size() + 1));
  if (rc != 0)
    fprintf(stderr,
            "FAILED to add Tarquel SNMP extension to the  registry (name: %s   path: %s "
            "errorCode: %d.\n",
            name, agent.c_str(), rc);
  else
    fputs("SUCCEEDED to add Tarquel SNMP extension.\n", stderr);
  return 1;
}

int Unregister() {
  RegKey list;
  if (!list.Open(Root(), kExtensionAgents)) return 0;
  // The registry keeps value indices dense, so a deletion moves the later
  // values down; the walk restarts after each one so that none is missed.
  // Every restart follows a deletion, so the walk ends.
  unsigned index = 0;
  for (;;) {
    char name[kDataMax];
    char data[kDataMax];
    unsigned name_size = sizeof name;
    unsigned data_size = sizeof data - 1;
    unsigned type = 0;
    int rc = TqkRegEnumValue(list.get(), index, name, &name_size, nullptr, &type, data,
                             &data_size);
    if (rc == TQREG_E_MOREDATA) {  // too long to be an agent path of ours
      ++index;
      continue;
    }
    if (rc != 0) break;
    name[name_size < sizeof name ? name_size : sizeof name - 1] = '\0';
    data[data_size < sizeof data ? data_size : sizeof data - 1] = '\0';
    if (type != TQREG_SZ || !IsFamilyEntry(data)) {
      ++index;
      continue;
    }
    int del = TqkRegDeleteValue(list.get(), name);
    if (del != 0) {
      fprintf(stderr,
              "FAILED to remove Tarquel SNMP extension from registry (name: %s   value: %s "
              "errorCode: %d.\n",
              name, data, del);
      break;
    }
    fputs("Succeeded to remove Tarquel SNMP extension.\n", stderr);
    index = 0;
  }
  return 0;
}

void DeleteVersion(const char *version) {
  if (version == nullptr || *version == '\0') return;
  const char *mrk = TQPROD_GetRegMrkPath();
  if (mrk == nullptr) return;
  char *saved = GetMirrakEffectiveVersion();
  SetMirrakEffectiveVersion(version);
  char versioned[kPathMax];
  BuildVersionedKeyPath(mrk, versioned);
  if (strcmp(versioned, mrk) != 0) TqkRegDeleteKey(Root(), versioned);
  SetMirrakEffectiveVersion(saved);
  free(saved);
}

}  // namespace
}  // namespace tq

extern "C" {

TQAPI int HandleSnmpExtension(void) { return tq::Register(); }

TQAPI int RemoveSnmpExtension(void) { return tq::Unregister(); }

TQAPI void DeleteMirrakVersion(const char *version) { tq::DeleteVersion(version); }

}  // extern "C"
