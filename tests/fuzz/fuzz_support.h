// Shared set-up of the fuzz targets: a private scratch directory that is the
// registry directory and the system root, and a way to hand an input to code
// that reads a file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace tqfuzz {

// The scratch directory (created on first use, with TQ_REGISTRY_DIR,
// TQ_SYSROOT and TQ_REGISTRY_SYNC=normal pointing at it).
const std::string &Scratch();
// Writes the input to path (parent directories created).
void WriteInput(const std::string &path, const uint8_t *data, size_t size);

}  // namespace tqfuzz
