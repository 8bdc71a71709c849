#include "db/paradox/formatted_memo.h"

#include "db/paradox/bytes.h"

namespace qv::paradox {

std::optional<std::string_view> formattedMemoText(std::string_view value) {
  const auto* p = reinterpret_cast<const uint8_t*>(value.data());
  if (value.size() < 8) return std::nullopt;
  const uint32_t sections = getU32(p);
  const uint32_t textSize = getU32(p + 4);
  if (sections < 1 || sections > 64) return std::nullopt;
  const size_t start = 8 + size_t{6} * (sections - 1);
  if (textSize < 1 || start > value.size() || textSize > value.size() - start) return std::nullopt;
  if (p[start + textSize - 1] != 0) return std::nullopt;
  return value.substr(start, textSize - 1);
}

}  // namespace qv::paradox
