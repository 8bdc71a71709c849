#include "engine/column_mapping.h"

#include "engine/ado_type_name.h"

namespace qv::engine {

const std::vector<TypeRule>& typeRules() {
  static const std::vector<TypeRule> rules{
      {"char", "] TEXT,", "char", "TEXT", false},
      {"decimal", "] DECIMAL,", "decimal", "DECIMAL", true},
      {"single", "] FLOAT,", "single", "FLOAT", true},
      {"int", "] INT,", "int", "INT", true},
      {"adlongvarbinary", "] BLOB,", "adlongvarbinary", "BLOB", false},
      {"numeric", "] FLOAT,", "numeric", "FLOAT", true},
      {"date", "] TEXT,", "date", "TEXT", false},
      {"timestamp", "] TEXT,", "timestamp", "TEXT", false},
      {"double", "] FLOAT,", "double", "FLOAT", true},
  };
  return rules;
}

const TypeRule& fallbackRule() {
  static const TypeRule rule{"", "] TEXT,", "OTHER TYPES", "TEXT", false};
  return rule;
}

const TypeRule& ruleForType(int typeCode) {
  // The code is taken as a 16-bit signed integer before the lookup.
  const QString name = AdoTypeName(static_cast<int16_t>(typeCode)).toLower();
  if (name.isEmpty()) return fallbackRule();
  for (const auto& rule : typeRules()) {
    if (name.contains(QLatin1String(rule.keyword))) return rule;
  }
  return fallbackRule();
}

void CreateTableBuilder::begin(const QString& table) {
  table_ = table;
  statement_ = QStringLiteral("CREATE TABLE `") + table + QStringLiteral("` (");
  numericFieldList_.clear();
  numeric_.clear();
}

DatatypeRow CreateTableBuilder::addField(int index, const QString& fieldName, int typeCode) {
  const TypeRule& rule = ruleForType(typeCode);
  statement_ += u'[' + fieldName + QLatin1String(rule.columnText);
  if (index >= 0) {
    if (numeric_.size() <= static_cast<size_t>(index)) numeric_.resize(static_cast<size_t>(index) + 1, false);
    if (rule.numeric) {
      numeric_[static_cast<size_t>(index)] = true;
      numericFieldList_ += QString::number(index) + QStringLiteral(", ");
    }
  }
  return DatatypeRow{table_, fieldName, QLatin1String(rule.paradoxWord), QLatin1String(rule.accessWord)};
}

QString CreateTableBuilder::finish() {
  // Blanks only, as the statement is plain text built by concatenation.
  qsizetype first = 0, last = statement_.size();
  while (first < last && statement_[first] == u' ') ++first;
  while (last > first && statement_[last - 1] == u' ') --last;
  statement_ = statement_.mid(first, last - first);
  statement_.chop(1);
  statement_ += QStringLiteral(");");
  return statement_;
}

}  // namespace qv::engine
