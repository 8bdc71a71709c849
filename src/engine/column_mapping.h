#pragma once
// Building a table's CREATE TABLE statement: one column per field, its Access type chosen
// by the first rule whose keyword occurs in the field's ADO type name (lower case). The
// same step records the field in the datatype conversion record and notes which fields
// became numeric (their values are written without quotes).

#include <QString>
#include <vector>

namespace qv::engine {

struct TypeRule {
  const char* keyword;      // searched in the lower-case type name
  const char* columnText;   // appended after "[" + field name
  const char* paradoxWord;  // column 3 of the record
  const char* accessWord;   // column 4 of the record
  bool numeric;
};

// The rules in the order they are tried, and the one used when none matches.
const std::vector<TypeRule>& typeRules();
const TypeRule& fallbackRule();

// The rule for an ADO type code.
const TypeRule& ruleForType(int typeCode);

// One row of the datatype conversion record.
struct DatatypeRow {
  QString table;
  QString field;
  QString paradoxType;
  QString accessType;
  bool operator==(const DatatypeRow&) const = default;
};

// The statement under construction. begin(), then addField() per field (each one a
// numbered step of the run), then finish().
class CreateTableBuilder {
 public:
  // "CREATE TABLE `" + table + "` ("; empties the numeric field list.
  void begin(const QString& table);
  // Appends the field's column, returns the record row, and notes the field index when
  // its column is numeric.
  DatatypeRow addField(int index, const QString& fieldName, int typeCode);
  // Trims blanks, drops the last character (the comma after the last column), appends ");".
  QString finish();

  const QString& statement() const { return statement_; }
  // "0, 2, " for fields 0 and 2.
  const QString& numericFieldList() const { return numericFieldList_; }
  // The numeric flags by field index (what the row copying reads).
  const std::vector<bool>& numericFields() const { return numeric_; }

 private:
  QString table_;
  QString statement_;
  QString numericFieldList_;
  std::vector<bool> numeric_;
};

}  // namespace qv::engine
