#include "engine/value_text.h"

#include <cmath>

namespace qv::engine {
namespace {

bool isBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

QStringView trimBlanks(QStringView s) {
  qsizetype a = 0, b = s.size();
  while (a < b && isBlank(s[a])) ++a;
  while (b > a && isBlank(s[b - 1])) --b;
  return s.mid(a, b - a);
}

// Reads up to maxDigits digits at pos; returns the number of digits read.
int readNumber(QStringView s, qsizetype& pos, int maxDigits, int* value) {
  int n = 0, v = 0;
  while (pos < s.size() && isDigit(s[pos]) && n < maxDigits) {
    v = v * 10 + (s[pos].unicode() - u'0');
    ++pos;
    ++n;
  }
  if (pos < s.size() && isDigit(s[pos])) return 0;  // too many digits
  *value = v;
  return n;
}

// Appends v with at least width digits, zeros in front (a negative number as QString::number
// writes it, padded the same way). Dates and times are written for every row, so this
// avoids the temporary strings of QString::number(v).rightJustified(width, u'0').
void appendPadded(QString& out, int v, int width) {
  if (v < 0) {
    out += QString::number(v).rightJustified(width, u'0');
    return;
  }
  char16_t digits[12];
  int n = 0;
  do {
    digits[n++] = static_cast<char16_t>(u'0' + v % 10);
    v /= 10;
  } while (v != 0);
  for (int i = n; i < width; ++i) out += u'0';
  while (n > 0) out += QChar(digits[--n]);
}

QString twoDigits(int v) {
  QString s;
  appendPadded(s, v, 2);
  return s;
}

QString shortestDouble(double d) {
  double a = std::fabs(d);
  if (a != 0 && (a >= 1e15 || a < 1e-5)) return QString::number(d, 'E', QLocale::FloatingPointShortest);
  return QString::number(d, 'f', QLocale::FloatingPointShortest);
}

}  // namespace

LocaleRules::LocaleRules(const QLocale& locale) : locale_(locale) {
  QString dp = locale.decimalPoint();
  decimal_ = dp.isEmpty() ? QChar(u'.') : dp.front();
  QString f = locale.dateFormat(QLocale::ShortFormat);
  if (f.contains(QStringLiteral("MMM"))) {
    f = QStringLiteral("yyyy-MM-dd");
  } else if (!f.contains(QStringLiteral("yyyy"))) {
    f.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
  }
  dateFormat_ = f;
  qsizetype d = f.indexOf(u'd'), m = f.indexOf(u'M'), y = f.indexOf(u'y');
  if (d >= 0 && m >= 0 && y >= 0) {
    dayPos_ = (d > m) + (d > y);
    monthPos_ = (m > d) + (m > y);
    yearPos_ = (y > d) + (y > m);
  }
  am_ = locale.amText();
  pm_ = locale.pmText();
}

QString LocaleRules::valueText(const ado::Value& value) const {
  using K = ado::Value::Kind;
  switch (value.kind()) {
    case K::Null: return QString();
    case K::Boolean: return value.asBool() ? QStringLiteral("True") : QStringLiteral("False");
    case K::Integer: return QString::number(value.asInteger());
    case K::Double: {
      double d = value.asDouble();
      if (!std::isfinite(d)) return QString();
      QString t = shortestDouble(d);
      if (decimal_ != u'.') t.replace(u'.', decimal_);
      return t;
    }
    case K::Decimal: {
      QString t = value.asDecimal().text;
      if (decimal_ != u'.') t.replace(u'.', decimal_);
      return t;
    }
    case K::Text: return value.asText();
    case K::DateTime: {
      const auto& dt = value.asDateTime();
      QTime t = dt.time.isValid() ? dt.time : QTime(0, 0);
      QString time = twoDigits(t.hour()) + u':' + twoDigits(t.minute()) + u':' + twoDigits(t.second());
      bool midnight = t.hour() == 0 && t.minute() == 0 && t.second() == 0;
      if (!dt.date.isValid() || dt.date == ado::Value::epochDate()) return time;
      QString date = locale_.toString(dt.date, dateFormat_);
      return midnight ? date : date + u' ' + time;
    }
    case K::Bytes: return QStringLiteral("0x") + QString::fromLatin1(value.asBytes().toHex());
  }
  return QString();
}

bool LocaleRules::readsAsNumber(QStringView text) const {
  QStringView s = trimBlanks(text);
  qsizetype i = 0, n = s.size();
  if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
  qsizetype digits = 0;
  while (i < n && isDigit(s[i])) ++i, ++digits;
  if (i < n && s[i] == decimal_) {
    ++i;
    while (i < n && isDigit(s[i])) ++i, ++digits;
  }
  if (digits == 0) return false;
  if (i < n && (s[i] == u'e' || s[i] == u'E')) {
    ++i;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) ++i;
    qsizetype exp = 0;
    while (i < n && isDigit(s[i])) ++i, ++exp;
    if (exp == 0) return false;
  }
  return i == n;
}

std::optional<LocaleRules::DateTimeParts> LocaleRules::readsAsDateTime(QStringView text) const {
  QStringView s = trimBlanks(text);
  if (s.isEmpty() || !isDigit(s[0])) return std::nullopt;
  DateTimeParts out;
  qsizetype pos = 0;

  auto readTime = [&](qsizetype from) -> bool {
    qsizetype p = from;
    int h = 0, m = 0, sec = 0;
    if (readNumber(s, p, 2, &h) == 0 || p >= s.size() || s[p] != u':') return false;
    ++p;
    if (readNumber(s, p, 2, &m) == 0) return false;
    if (p < s.size() && s[p] == u':') {
      ++p;
      if (readNumber(s, p, 2, &sec) == 0) return false;
    }
    while (p < s.size() && isBlank(s[p])) ++p;
    QStringView rest = s.mid(p);
    if (!rest.isEmpty()) {
      bool isAm = rest.compare(QLatin1String("AM"), Qt::CaseInsensitive) == 0 ||
                  rest.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0 ||
                  (!am_.isEmpty() && rest.compare(am_, Qt::CaseInsensitive) == 0);
      bool isPm = rest.compare(QLatin1String("PM"), Qt::CaseInsensitive) == 0 ||
                  rest.compare(QLatin1String("P"), Qt::CaseInsensitive) == 0 ||
                  (!pm_.isEmpty() && rest.compare(pm_, Qt::CaseInsensitive) == 0);
      if (!isAm && !isPm) return false;
      if (h < 1 || h > 12) return false;
      if (isAm && h == 12) h = 0;
      if (isPm && h != 12) h += 12;
    }
    if (h > 23 || m > 59 || sec > 59) return false;
    out.hour = h;
    out.minute = m;
    out.second = sec;
    out.hasTime = true;
    return true;
  };

  // A time alone.
  if (readTime(0)) return out;

  // A date: three numbers with separators between them, then optionally a time.
  int num[3] = {0, 0, 0};
  int len[3] = {0, 0, 0};
  for (int k = 0; k < 3; ++k) {
    len[k] = readNumber(s, pos, 4, &num[k]);
    if (len[k] == 0) return std::nullopt;
    if (k == 2) break;
    qsizetype sepStart = pos;
    QChar sep;
    while (pos < s.size() && (s[pos] == u'/' || s[pos] == u'-' || s[pos] == u'.' || isBlank(s[pos]))) {
      if (!isBlank(s[pos])) {
        if (!sep.isNull() && s[pos] != sep) return std::nullopt;
        sep = s[pos];
      }
      ++pos;
    }
    if (pos == sepStart || pos - sepStart > 2) return std::nullopt;
  }
  if (pos < s.size() && s[pos] == u'.') ++pos;  // "2021. 03. 01." forms end with a point
  int y, mo, d;
  if (len[0] == 4) {
    y = num[0], mo = num[1], d = num[2];
  } else {
    y = num[yearPos_], mo = num[monthPos_], d = num[dayPos_];
    if (len[dayPos_] > 2 || len[monthPos_] > 2) return std::nullopt;
    if (len[yearPos_] <= 2) y += y < 30 ? 2000 : 1900;
  }
  if (!QDate::isValid(y, mo, d)) return std::nullopt;
  out.year = y;
  out.month = mo;
  out.day = d;
  out.hasDate = true;
  if (pos == s.size()) return out;
  if (!isBlank(s[pos])) return std::nullopt;
  while (pos < s.size() && isBlank(s[pos])) ++pos;
  if (!readTime(pos)) return std::nullopt;
  return out;
}

QString formatUsDate(int year, int month, int day) {
  QString s;
  s.reserve(19);
  appendPadded(s, month, 2);
  s += u'/';
  appendPadded(s, day, 2);
  s += u'/';
  appendPadded(s, year, 4);
  return s;
}

QString formatUsDateTime(int year, int month, int day, int hour, int minute, int second) {
  QString s = formatUsDate(year, month, day);
  s += u' ';
  appendPadded(s, hour, 2);
  s += u':';
  appendPadded(s, minute, 2);
  s += u':';
  appendPadded(s, second, 2);
  return s;
}

namespace {

// Writes the last `width` decimal digits of v (not negative) at p.
void putDigits(char* p, int v, int width) {
  for (int i = width - 1; i >= 0; --i) {
    p[i] = static_cast<char>('0' + v % 10);
    v /= 10;
  }
}

}  // namespace

void appendUsDate(std::string& out, int year, int month, int day) {
  if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99) {
    out += formatUsDate(year, month, day).toStdString();
    return;
  }
  char text[10] = {0, 0, '/', 0, 0, '/', 0, 0, 0, 0};
  putDigits(text, month, 2);
  putDigits(text + 3, day, 2);
  putDigits(text + 6, year, 4);
  out.append(text, sizeof text);
}

void appendUsDateTime(std::string& out, int year, int month, int day, int hour, int minute, int second) {
  if (hour < 0 || hour > 99 || minute < 0 || minute > 99 || second < 0 || second > 99) {
    out += formatUsDateTime(year, month, day, hour, minute, second).toStdString();
    return;
  }
  appendUsDate(out, year, month, day);
  char text[9] = {' ', 0, 0, ':', 0, 0, ':', 0, 0};
  putDigits(text + 1, hour, 2);
  putDigits(text + 4, minute, 2);
  putDigits(text + 7, second, 2);
  out.append(text, sizeof text);
}

}  // namespace qv::engine
