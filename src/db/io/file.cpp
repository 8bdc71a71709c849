#include "db/io/env.h"

#include <vector>

namespace qv::io {

void File::writeGatherAt(uint64_t offset, std::span<const std::span<const uint8_t>> parts) {
  std::vector<uint8_t> joined;
  for (const auto& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  writeAt(offset, joined.data(), joined.size());
}

}  // namespace qv::io
