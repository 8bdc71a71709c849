#include "db/sql/lexer.h"

#include "db/sql/sql_error.h"

#include <cstring>

namespace qv::sql {
namespace {

constexpr bool isSpace(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}
constexpr bool isDigit(unsigned char c) { return c >= '0' && c <= '9'; }
constexpr bool isWordStart(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c >= 0x80;
}
constexpr bool isWordPart(unsigned char c) { return isWordStart(c) || isDigit(c); }

// Length of the UTF-8 sequence that starts with c (1 for a stray continuation byte).
constexpr size_t sequenceLength(unsigned char c) {
  if (c >= 0xF0) return 4;
  if (c >= 0xE0) return 3;
  if (c >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::string_view Token::source(std::string_view statement) const {
  size_t end = static_cast<size_t>(text.data() - statement.data()) + text.size();
  switch (kind) {
    case TokenKind::kQuotedName:
    case TokenKind::kString:
    case TokenKind::kDate:
      ++end;  // the closing character
      break;
    default: break;
  }
  if (end > statement.size()) end = statement.size();
  return statement.substr(offset, end - offset);
}

bool isKeyword(std::string_view word, std::string_view keyword) {
  if (word.size() != keyword.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(word[i]);
    if (c >= 'a' && c <= 'z') c = static_cast<unsigned char>(c - 'a' + 'A');
    if (c != static_cast<unsigned char>(keyword[i])) return false;
  }
  return true;
}

Token Lexer::next() {
  const size_t n = text_.size();
  const char* s = text_.data();
  while (pos_ < n && isSpace(static_cast<unsigned char>(s[pos_]))) ++pos_;
  Token t;
  t.offset = static_cast<uint32_t>(pos_);
  if (pos_ >= n) {
    t.kind = TokenKind::kEnd;
    t.text = text_.substr(n, 0);
    return t;
  }
  const size_t start = pos_;
  const unsigned char c = static_cast<unsigned char>(s[pos_]);

  if (isWordStart(c)) {
    ++pos_;
    while (pos_ < n && isWordPart(static_cast<unsigned char>(s[pos_]))) ++pos_;
    t.kind = TokenKind::kWord;
    t.text = text_.substr(start, pos_ - start);
    return t;
  }

  if (isDigit(c) || (c == '.' && pos_ + 1 < n && isDigit(static_cast<unsigned char>(s[pos_ + 1])))) {
    while (pos_ < n && isDigit(static_cast<unsigned char>(s[pos_]))) ++pos_;
    if (pos_ < n && s[pos_] == '.') {
      ++pos_;
      while (pos_ < n && isDigit(static_cast<unsigned char>(s[pos_]))) ++pos_;
    }
    if (pos_ < n && (s[pos_] == 'e' || s[pos_] == 'E')) {
      size_t e = pos_ + 1;
      if (e < n && (s[e] == '+' || s[e] == '-')) ++e;
      if (e < n && isDigit(static_cast<unsigned char>(s[e]))) {
        pos_ = e;
        while (pos_ < n && isDigit(static_cast<unsigned char>(s[pos_]))) ++pos_;
      }
    }
    t.kind = TokenKind::kNumber;
    t.text = text_.substr(start, pos_ - start);
    return t;
  }

  switch (c) {
    case '\'':
    case '"': {
      ++pos_;
      // From one quote character to the next (texts may be long: memchr finds them).
      for (;;) {
        const void* hit = pos_ < n ? std::memchr(s + pos_, c, n - pos_) : nullptr;
        if (hit == nullptr) {
          throwSqlError(std::string("Syntax error: the text that begins") + atCharacter(text_, start) +
                        " has no closing " + (c == '\'' ? "apostrophe." : "double quote."));
        }
        pos_ = static_cast<size_t>(static_cast<const char*>(hit) - s);
        if (pos_ + 1 < n && static_cast<unsigned char>(s[pos_ + 1]) == c) {
          t.hasDoubled = true;
          pos_ += 2;
          continue;
        }
        break;
      }
      t.kind = TokenKind::kString;
      t.quote = static_cast<char>(c);
      t.text = text_.substr(start + 1, pos_ - start - 1);
      ++pos_;
      return t;
    }
    case '`':
    case '[':
    case '#': {
      const char close = c == '[' ? ']' : static_cast<char>(c);
      size_t end = text_.find(close, pos_ + 1);
      if (end == std::string_view::npos) {
        const char* what = c == '#' ? "the date that begins" : "the name that begins";
        throwSqlError(std::string("Syntax error: ") + what + atCharacter(text_, start) + " has no closing '" + close +
                      "'.");
      }
      t.kind = c == '#' ? TokenKind::kDate : TokenKind::kQuotedName;
      t.quote = static_cast<char>(c);
      t.text = text_.substr(start + 1, end - start - 1);
      pos_ = end + 1;
      return t;
    }
    case '(': t.kind = TokenKind::kLeftParen; break;
    case ')': t.kind = TokenKind::kRightParen; break;
    case ',': t.kind = TokenKind::kComma; break;
    case ';': t.kind = TokenKind::kSemicolon; break;
    case '+': t.kind = TokenKind::kPlus; break;
    case '-': t.kind = TokenKind::kMinus; break;
    default: {
      t.kind = TokenKind::kOther;
      size_t len = sequenceLength(c);
      if (pos_ + len > n) len = n - pos_;
      t.text = text_.substr(start, len);
      pos_ += len;
      return t;
    }
  }
  t.text = text_.substr(start, 1);
  ++pos_;
  return t;
}

}  // namespace qv::sql
