#pragma once
// Building a row's INSERT statement: "INSERT INTO `T` VALUES (" + one literal per field
// + ");". Numeric fields are written without quotes (True/False as 1/0, a decimal comma
// as a point); other fields between apostrophes with each apostrophe doubled, and a text
// that reads as a date or time is rewritten as mm/dd/yyyy[ hh:nn:ss]. Null and the empty
// text are written NULL, and so is a date before the year 1, which has no such form.
//
// When a row's first value is Null, the "(" after VALUES is kept (removing the character
// before "NULL" would otherwise take it away and the database would reject the row).

#include <QString>
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
  // Removes the final ", " and appends ");".
  QString finish();

  const QString& statement() const { return statement_; }

 private:
  void appendNull();
  void appendNumeric(QString text);
  void appendText(QString text, bool tableHasNumeric);
  void appendDateTime(const ado::DateTime& dt);

  const LocaleRules& rules_;
  const std::vector<bool>* numeric_ = nullptr;
  bool tableHasNumeric_ = false;
  QString statement_;
};

}  // namespace qv::engine
