#include "engine/row_literal.h"

#include <algorithm>

namespace qv::engine {

void InsertBuilder::begin(const QString& table, const std::vector<bool>* numeric) {
  numeric_ = numeric;
  tableHasNumeric_ = numeric && std::find(numeric->begin(), numeric->end(), true) != numeric->end();
  if (statement_.isDetached()) {
    statement_.clear();
  } else {
    // The last statement went out with finish() and is still held there: a new buffer,
    // large enough from the start for a row like the last one.
    const qsizetype last = statement_.size();
    statement_ = QString();
    statement_.reserve(last + last / 4 + 32);
  }
  statement_ += QStringLiteral("INSERT INTO `");
  statement_ += table;
  statement_ += QStringLiteral("` VALUES (");
}

void InsertBuilder::appendNull() {
  if (!statement_.endsWith(u'(')) statement_.chop(1);
  statement_ += QStringLiteral("NULL, ");
}

void InsertBuilder::appendNumeric(QString text) {
  if (text.isEmpty()) return appendNull();
  if (text == QLatin1String("False")) {
    statement_ += QStringLiteral("0, ");
  } else if (text == QLatin1String("True")) {
    statement_ += QStringLiteral("1, ");
  } else {
    if (rules_.readsAsNumber(text)) text.replace(u',', u'.');
    statement_ += text;
    statement_ += QStringLiteral(", ");
  }
}

void InsertBuilder::appendText(QString text, bool tableHasNumeric) {
  if (text.isEmpty()) return appendNull();
  text.replace(u'\'', QStringLiteral("''"));
  if (!tableHasNumeric && rules_.readsAsNumber(text)) text.replace(u',', u'.');
  if (auto dt = rules_.readsAsDateTime(text)) {
    statement_ += u'\'';
    if (text.contains(u':')) {
      statement_ += formatUsDateTime(dt->year, dt->month, dt->day, dt->hour, dt->minute, dt->second);
    } else {
      statement_ += formatUsDate(dt->year, dt->month, dt->day);
    }
    statement_ += QStringLiteral("', ");
    return;
  }
  statement_ += u'\'';
  statement_ += text;
  statement_ += QStringLiteral("', ");
}

void InsertBuilder::appendDateTime(const ado::DateTime& dt) {
  // The value text of a date always reads back as that date, so the literal can be made
  // from the value itself (the same result without parsing the text again).
  QTime t = dt.time.isValid() ? dt.time : QTime(0, 0);
  bool midnight = t.hour() == 0 && t.minute() == 0 && t.second() == 0;
  bool timeAlone = !dt.date.isValid() || dt.date == ado::Value::epochDate();
  QDate d = timeAlone ? ado::Value::epochDate() : dt.date;
  // A date before the year 1 has no mm/dd/yyyy form (nor does the database hold one).
  if (d.year() < 1) return appendNull();
  statement_ += u'\'';
  if (timeAlone || !midnight) {
    statement_ += formatUsDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second());
  } else {
    statement_ += formatUsDate(d.year(), d.month(), d.day());
  }
  statement_ += QStringLiteral("', ");
}

void InsertBuilder::appendValue(int k, const ado::Value& value) {
  bool numeric = tableHasNumeric_ && k >= 0 && static_cast<size_t>(k) < numeric_->size() && (*numeric_)[static_cast<size_t>(k)];
  if (numeric) return appendNumeric(rules_.valueText(value));
  if (value.kind() == ado::Value::Kind::DateTime) return appendDateTime(value.asDateTime());
  appendText(rules_.valueText(value), tableHasNumeric_);
}

QString InsertBuilder::finish() {
  statement_.chop(2);
  statement_ += QStringLiteral(");");
  return statement_;
}

}  // namespace qv::engine
