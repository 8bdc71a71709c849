#pragma once
// Splits one Access SQL statement into tokens. Hand-written for speed: one pass, no
// allocation; every token is a view into the statement text, which must outlive it.
//
// The statement's lexical rules, as Jet reads them:
//   - blanks, tabs and line breaks separate tokens;
//   - a word is a letter, "_" or any non-ASCII character followed by letters, digits,
//     "_" and non-ASCII characters (keywords are words, compared without regard to case);
//   - a name may be quoted between grave accents `like this` or square brackets
//     [like this]; inside, any character but the closing one may appear;
//   - a number is digits with an optional "." and fraction (or "." and digits) and an
//     optional exponent "E" [sign] digits; a sign before it is a token of its own;
//   - a text is enclosed in apostrophes or double quotes; the enclosing character is
//     written twice to stand for itself; any other character, line breaks included,
//     stands for itself;
//   - a date is enclosed in "#" characters;
//   - ( ) , ; + - are tokens of one character.

#include <cstdint>
#include <string_view>

namespace qv::sql {

enum class TokenKind : uint8_t {
  kEnd,         // end of the statement
  kWord,        // keyword or bare name
  kQuotedName,  // `name` or [name]; text is the inside
  kNumber,      // text is the number as written, without sign
  kString,      // text is the inside, still holding doubled quote characters
  kDate,        // #...#; text is the inside
  kLeftParen,
  kRightParen,
  kComma,
  kSemicolon,
  kPlus,
  kMinus,
  kOther,  // any other character; text is that character (one UTF-8 sequence)
};

struct Token {
  TokenKind kind = TokenKind::kEnd;
  char quote = 0;           // kString: the enclosing character; kQuotedName: '`' or '['
  bool hasDoubled = false;  // kString: the inside holds doubled quote characters
  uint32_t offset = 0;      // byte offset of the token's first character in the statement
  std::string_view text;

  // The token as written in the statement (quotes and brackets included).
  std::string_view source(std::string_view statement) const;
};

class Lexer {
 public:
  // Statements longer than 4 GiB are refused by the caller (offsets are 32-bit).
  explicit Lexer(std::string_view statement) : text_(statement) {}

  // The next token. Throws an SQL error for an unterminated text, name or date.
  Token next();
  std::string_view statement() const { return text_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
};

// True when word equals keyword (an upper-case ASCII word) without regard to case.
bool isKeyword(std::string_view word, std::string_view keyword);

}  // namespace qv::sql
