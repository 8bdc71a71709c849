#pragma once
// The text of a Formatted memo. Its value (in the .mb file, like any blob) is a small
// document of sections, all numbers little-endian:
//   u32 section count n     u32 size of the text section, its closing zero byte included
//   (n - 1) x (u16 section kind, u32 section size)   the other sections (formatting runs,
//                                                     fonts such as "Arial", ...)
//   the text, in the table's character set, then the other sections in that order.
// Only the text is taken; the formatting stays behind.

#include <optional>
#include <string>
#include <string_view>

namespace qv::paradox {

// The text bytes of a Formatted memo's value; nothing when the value is not laid out so.
std::optional<std::string_view> formattedMemoText(std::string_view value);

}  // namespace qv::paradox
