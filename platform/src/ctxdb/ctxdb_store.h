// Persistent list of the machine's virtual-system contexts.
//
// The list lives in the SQLite file "contexts.db" beside the per-context
// registry files, in $TQ_REGISTRY_DIR (default TQ_REGISTRY_DEFAULT_DIR).
// Context 0, the main system, exists whether or not the file holds a row for
// it; a row for 0 only records its flags and instance count. Every call opens
// the file, does its work in one transaction and closes it again, so several
// processes can administer and read the list at once and a test that changes
// TQ_REGISTRY_DIR sees the new directory at once.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace tq {
namespace platform {
namespace ctxdb {

struct Entry {
  uint32_t id = 0;
  bool bridge = false;
  bool junction = false;
  uint32_t instances6 = 0;
};

// Path of the database file for the current TQ_REGISTRY_DIR.
std::string DatabasePath();

// Every context in ascending id order, 0 always first. False on a database
// failure (a missing file is no failure: only context 0 exists then).
bool LoadAll(std::vector<Entry> *out);
// 1 found (and *out filled), 0 unknown, -1 database failure.
int Lookup(uint32_t id, Entry *out);
// Adds or replaces a row. False on failure.
bool Put(const Entry &e);
// 1 removed, 0 no such row, -1 failure.
int Remove(uint32_t id);

}  // namespace ctxdb
}  // namespace platform
}  // namespace tq
