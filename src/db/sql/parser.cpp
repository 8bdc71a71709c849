#include "db/sql/parser.h"

#include <charconv>
#include <string>

#include "db/sql/column_types.h"
#include "db/sql/lexer.h"
#include "db/sql/sql_error.h"
#include "db/sql/text_utils.h"

namespace qv::sql {
namespace {

// The longest table or column name Jet accepts, in characters.
constexpr size_t kMaxNameLength = 64;

class Parser {
 public:
  Parser(std::string_view sql, Statement& out) : sql_(sql), lexer_(sql), out_(out) { advance(); }

  void run() {
    if (cur_.kind == TokenKind::kWord && isKeyword(cur_.text, "CREATE")) {
      const uint32_t start = cur_.offset;
      advance();
      if (atKeyword("INDEX") || atKeyword("UNIQUE")) {
        context_ = "CREATE INDEX";
        parseCreateIndex(start);
      } else {
        context_ = "CREATE TABLE";
        expectKeyword("TABLE", "or INDEX after CREATE");
        parseCreateTable();
      }
    } else if (cur_.kind == TokenKind::kWord && isKeyword(cur_.text, "DROP")) {
      context_ = "DROP TABLE";
      advance();
      expectKeyword("TABLE", "after DROP");
      out_.kind = Statement::Kind::kDropTable;
      out_.table = parseName("a table name after DROP TABLE");
    } else if (cur_.kind == TokenKind::kWord && isKeyword(cur_.text, "INSERT")) {
      context_ = "INSERT INTO";
      advance();
      expectKeyword("INTO", "after INSERT");
      parseInsert();
    } else {
      if (cur_.kind == TokenKind::kEnd) {
        throwSqlError(
            "Invalid SQL statement: the statement is empty; expected CREATE TABLE, CREATE INDEX, DROP TABLE or INSERT "
            "INTO.");
      }
      throwSqlError("Invalid SQL statement; expected CREATE TABLE, CREATE INDEX, DROP TABLE or INSERT INTO but found " +
                    found());
    }
    finish();
  }

 private:
  void advance() { cur_ = lexer_.next(); }

  // "'token' at character N." or "the end of the statement."
  std::string found() const {
    if (cur_.kind == TokenKind::kEnd) return "the end of the statement" + atCharacter(sql_, cur_.offset) + ".";
    return quoteForMessage(cur_.source(sql_)) + atCharacter(sql_, cur_.offset) + ".";
  }

  [[noreturn]] void fail(std::string_view expected) const {
    throwSqlError("Syntax error in " + std::string(context_) + " statement: expected " + std::string(expected) +
                  " but found " + found());
  }

  void expectKeyword(std::string_view keyword, std::string_view where) {
    if (cur_.kind != TokenKind::kWord || !isKeyword(cur_.text, keyword)) {
      fail(std::string(keyword) + " " + std::string(where));
    }
    advance();
  }

  void expect(TokenKind kind, std::string_view what) {
    if (cur_.kind != kind) fail(what);
    advance();
  }

  bool atKeyword(std::string_view keyword) const {
    return cur_.kind == TokenKind::kWord && isKeyword(cur_.text, keyword);
  }

  Name parseName(std::string_view what) {
    if (cur_.kind != TokenKind::kWord && cur_.kind != TokenKind::kQuotedName) fail(what);
    Name n{cur_.text, cur_.offset};
    advance();
    return n;
  }

  // A name for a new table or column must be one Access can hold.
  void checkNewName(const Name& n, std::string_view what) const {
    std::string where = atCharacter(sql_, n.offset);
    if (n.text.empty()) throwSqlError("The " + std::string(what) + " name" + where + " is empty.");
    size_t characters = 0;
    for (unsigned char c : n.text) {
      if ((c & 0xC0) != 0x80) ++characters;
      if (c < 0x20 || c == '.' || c == '!' || c == '`' || c == '[' || c == ']') {
        throwSqlError("The " + std::string(what) + " name " + quoteForMessage(n.text) + where +
                      " holds a character a name cannot hold (. ! ` [ ] or a control character).");
      }
    }
    if (n.text.front() == ' ') {
      throwSqlError("The " + std::string(what) + " name " + quoteForMessage(n.text) + where + " begins with a blank.");
    }
    if (characters > kMaxNameLength) {
      throwSqlError("The " + std::string(what) + " name " + quoteForMessage(n.text) + where + " is longer than " +
                    std::to_string(kMaxNameLength) + " characters.");
    }
  }

  int parseSize(std::string_view what, int low, int high) {
    if (cur_.kind != TokenKind::kNumber) fail(what);
    int value = 0;
    auto [end, ec] = std::from_chars(cur_.text.data(), cur_.text.data() + cur_.text.size(), value);
    if (ec != std::errc() || end != cur_.text.data() + cur_.text.size() || value < low || value > high) {
      throwSqlError("Syntax error in " + std::string(context_) + " statement: " + std::string(what) + " " +
                    quoteForMessage(cur_.text) + atCharacter(sql_, cur_.offset) + " must be a whole number from " +
                    std::to_string(low) + " to " + std::to_string(high) + ".");
    }
    advance();
    return value;
  }

  void parseCreateTable() {
    out_.kind = Statement::Kind::kCreateTable;
    out_.table = parseName("a table name after CREATE TABLE");
    checkNewName(out_.table, "table");
    expect(TokenKind::kLeftParen, "'(' after the table name");
    for (;;) {
      if (atKeyword("CONSTRAINT") || atKeyword("PRIMARY") || atKeyword("UNIQUE")) parseTableConstraint();
      else parseColumn();
      if (cur_.kind == TokenKind::kComma) {
        advance();
        continue;
      }
      expect(TokenKind::kRightParen, "',' or ')' after a column definition");
      break;
    }
  }

  // [CONSTRAINT name] PRIMARY KEY | UNIQUE; the caller adds the columns.
  IndexClause parseConstraintHead() {
    IndexClause index;
    index.offset = cur_.offset;
    if (atKeyword("CONSTRAINT")) {
      advance();
      index.name = parseName("a constraint name after CONSTRAINT");
      checkNewName(index.name, "constraint");
    }
    if (atKeyword("PRIMARY")) {
      advance();
      expectKeyword("KEY", "after PRIMARY");
      index.primaryKey = true;
    } else if (atKeyword("UNIQUE")) {
      advance();
      index.unique = true;
    } else if (atKeyword("FOREIGN") || atKeyword("REFERENCES") || atKeyword("CHECK")) {
      throwSqlError("Relationships and check constraints are not supported in CREATE TABLE: found " + found());
    } else {
      fail("PRIMARY KEY or UNIQUE");
    }
    return index;
  }

  // ( column [ASC | DESC], ... )
  void parseIndexColumns(IndexClause& index, bool withOrder) {
    expect(TokenKind::kLeftParen, "'(' before the indexed columns");
    for (;;) {
      IndexClause::Column c;
      c.name = parseName("a column name");
      if (withOrder && atKeyword("ASC")) {
        advance();
      } else if (withOrder && atKeyword("DESC")) {
        advance();
        c.ascending = false;
      }
      index.columns.push_back(c);
      if (cur_.kind == TokenKind::kComma) {
        advance();
        continue;
      }
      expect(TokenKind::kRightParen, "',' or ')' after an indexed column");
      break;
    }
  }

  void parseTableConstraint() {
    IndexClause index = parseConstraintHead();
    parseIndexColumns(index, false);
    out_.indexes.push_back(std::move(index));
  }

  // CREATE [UNIQUE] INDEX name ON table (column [ASC|DESC], ...)
  //   [WITH PRIMARY | DISALLOW NULL | IGNORE NULL]
  void parseCreateIndex(uint32_t start) {
    out_.kind = Statement::Kind::kCreateIndex;
    IndexClause index;
    index.offset = start;
    if (atKeyword("UNIQUE")) {
      advance();
      index.unique = true;
    }
    expectKeyword("INDEX", index.unique ? "after CREATE UNIQUE" : "after CREATE");
    index.name = parseName("an index name after CREATE INDEX");
    checkNewName(index.name, "index");
    expectKeyword("ON", "after the index name");
    out_.table = parseName("a table name after ON");
    parseIndexColumns(index, true);
    if (atKeyword("WITH")) {
      advance();
      for (bool first = true;; first = false) {
        if (atKeyword("PRIMARY")) {
          advance();
          index.primaryKey = true;
        } else if (atKeyword("DISALLOW")) {
          advance();
          expectKeyword("NULL", "after DISALLOW");
          index.required = true;
        } else if (atKeyword("IGNORE")) {
          advance();
          expectKeyword("NULL", "after IGNORE");
          index.ignoreNulls = true;
        } else if (first) {
          fail("PRIMARY, DISALLOW NULL or IGNORE NULL after WITH");
        } else {
          break;
        }
      }
    }
    out_.indexes.push_back(std::move(index));
  }

  void parseColumn() {
    ColumnClause parsed;
    Name name = parseName("a column name");
    checkNewName(name, "column");
    for (const auto& c : out_.columns) {
      if (namesEqual(c.def.name, name.text)) {
        throwSqlError("Field " + quoteForMessage(name.text) + " defined more than once" +
                      atCharacter(sql_, name.offset) + ".");
      }
    }
    parsed.offset = name.offset;
    parsed.def.name.assign(name.text);

    if (cur_.kind != TokenKind::kWord) fail("a column type after " + quoteForMessage(name.text));
    const Token typeToken = cur_;
    // Two-word spellings: DOUBLE PRECISION, NATIONAL CHAR[ACTER] [VARYING], CHARACTER VARYING.
    std::string_view typeWord = cur_.text;
    if (isKeyword(typeWord, "NATIONAL")) {
      advance();
      if (!(atKeyword("CHAR") || atKeyword("CHARACTER") || atKeyword("VARCHAR") || atKeyword("TEXT"))) {
        fail("CHAR, CHARACTER, VARCHAR or TEXT after NATIONAL");
      }
      typeWord = cur_.text;
    }
    auto type = lookupColumnType(typeWord);
    if (!type) {
      throwSqlError("Syntax error in CREATE TABLE statement: unknown column type " + quoteForMessage(typeToken.text) +
                    " for column " + quoteForMessage(name.text) + atCharacter(sql_, typeToken.offset) + ".");
    }
    advance();
    if (isKeyword(typeWord, "DOUBLE") && atKeyword("PRECISION")) advance();
    if ((isKeyword(typeWord, "CHARACTER") || isKeyword(typeWord, "CHAR")) && atKeyword("VARYING")) advance();

    jet::ColumnDef& def = parsed.def;
    def.type = type->type;
    def.autoIncrement = type->autoIncrement;
    def.length = type->defaultLength;
    if (cur_.kind == TokenKind::kLeftParen) {
      const uint32_t parenOffset = cur_.offset;
      switch (type->size) {
        case SizeRule::kNone:
          throwSqlError("Syntax error in CREATE TABLE statement: the type " + quoteForMessage(typeToken.text) +
                        " of column " + quoteForMessage(name.text) + " takes no size, but one is given" +
                        atCharacter(sql_, parenOffset) + ".");
        case SizeRule::kLength:
          advance();
          def.length =
              parseSize("the size", 1, def.type == jet::ColumnType::kBinary ? kMaxBinaryLength : kMaxTextLength);
          expect(TokenKind::kRightParen, "')' after the size");
          break;
        case SizeRule::kPrecision:
          advance();
          def.precision = parseSize("the precision", 1, kMaxDecimalPrecision);
          if (cur_.kind == TokenKind::kComma) {
            advance();
            def.scale = parseSize("the scale", 0, def.precision);
          }
          expect(TokenKind::kRightParen, "')' after the precision and scale");
          break;
        case SizeRule::kSeed: {
          // The engine numbers from 1 in steps of 1; other seeds are refused, not ignored.
          advance();
          const bool ok = cur_.kind == TokenKind::kNumber && cur_.text == "1";
          if (ok) advance();
          const bool comma = ok && cur_.kind == TokenKind::kComma;
          if (comma) advance();
          if (!ok || !comma || cur_.kind != TokenKind::kNumber || cur_.text != "1") {
            throwSqlError("AutoNumber column " + quoteForMessage(name.text) +
                          " may only start at 1 and count by 1: found " + found());
          }
          advance();
          expect(TokenKind::kRightParen, "')' after the increment");
          break;
        }
      }
    } else if (type->memoWithoutSize) {
      def.type = jet::ColumnType::kMemo;
    }

    // Column options.
    for (;;) {
      if (atKeyword("NOT")) {
        advance();
        expectKeyword("NULL", "after NOT");
        def.notNull = true;
      } else if (atKeyword("NULL")) {
        advance();
      } else if (atKeyword("WITH")) {
        advance();
        if (!(atKeyword("COMPRESSION") || atKeyword("COMP"))) fail("COMPRESSION after WITH");
        advance();
      } else if (atKeyword("PRIMARY") || atKeyword("UNIQUE") || atKeyword("CONSTRAINT")) {
        // A constraint on this column alone.
        IndexClause index = parseConstraintHead();
        index.columns.push_back({name, true});
        out_.indexes.push_back(std::move(index));
      } else if (atKeyword("REFERENCES") || atKeyword("DEFAULT") || atKeyword("CHECK")) {
        throwSqlError("Relationships, defaults and check constraints are not supported in CREATE TABLE: found " +
                      found());
      } else {
        break;
      }
    }
    out_.columns.push_back(std::move(parsed));
  }

  void parseInsert() {
    out_.kind = Statement::Kind::kInsert;
    out_.table = parseName("a table name after INSERT INTO");
    if (cur_.kind == TokenKind::kLeftParen) {
      out_.hasColumnList = true;
      advance();
      for (;;) {
        out_.insertColumns.push_back(parseName("a column name in the column list"));
        if (cur_.kind == TokenKind::kComma) {
          advance();
          continue;
        }
        expect(TokenKind::kRightParen, "',' or ')' in the column list");
        break;
      }
    }
    if (atKeyword("SELECT")) {
      throwSqlError("INSERT INTO ... SELECT is not supported; expected VALUES but found " + found());
    }
    expectKeyword("VALUES", out_.hasColumnList ? "after the column list" : "after the table name");
    out_.valuesOffset = cur_.offset;
    expect(TokenKind::kLeftParen, "'(' after VALUES");
    for (;;) {
      parseValue();
      if (cur_.kind == TokenKind::kComma) {
        advance();
        continue;
      }
      expect(TokenKind::kRightParen, "',' or ')' after a value");
      break;
    }
  }

  void parseValue() {
    Literal lit;
    lit.offset = cur_.offset;
    switch (cur_.kind) {
      case TokenKind::kPlus:
      case TokenKind::kMinus: {
        bool negative = false;
        while (cur_.kind == TokenKind::kPlus || cur_.kind == TokenKind::kMinus) {
          if (cur_.kind == TokenKind::kMinus) negative = !negative;
          advance();
        }
        if (cur_.kind != TokenKind::kNumber) fail("a number after the sign");
        lit.kind = Literal::Kind::kNumber;
        lit.negative = negative;
        lit.text = cur_.text;
        break;
      }
      case TokenKind::kNumber:
        lit.kind = Literal::Kind::kNumber;
        lit.text = cur_.text;
        break;
      case TokenKind::kString:
        lit.kind = Literal::Kind::kString;
        lit.text = cur_.text;
        lit.quote = cur_.quote;
        lit.hasDoubled = cur_.hasDoubled;
        break;
      case TokenKind::kDate:
        lit.kind = Literal::Kind::kDate;
        lit.text = cur_.text;
        break;
      case TokenKind::kWord:
        if (isKeyword(cur_.text, "NULL")) {
          lit.kind = Literal::Kind::kNull;
        } else if (isKeyword(cur_.text, "TRUE") || isKeyword(cur_.text, "YES") || isKeyword(cur_.text, "ON")) {
          lit.kind = Literal::Kind::kBoolean;
          lit.booleanValue = true;
        } else if (isKeyword(cur_.text, "FALSE") || isKeyword(cur_.text, "NO") || isKeyword(cur_.text, "OFF")) {
          lit.kind = Literal::Kind::kBoolean;
        } else {
          throwSqlError("Syntax error in INSERT INTO statement: " + quoteForMessage(cur_.text) +
                        atCharacter(sql_, cur_.offset) + " is not a value (a text goes between apostrophes).");
        }
        break;
      default: fail("a value (NULL, a number, 'text' or #date#)");
    }
    lit.text = lit.kind == Literal::Kind::kNull || lit.kind == Literal::Kind::kBoolean ? std::string_view() : lit.text;
    out_.values.push_back(lit);
    advance();
  }

  void finish() {
    if (cur_.kind == TokenKind::kSemicolon) {
      advance();
      if (cur_.kind != TokenKind::kEnd) {
        throwSqlError("Characters found after end of SQL statement. Found " + found());
      }
      return;
    }
    if (cur_.kind != TokenKind::kEnd) fail("the end of the statement");
  }

  std::string_view sql_;
  Lexer lexer_;
  Statement& out_;
  Token cur_;
  std::string_view context_ = "SQL";
};

}  // namespace

void parseStatement(std::string_view sql, Statement& out) {
  out.clear();
  if (sql.size() > 0xFFFFFFF0u) throwSqlError("The statement is too long.");
  Parser(sql, out).run();
}

}  // namespace qv::sql
