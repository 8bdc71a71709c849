#include "engine/typed_columns.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>

#include "db/paradox/formatted_memo.h"
#include "db/sql/literal_conversion.h"
#include "db/sql/statement.h"

namespace qv::engine {
namespace {

using paradox::FieldType;
using Kind = sql::Literal::Kind;

constexpr int kMaxDecimalDigits = 28;   // Access's Decimal
constexpr int kDemotedTextLength = 40;  // holds any BCD, date or time as text
constexpr double kCurrencyLimit = 922337203685477.5807;

// A literal before it is written: what the statement holds and what the front end reads.
struct Form {
  Kind kind = Kind::kNull;
  bool negative = false;
  bool truth = false;
  std::string body;  // digits, the text (quotes not doubled), or the date without #
};

void appendTwo(std::string& out, unsigned v) {
  out.push_back(static_cast<char>('0' + v / 10 % 10));
  out.push_back(static_cast<char>('0' + v % 10));
}

void appendDate(std::string& out, int64_t dayNumber) {
  const paradox::CivilDate d = paradox::civilFromDayNumber(dayNumber);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-", d.year);
  out += buffer;
  appendTwo(out, d.month);
  out.push_back('-');
  appendTwo(out, d.day);
}

void appendTime(std::string& out, int64_t ms) {
  appendTwo(out, static_cast<unsigned>(ms / 3'600'000));
  out.push_back(':');
  appendTwo(out, static_cast<unsigned>(ms / 60'000 % 60));
  out.push_back(':');
  appendTwo(out, static_cast<unsigned>(ms / 1000 % 60));
  if (ms % 1000 != 0) {
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, ".%03d", static_cast<int>(ms % 1000));
    out += buffer;
  }
}

bool yearInRange(int64_t dayNumber) {
  const int year = paradox::civilFromDayNumber(dayNumber).year;
  return year >= 100 && year <= 9999;
}

// A Money value as Paradox users see it: 15 significant digits, which drops the noise
// of binary fractions (134.85000000000002 is 134.85) and keeps every digit they entered.
std::string moneyDigits(double d) {
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.15g", std::fabs(d));
  std::string s = buffer;
  if (s.find_first_of("eE") != std::string::npos) {  // a tiny or huge amount: no exponent
    std::snprintf(buffer, sizeof buffer, "%.4f", std::fabs(d));
    s = buffer;
  }
  return s;
}

// Whether a Money value's digits fit Currency's four decimals.
bool currencyExact(double d) {
  char shown[40];
  std::snprintf(shown, sizeof shown, "%.15g", std::fabs(d));
  if (std::strpbrk(shown, "eE") != nullptr) return d == 0;  // far below a ten-thousandth, or far beyond the range
  if (std::strtod(shown, nullptr) > kCurrencyLimit) return false;  // rounded to 15 digits, beyond the range
  const std::string s = shown;
  const size_t point = s.find('.');
  return point == std::string::npos || s.size() - point - 1 <= 4;
}

std::string shortestDigits(double d) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(d));
  return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

// Digits of a BCD text before and after its point.
void bcdDigits(const std::string& text, int* whole, int* all) {
  int before = 0, after = 0;
  bool point = false, leading = true;
  for (char c : text) {
    if (c == '.') {
      point = true;
    } else if (c >= '0' && c <= '9') {
      if (point) ++after;
      else if (!(leading && c == '0')) ++before, leading = false;
    }
  }
  *whole = before;
  *all = before + after;
}

Form formOf(const TypedColumn& column, const paradox::Value& v) {
  using VK = paradox::Value::Kind;
  Form f;
  if (v.isNull()) return f;
  auto text = [&](std::string s) {
    f.kind = Kind::kString;
    f.body = std::move(s);
  };
  auto number = [&](bool negative, std::string digits) {
    f.kind = Kind::kNumber;
    f.negative = negative;
    f.body = std::move(digits);
  };
  switch (v.kind) {
    case VK::kLogical:
      f.kind = Kind::kBoolean;
      f.truth = v.integer != 0;
      break;
    case VK::kInteger:
      number(v.integer < 0,
             std::to_string(v.integer < 0 ? -static_cast<uint64_t>(v.integer) : static_cast<uint64_t>(v.integer)));
      break;
    case VK::kDouble:
      if (!std::isfinite(v.real)) {
        text(std::isnan(v.real) ? "NaN" : v.real > 0 ? "Infinity" : "-Infinity");
        break;
      }
      if (column.asText) text((std::signbit(v.real) && v.real != 0 ? "-" : "") + shortestDigits(v.real));
      else if (column.column.type == jet::ColumnType::kCurrency) number(v.real < 0, moneyDigits(v.real));
      else number(v.real < 0, shortestDigits(v.real));
      break;
    case VK::kBcd:
      if (column.asText) text(v.text);
      else number(!v.text.empty() && v.text[0] == '-', v.text[0] == '-' ? v.text.substr(1) : v.text);
      break;
    case VK::kText: text(v.text); break;
    case VK::kDate:
      f.body.clear();
      appendDate(f.body, v.integer);
      f.kind = column.asText ? Kind::kString : Kind::kDate;
      break;
    case VK::kTime:
      f.body.clear();
      appendTime(f.body, v.integer);
      f.kind = column.asText ? Kind::kString : Kind::kDate;
      break;
    case VK::kTimestamp:
      f.body.clear();
      appendDate(f.body, v.integer / paradox::kMillisPerDay);
      f.body.push_back(' ');
      appendTime(f.body, v.integer % paradox::kMillisPerDay);
      f.kind = column.asText ? Kind::kString : Kind::kDate;
      break;
    case VK::kBytes: {
      static constexpr char kHex[] = "0123456789ABCDEF";
      std::string s = "0x";
      s.reserve(2 + v.text.size() * 2);
      for (unsigned char c : v.text) {
        s.push_back(kHex[c >> 4]);
        s.push_back(kHex[c & 15]);
      }
      text(std::move(s));
      break;
    }
    case VK::kNull: break;
  }
  return f;
}

}  // namespace

TypedColumn typedColumn(const paradox::FieldDef& field, const std::string& name) {
  TypedColumn c;
  c.source = field.type;
  c.column.name = name;
  jet::ColumnDef& d = c.column;
  auto set = [&](jet::ColumnType type, std::string sql) {
    d.type = type;
    c.sqlType = std::move(sql);
  };
  switch (field.type) {
    case FieldType::kAlpha:
      set(jet::ColumnType::kText, "TEXT(" + std::to_string(field.width) + ")");
      d.length = static_cast<int>(field.width);
      break;
    case FieldType::kMemo:
    case FieldType::kFmtMemo: set(jet::ColumnType::kMemo, "MEMO"); break;
    case FieldType::kShort: set(jet::ColumnType::kInteger, "SMALLINT"); break;
    case FieldType::kLong: set(jet::ColumnType::kLong, "INTEGER"); break;
    case FieldType::kAutoInc:
      set(jet::ColumnType::kLong, "COUNTER");
      d.autoIncrement = true;
      break;
    case FieldType::kNumber: set(jet::ColumnType::kDouble, "DOUBLE"); break;
    case FieldType::kMoney: set(jet::ColumnType::kCurrency, "CURRENCY"); break;
    case FieldType::kBcd:
      c.decimals = field.decimals();
      set(jet::ColumnType::kNumeric, "DECIMAL(28," + std::to_string(c.decimals) + ")");
      d.precision = kMaxDecimalDigits;
      d.scale = c.decimals;
      if (c.decimals > kMaxDecimalDigits) demote(c, "");
      break;
    case FieldType::kDate:
    case FieldType::kTime:
    case FieldType::kTimestamp: set(jet::ColumnType::kDateTime, "DATETIME"); break;
    case FieldType::kLogical: set(jet::ColumnType::kBoolean, "BIT"); break;
    case FieldType::kBytes:
      set(jet::ColumnType::kBinary, "BINARY(" + std::to_string(field.width) + ")");
      d.length = static_cast<int>(field.width);
      break;
    case FieldType::kBlob:
    case FieldType::kOle:
    case FieldType::kGraphic: set(jet::ColumnType::kOle, "LONGBINARY"); break;
  }
  return c;
}

void prepareValue(const TypedColumn& c, paradox::Value& v, paradox::Transcoder& text) {
  if (c.source != FieldType::kFmtMemo || c.asBytes || v.kind != paradox::Value::Kind::kBytes) return;
  if (auto body = paradox::formattedMemoText(v.text)) {
    std::string utf8;
    text.convert(body->data(), body->size(), utf8);
    v.kind = paradox::Value::Kind::kText;
    v.text = std::move(utf8);
  }
}

std::string demote(TypedColumn& c, const std::string& why) {
  if (c.source == FieldType::kFmtMemo) {
    c.asBytes = true;
    c.column.type = jet::ColumnType::kOle;
    c.sqlType = "LONGBINARY";
    return "its formatted memo " + why +
           " is not laid out as this program reads one; the column keeps the bytes as they are "
           "(LONGBINARY)";
  }
  if (c.source == FieldType::kMoney) {
    c.asDouble = true;
    c.column.type = jet::ColumnType::kDouble;
    c.sqlType = "DOUBLE";
    return "its Money values go beyond what Access's Currency holds, four decimals within +-922337203685477 (" + why +
           "); it becomes a Double column";
  }
  c.asText = true;
  c.column.type = jet::ColumnType::kText;
  c.column.length = kDemotedTextLength;
  c.sqlType = "TEXT(" + std::to_string(kDemotedTextLength) + ")";
  if (c.source == FieldType::kNumber)
    return "it holds " + why + ", which Access's Double cannot; it becomes a Text column";
  if (c.source == FieldType::kBcd)
    return "its BCD numbers have more digits than Access's Decimal holds (28)" +
           (why.empty() ? std::string() : " (" + why + ")") + "; it becomes a Text column holding them exactly";
  return "it holds " + why + ", which Access's Date/Time cannot; it becomes a Text column";
}

bool fitsType(const TypedColumn& c, const paradox::Value& v) {
  using VK = paradox::Value::Kind;
  if (c.asText || c.asDouble || c.asBytes || v.isNull()) return true;
  if (c.source == FieldType::kFmtMemo) return v.kind != VK::kBytes || paradox::formattedMemoText(v.text).has_value();
  switch (v.kind) {
    case VK::kDouble:
      if (!std::isfinite(v.real)) return false;
      return c.column.type != jet::ColumnType::kCurrency ||
             (std::fabs(v.real) <= kCurrencyLimit && currencyExact(v.real));
    case VK::kBcd: {
      int whole = 0, all = 0;
      bcdDigits(v.text, &whole, &all);
      return whole <= kMaxDecimalDigits - c.decimals;
    }
    case VK::kDate: return yearInRange(v.integer);
    case VK::kTimestamp: return v.integer >= 0 && yearInRange(v.integer / paradox::kMillisPerDay);
    case VK::kTime: return v.integer >= 0 && v.integer < paradox::kMillisPerDay;
    default: return true;
  }
}

void appendLiteral(const TypedColumn& column, const paradox::Value& value, std::string& out) {
  const Form f = formOf(column, value);
  switch (f.kind) {
    case Kind::kNull: out += "NULL"; break;
    case Kind::kBoolean: out += f.truth ? "TRUE" : "FALSE"; break;
    case Kind::kNumber:
      if (f.negative) out.push_back('-');
      out += f.body;
      break;
    case Kind::kDate:
      out.push_back('#');
      out += f.body;
      out.push_back('#');
      break;
    case Kind::kString:
      out.push_back('\'');
      for (char ch : f.body) {
        out.push_back(ch);
        if (ch == '\'') out.push_back('\'');
      }
      out.push_back('\'');
      break;
  }
}

jet::Value engineValue(const TypedColumn& column, const paradox::Value& value) {
  const Form f = formOf(column, value);
  sql::Literal lit;
  lit.kind = f.kind;
  lit.negative = f.negative;
  lit.booleanValue = f.truth;
  lit.quote = '\'';
  lit.text = f.body;
  jet::Value out;
  sql::convertLiteral(f.body, lit, column.column, out);
  return out;
}

}  // namespace qv::engine
