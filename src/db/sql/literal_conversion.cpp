#include "db/sql/literal_conversion.h"

#include <cfloat>
#include <cmath>
#include <cstdint>

#include "db/io/text_scan.h"
#include "db/jet/base/text.h"
#include "db/sql/column_types.h"
#include "db/sql/date_text.h"
#include "db/sql/number_text.h"
#include "db/sql/sql_error.h"
#include "db/sql/text_utils.h"

namespace qv::sql {
namespace {

using jet::ColumnType;
using jet::Value;

bool isNumberColumn(ColumnType t) {
  switch (t) {
    case ColumnType::kByte:
    case ColumnType::kInteger:
    case ColumnType::kLong:
    case ColumnType::kCurrency:
    case ColumnType::kSingle:
    case ColumnType::kDouble:
    case ColumnType::kNumeric: return true;
    default: return false;
  }
}

// What a literal is, for messages.
std::string shownValue(const Literal& lit) {
  switch (lit.kind) {
    case Literal::Kind::kNull: return "NULL";
    case Literal::Kind::kBoolean: return lit.booleanValue ? "TRUE" : "FALSE";
    case Literal::Kind::kNumber: return std::string(lit.negative ? "-" : "") + std::string(lit.text);
    case Literal::Kind::kString: return std::string(lit.text);
    case Literal::Kind::kDate: return "#" + std::string(lit.text) + "#";
  }
  return {};
}

class Converter {
 public:
  Converter(std::string_view sql, const Literal& lit, const jet::ColumnDef& column, Value& out)
      : sql_(sql), lit_(lit), column_(column), out_(out) {}

  void run() {
    switch (lit_.kind) {
      case Literal::Kind::kNull: return fromNull();
      case Literal::Kind::kBoolean: return fromBoolean();
      case Literal::Kind::kNumber: return fromNumber();
      case Literal::Kind::kString: return fromString();
      case Literal::Kind::kDate: return fromDate();
    }
  }

 private:
  std::string where() const {
    return " for column " + quoteForMessage(column_.name) + " (" + columnTypeText(column_) + ")" +
           atCharacter(sql_, lit_.offset);
  }

  [[noreturn]] void mismatch(std::string_view why) const {
    throwSqlError("Data type mismatch: " + quoteForMessage(shownValue(lit_)) + " " + std::string(why) + where() + ".");
  }

  [[noreturn]] void outOfRange() const {
    throwSqlError("Overflow: the value " + quoteForMessage(shownValue(lit_)) + " is out of range" + where() + ".");
  }

  void setText(std::string_view text) {
    out_.kind = Value::Kind::kText;
    out_.s.assign(text);
  }

  void fromNull() {
    if (column_.type == ColumnType::kBoolean) {
      out_.kind = Value::Kind::kBoolean;
      out_.b = false;
      return;
    }
    if (column_.notNull && !column_.autoIncrement) {
      throwSqlError("The column " + quoteForMessage(column_.name) + " cannot contain a Null value (it is NOT NULL)" +
                    atCharacter(sql_, lit_.offset) + ".");
    }
    out_.kind = Value::Kind::kNull;
  }

  void fromBoolean() {
    const bool v = lit_.booleanValue;
    switch (column_.type) {
      case ColumnType::kBoolean:
        out_.kind = Value::Kind::kBoolean;
        out_.b = v;
        return;
      case ColumnType::kText:
      case ColumnType::kMemo: return checkedText(v ? "True" : "False");
      default:
        if (isNumberColumn(column_.type)) {
          DecimalNumber n;
          parseDecimal(v ? "-1" : "0", false, n);
          return storeNumber(n, v ? "1" : "0");
        }
        mismatch("is not a value of this type");
    }
  }

  void fromNumber() {
    DecimalNumber n;
    if (!parseDecimal(lit_.text, false, n)) mismatch("is not a number");
    n.negative = lit_.negative && n.count > 0;
    switch (column_.type) {
      case ColumnType::kText:
      case ColumnType::kMemo: {
        double d = 0;
        if (!n.isInteger && !toDouble(n, lit_.text, d)) outOfRange();
        formatNumberText(n, d, scratch_);
        return checkedText(scratch_);
      }
      case ColumnType::kBoolean:
        out_.kind = Value::Kind::kBoolean;
        out_.b = n.count != 0;
        return;
      case ColumnType::kDateTime: {
        double d = 0;
        if (!toDouble(n, lit_.text, d) || d < kMinOleDate || d > kMaxOleDate) outOfRange();
        out_.kind = Value::Kind::kDateTime;
        out_.d = d;
        return;
      }
      default:
        if (isNumberColumn(column_.type)) return storeNumber(n, lit_.text);
        mismatch("is a number, not a value of this type");
    }
  }

  void fromString() {
    if (column_.type == ColumnType::kText || column_.type == ColumnType::kMemo) {
      // The common case: straight into the value, no intermediate copy.
      literalText(lit_, out_.s);
      checkTextLength(out_.s);
      out_.kind = Value::Kind::kText;
      return;
    }
    literalText(lit_, text_);
    switch (column_.type) {
      case ColumnType::kOle:
      case ColumnType::kBinary: return fromTextToBytes();
      case ColumnType::kBoolean: return fromTextToBoolean();
      case ColumnType::kDateTime: {
        double d = 0;
        if (!parseDateText(text_, d)) mismatch("is not a date or time");
        out_.kind = Value::Kind::kDateTime;
        out_.d = d;
        return;
      }
      case ColumnType::kGuid: return fromTextToGuid();
      default: {
        DecimalNumber n;
        if (!parseDecimal(text_, true, n)) mismatch("is not a number");
        // The number's digits without blanks and sign, for the double conversion.
        std::string_view body = text_;
        while (!body.empty() &&
               (body.front() == ' ' || body.front() == '\t' || body.front() == '\r' || body.front() == '\n'))
          body.remove_prefix(1);
        while (!body.empty() &&
               (body.back() == ' ' || body.back() == '\t' || body.back() == '\r' || body.back() == '\n'))
          body.remove_suffix(1);
        if (!body.empty() && (body.front() == '+' || body.front() == '-')) body.remove_prefix(1);
        return storeNumber(n, body);
      }
    }
  }

  void fromDate() {
    double d = 0;
    if (!parseDateText(lit_.text, d)) {
      throwSqlError("Syntax error in date " + quoteForMessage(shownValue(lit_)) + atCharacter(sql_, lit_.offset) +
                    ": not a date or time.");
    }
    switch (column_.type) {
      case ColumnType::kDateTime:
        out_.kind = Value::Kind::kDateTime;
        out_.d = d;
        return;
      case ColumnType::kText:
      case ColumnType::kMemo: formatDateText(d, scratch_); return checkedText(scratch_);
      case ColumnType::kDouble:
      case ColumnType::kSingle:
        out_.kind = Value::Kind::kDouble;
        out_.d = column_.type == ColumnType::kSingle ? static_cast<double>(static_cast<float>(d)) : d;
        return;
      default:
        if (isNumberColumn(column_.type)) {
          char buffer[40];
          int len = std::snprintf(buffer, sizeof buffer, "%.17g", std::fabs(d));
          std::string_view body(buffer, static_cast<size_t>(len));
          DecimalNumber n;
          if (!parseDecimal(body, false, n)) mismatch("is not a number");
          n.negative = d < 0;
          return storeNumber(n, body);
        }
        mismatch("is a date, not a value of this type");
    }
  }

  // n into a number column; body is its text without sign (for the double conversion).
  void storeNumber(const DecimalNumber& n, std::string_view body) {
    int64_t v = 0;
    switch (column_.type) {
      case ColumnType::kByte:
        if (!scaledInteger(n, 0, 0, 255, v)) outOfRange();
        out_.kind = Value::Kind::kInteger;
        out_.i = v;
        return;
      case ColumnType::kInteger:
        if (!scaledInteger(n, 0, INT16_MIN, INT16_MAX, v)) outOfRange();
        out_.kind = Value::Kind::kInteger;
        out_.i = v;
        return;
      case ColumnType::kLong:
        if (!scaledInteger(n, 0, INT32_MIN, INT32_MAX, v)) outOfRange();
        out_.kind = Value::Kind::kInteger;
        out_.i = v;
        return;
      case ColumnType::kCurrency:
        if (!scaledInteger(n, 4, INT64_MIN, INT64_MAX, v)) outOfRange();
        out_.kind = Value::Kind::kCurrency;
        out_.i = v;
        return;
      case ColumnType::kDouble:
      case ColumnType::kSingle: {
        double d = 0;
        if (!toDouble(n, body, d)) outOfRange();
        if (column_.type == ColumnType::kSingle) {
          if (std::fabs(d) > static_cast<double>(FLT_MAX)) outOfRange();
          d = static_cast<double>(static_cast<float>(d));
        }
        out_.kind = Value::Kind::kDouble;
        out_.d = d;
        return;
      }
      case ColumnType::kNumeric: {
        if (!scaledDigits(n, column_.scale, static_cast<size_t>(column_.precision), scratch_)) outOfRange();
        // scratch_ holds value * 10^scale: put the point back.
        std::string& s = out_.s;
        s.clear();
        if (n.negative && !scratch_.empty()) s.push_back('-');
        const size_t scale = static_cast<size_t>(column_.scale);
        if (scratch_.size() <= scale) {
          s.push_back('0');
          if (scale > 0) {
            s.push_back('.');
            s.append(scale - scratch_.size(), '0');
            s.append(scratch_);
          }
        } else {
          s.append(scratch_, 0, scratch_.size() - scale);
          if (scale > 0) {
            s.push_back('.');
            s.append(scratch_, scratch_.size() - scale, scale);
          }
        }
        out_.kind = Value::Kind::kDecimal;
        return;
      }
      default: mismatch("is not a value of this type");
    }
  }

  void checkedText(std::string_view text) {
    checkTextLength(text);
    setText(text);
  }

  void checkTextLength(std::string_view text) const {
    if (column_.type == ColumnType::kText) {
      const size_t length = jet::utf16Length(text);
      if (length > static_cast<size_t>(column_.length)) {
        throwSqlError("The field is too small to accept the amount of data you attempted to add: " +
                      std::to_string(length) + " characters" + where() + ".");
      }
    }
  }

  void fromTextToBytes() {
    std::string& bytes = out_.s;
    bytes.clear();
    const std::string& t = text_;
    bool hex = t.size() >= 2 && t.size() % 2 == 0 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X');
    if (hex) {
      bytes.reserve((t.size() - 2) / 2);
      for (size_t i = 2; i < t.size(); i += 2) {
        int hi = hexValue(t[i]), lo = hexValue(t[i + 1]);
        if (hi < 0 || lo < 0) {
          hex = false;
          break;
        }
        bytes.push_back(static_cast<char>(hi * 16 + lo));
      }
    }
    if (!hex) bytes = jet::encodeUcs2(t);
    if (column_.type == ColumnType::kBinary && bytes.size() > static_cast<size_t>(column_.length)) {
      throwSqlError("The field is too small to accept the amount of data you attempted to add: " +
                    std::to_string(bytes.size()) + " bytes" + where() + ".");
    }
    out_.kind = Value::Kind::kBinary;
  }

  void fromTextToBoolean() {
    std::string_view t = text_;
    while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
    auto is = [t](std::string_view word) {
      if (t.size() != word.size()) return false;
      for (size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != word[i]) return false;
      }
      return true;
    };
    out_.kind = Value::Kind::kBoolean;
    if (is("TRUE") || is("YES") || is("ON")) {
      out_.b = true;
    } else if (is("FALSE") || is("NO") || is("OFF")) {
      out_.b = false;
    } else {
      DecimalNumber n;
      if (!parseDecimal(t, true, n)) mismatch("is not a Yes/No value");
      out_.b = n.count != 0;
    }
  }

  void fromTextToGuid() {
    std::string_view t = text_;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    bool ok = t.size() == 36;
    unsigned char raw[16];
    size_t r = 0;
    for (size_t i = 0; ok && i < t.size();) {
      if (i == 8 || i == 13 || i == 18 || i == 23) {
        ok = t[i] == '-';
        ++i;
        continue;
      }
      int hi = hexValue(t[i]), lo = hexValue(t[i + 1]);
      ok = hi >= 0 && lo >= 0;
      raw[r++] = static_cast<unsigned char>(hi * 16 + lo);
      i += 2;
    }
    if (!ok || r != 16) mismatch("is not a GUID ({xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx})");
    // On disk the first three groups are little-endian.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    out_.s.resize(16);
    for (size_t i = 0; i < 16; ++i) out_.s[i] = static_cast<char>(raw[kOrder[i]]);
    out_.kind = Value::Kind::kGuid;
  }

  static int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  }

  std::string_view sql_;
  const Literal& lit_;
  const jet::ColumnDef& column_;
  Value& out_;
  // Work buffers; thread_local so that a steady stream of statements allocates nothing.
  static thread_local std::string text_;
  static thread_local std::string scratch_;
};

thread_local std::string Converter::text_;
thread_local std::string Converter::scratch_;

}  // namespace

void literalText(const Literal& lit, std::string& out) {
  out.clear();
  if (!lit.hasDoubled) {
    out.assign(lit.text);
    return;
  }
  out.resize(lit.text.size());
  out.resize(io::copyUndoublingQuotes(lit.text.data(), lit.text.size(), lit.quote, out.data()));
}

void convertLiteral(std::string_view sql, const Literal& lit, const jet::ColumnDef& column, jet::Value& out) {
  Converter(sql, lit, column, out).run();
}

}  // namespace qv::sql
