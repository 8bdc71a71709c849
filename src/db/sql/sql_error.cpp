#include "db/sql/sql_error.h"

namespace qv::sql {

void throwSqlError(std::string_view message) {
  std::string description;
  description.reserve(kSqlErrorPrefix.size() + message.size());
  description.append(kSqlErrorPrefix).append(message);
  throw DbError(kErrSql, description);
}

std::string atCharacter(std::string_view statement, size_t byteOffset) {
  if (byteOffset > statement.size()) byteOffset = statement.size();
  size_t characters = 0;
  for (size_t i = 0; i < byteOffset; ++i) {
    // Count every byte that does not continue a UTF-8 sequence.
    if ((static_cast<unsigned char>(statement[i]) & 0xC0) != 0x80) ++characters;
  }
  return " at character " + std::to_string(characters + 1);
}

std::string quoteForMessage(std::string_view text) {
  constexpr size_t kMaxCharacters = 40;
  std::string out = "'";
  size_t characters = 0;
  size_t i = 0;
  for (; i < text.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c & 0xC0) != 0x80) {
      if (characters == kMaxCharacters) break;
      ++characters;
    }
    out.push_back(c == '\r' || c == '\n' || c == '\t' ? ' ' : static_cast<char>(c));
  }
  if (i < text.size()) out += "...";
  out += "'";
  return out;
}

}  // namespace qv::sql
