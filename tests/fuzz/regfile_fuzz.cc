// .reg files as tqprod import reads them: parse, and write back what parsed.
#include "fuzz_support.h"
#include "reg_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  std::string bytes(reinterpret_cast<const char *>(data), size);
  tqtool::RegFile file;
  std::string error;
  if (tqtool::ParseReg(bytes, file, error)) {
    tqtool::KeyNode tree;
    for (const tqtool::RegOp &op : file.ops)
      if (op.kind == tqtool::RegOp::kValue) tree.values.push_back(op.value);
    tqtool::WriteReg(tree, file.format);
  }
  std::string utf8;
  tqtool::Utf16leToUtf8(bytes, utf8);
  return 0;
}
