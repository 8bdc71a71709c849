#pragma once
// Building a row's INSERT statement: "INSERT INTO `T` VALUES (" + one literal per field
// + ");". Numeric fields are written without quotes (True/False as 1/0, a decimal comma
// as a point); other fields between apostrophes with each apostrophe doubled, and a text
// that reads as a date or time is rewritten as mm/dd/yyyy[ hh:nn:ss]. Null and the empty
// text are written NULL, and so is a date before the year 1, which has no such form.
//
// When a row's first value is Null, the "(" after VALUES is kept (removing the character
// before "NULL" would otherwise take it away and the database would reject the row).
//
// The statement is built in UTF-8, the form texts arrive in from the Paradox reader and
// the form the SQL front end reads: a text goes into it in one copy (its apostrophes
// doubled on the way). Only a text that may read as a number or a date, and values that
// are not texts, take the detour through the locale's rules on QString.

#include <QString>
#include <string>
#include <string_view>
#include <vector>

#include "db/ado/value.h"
#include "engine/value_text.h"

namespace qv::engine {

class InsertBuilder {
 public:
  explicit InsertBuilder(const LocaleRules& rules) : rules_(rules) {}

  // Starts a row of the table. numeric: the numeric flags by field index (from the
  // CREATE TABLE step); a table without any numeric field takes the text path of its own.
  void begin(const QString& table, const std::vector<bool>* numeric);
  // Appends the literal of field k's value.
  void appendValue(int k, const ado::Value& value);
  // Removes the final ", " and appends ");". The statement (UTF-8) stays valid until
  // the next begin().
  std::string_view finish();

  std::string_view statement() const { return statement_; }

 private:
  void appendNull();
  void appendNumeric(const ado::Value& value);
  void appendNumericText(QString text);
  void appendText(QString text);
  void appendUtf8Text(std::string_view text);
  void appendDateTime(const ado::DateTime& dt);
  // True when a text may read as a number or a date (the locale's rules must see it).
  bool mayReadAsNumberOrDate(std::string_view text) const;

  const LocaleRules& rules_;
  const std::vector<bool>* numeric_ = nullptr;
  bool tableHasNumeric_ = false;
  QString table_;
  std::string prefix_;  // "INSERT INTO `T` VALUES (" of table_
  std::string statement_;
};

// Appends text to out with every apostrophe doubled, copying the runs between them whole.
void appendDoublingApostrophes(std::string_view text, std::string& out);

}  // namespace qv::engine
