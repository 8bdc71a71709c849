#include "engine/row_literal.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "db/io/text_scan.h"

namespace qv::engine {
namespace {

void appendQString(std::string& out, const QString& s) {
  const QByteArray utf8 = s.toUtf8();
  out.append(utf8.constData(), static_cast<size_t>(utf8.size()));
}

void appendDecimal(std::string& out, int64_t v) {
  char buffer[24];
  const auto r = std::to_chars(buffer, buffer + sizeof buffer, v);
  out.append(buffer, r.ptr);
}

// The shortest plain text of a double with at most four decimals and a magnitude under
// 10^9 (prices, measures, counts), or false for std::to_chars to write. The decimal
// m / 10^k reads back as a exactly when the division, correctly rounded as every IEEE
// division is, gives a; tried from k = 0 up, the first k that does has the fewest
// digits. Under 10^9 a double's spacing is far below 10^-4, so no other m of the same
// k reads back as a, and a * 10^k is near enough to m that rounding it finds m.
bool appendShortDecimal(std::string& out, double d) {
  static constexpr double kScale[] = {1, 10, 100, 1000, 10000};
  const double a = std::fabs(d);
  if (!(a < 1e9)) return false;
  for (int k = 0; k < 5; ++k) {
    const double m = std::nearbyint(a * kScale[k]);
    if (m / kScale[k] != a) continue;
    const auto digits = static_cast<uint64_t>(m);
    const auto scale = static_cast<uint64_t>(kScale[k]);
    if (d < 0) out += '-';
    appendDecimal(out, static_cast<int64_t>(digits / scale));
    if (k > 0) {
      out += '.';
      uint64_t fraction = digits % scale;
      char decimals[4];
      for (int i = k; i-- > 0; fraction /= 10) decimals[i] = static_cast<char>('0' + fraction % 10);
      out.append(decimals, static_cast<size_t>(k));
    }
    return true;
  }
  return false;
}

}  // namespace

void appendDoublingApostrophes(std::string_view text, std::string& out) {
  const size_t base = out.size();
  out.resize(base + 2 * text.size());
  out.resize(base + io::copyDoublingQuotes(text.data(), text.size(), '\'', out.data() + base));
}

void InsertBuilder::begin(const QString& table, const std::vector<bool>* numeric) {
  numeric_ = numeric;
  tableHasNumeric_ = numeric && std::find(numeric->begin(), numeric->end(), true) != numeric->end();
  if (prefix_.empty() || table != table_) {
    table_ = table;
    prefix_ = "INSERT INTO `";
    appendQString(prefix_, table);
    prefix_ += "` VALUES (";
  }
  statement_.assign(prefix_);
}

void InsertBuilder::appendNull() {
  if (statement_.back() != '(') statement_.pop_back();
  statement_ += "NULL, ";
}

void InsertBuilder::appendNumeric(const ado::Value& value) {
  using K = ado::Value::Kind;
  switch (value.kind()) {
    case K::Integer:
      appendDecimal(statement_, value.asInteger());
      statement_ += ", ";
      return;
    case K::Boolean: statement_ += value.asBool() ? "1, " : "0, "; return;
    case K::Double: {
      // The value text in plain notation reads as a number, and its separator then
      // becomes a point: written at once, as std::to_chars gives the same shortest digits.
      const double d = value.asDouble();
      const double a = std::fabs(d);
      const QChar sep = rules_.decimalSeparator();
      if (d != 0 && a < 1e15 && a >= 1e-5 && (sep == u'.' || sep == u',')) {
        if (appendShortDecimal(statement_, d)) {
          statement_ += ", ";
          return;
        }
        char buffer[64];
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, d, std::chars_format::fixed);
        statement_.append(buffer, r.ptr);
        statement_ += ", ";
        return;
      }
      break;
    }
    default: break;
  }
  appendNumericText(rules_.valueText(value));
}

void InsertBuilder::appendNumericText(QString text) {
  if (text.isEmpty()) return appendNull();
  if (text == QLatin1String("False")) {
    statement_ += "0, ";
  } else if (text == QLatin1String("True")) {
    statement_ += "1, ";
  } else {
    if (rules_.readsAsNumber(text)) text.replace(u',', u'.');
    appendQString(statement_, text);
    statement_ += ", ";
  }
}

bool InsertBuilder::mayReadAsNumberOrDate(std::string_view text) const {
  // Both tests skip leading blanks; a number then starts with a sign, a digit or the
  // decimal separator, a date or time with a digit.
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  if (i == text.size()) return false;
  const auto c = static_cast<unsigned char>(text[i]);
  if ((c >= '0' && c <= '9') || c == '+' || c == '-') return true;
  const char16_t sep = rules_.decimalSeparator().unicode();
  return sep < 0x80 ? c == sep : c >= 0x80;
}

void InsertBuilder::appendUtf8Text(std::string_view text) {
  if (text.empty()) return appendNull();
  if (mayReadAsNumberOrDate(text))
    return appendText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  statement_ += '\'';
  appendDoublingApostrophes(text, statement_);
  statement_ += "', ";
}

void InsertBuilder::appendText(QString text) {
  if (text.isEmpty()) return appendNull();
  text.replace(u'\'', QStringLiteral("''"));
  if (!tableHasNumeric_ && rules_.readsAsNumber(text)) text.replace(u',', u'.');
  if (auto dt = rules_.readsAsDateTime(text)) {
    statement_ += '\'';
    if (text.contains(u':')) {
      appendQString(statement_, formatUsDateTime(dt->year, dt->month, dt->day, dt->hour, dt->minute, dt->second));
    } else {
      appendQString(statement_, formatUsDate(dt->year, dt->month, dt->day));
    }
    statement_ += "', ";
    return;
  }
  statement_ += '\'';
  appendQString(statement_, text);
  statement_ += "', ";
}

void InsertBuilder::appendDateTime(const ado::DateTime& dt) {
  // The value text of a date always reads back as that date, so the literal can be made
  // from the value itself (the same result without parsing the text again).
  QTime t = dt.time.isValid() ? dt.time : QTime(0, 0);
  bool midnight = t.hour() == 0 && t.minute() == 0 && t.second() == 0;
  bool timeAlone = !dt.date.isValid() || dt.date == ado::Value::epochDate();
  QDate d = timeAlone ? ado::Value::epochDate() : dt.date;
  int year = 0, month = 0, day = 0;
  d.getDate(&year, &month, &day);  // one calendar conversion for all three
  // A date before the year 1 has no mm/dd/yyyy form (nor does the database hold one).
  if (year < 1) return appendNull();
  statement_ += '\'';
  if (timeAlone || !midnight) {
    appendUsDateTime(statement_, year, month, day, t.hour(), t.minute(), t.second());
  } else {
    appendUsDate(statement_, year, month, day);
  }
  statement_ += "', ";
}

void InsertBuilder::appendValue(int k, const ado::Value& value) {
  bool numeric =
      tableHasNumeric_ && k >= 0 && static_cast<size_t>(k) < numeric_->size() && (*numeric_)[static_cast<size_t>(k)];
  if (numeric) return appendNumeric(value);
  switch (value.kind()) {
    case ado::Value::Kind::DateTime: return appendDateTime(value.asDateTime());
    case ado::Value::Kind::Text: return appendUtf8Text(value.asUtf8());
    case ado::Value::Kind::Bytes: {
      // "0x" and hex digits: never a number or a date, and no apostrophe to double.
      const QByteArray hex = value.asBytes().toHex();
      statement_ += "'0x";
      statement_.append(hex.constData(), static_cast<size_t>(hex.size()));
      statement_ += "', ";
      return;
    }
    default: return appendText(rules_.valueText(value));
  }
}

std::string_view InsertBuilder::finish() {
  statement_.resize(statement_.size() - std::min<size_t>(2, statement_.size()));
  statement_ += ");";
  return statement_;
}

}  // namespace qv::engine
