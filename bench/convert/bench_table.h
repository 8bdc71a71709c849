#pragma once
// The benchmarks' Paradox tables, written with our table writer in 16 KB blocks:
//
//   standard  10 fields (text, numbers, dates, a logical, an auto-increment and a memo);
//             memos are 14 to 80 bytes, so a part of them lives in the .db record (the
//             leader) and every one also in the .mb file.
//   longtext  every Paradox type: 40-character names, and memos of 200 to 3,200 bytes
//             (in the .mb) with apostrophes, line breaks (CR LF), Latin-1 letters and
//             now and then a character outside the 8-bit range; the binary fields hold
//             small values in some rows.
//   cyrillic  the long-text shape's text fields in code page 1251 (a Windows Cyrillic
//             language driver): names and memos in Russian with some Latin text.

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/paradox/table_writer.h"

namespace qv::bench {

enum class TableShape { kStandard, kLongText, kCyrillic };

inline TableShape tableShapeOf(const std::string& name) {
  if (name == "standard") return TableShape::kStandard;
  if (name == "longtext") return TableShape::kLongText;
  if (name == "cyrillic") return TableShape::kCyrillic;
  throw std::invalid_argument("unknown table shape '" + name + "' (standard, longtext, cyrillic)");
}

inline void writeStandardTable(const std::string& path, long rows) {
  using namespace qv::paradox;
  const std::vector<NewField> fields = {{"Name", FieldType::kAlpha, 24}, {"Qty", FieldType::kLong, 0},
                                        {"Price", FieldType::kMoney, 0}, {"Ratio", FieldType::kNumber, 0},
                                        {"Day", FieldType::kDate, 0},    {"Small", FieldType::kShort, 0},
                                        {"Ok", FieldType::kLogical, 0},  {"Stamp", FieldType::kTimestamp, 0},
                                        {"Id", FieldType::kAutoInc, 0},  {"Note", FieldType::kMemo, 20}};
  WriterOptions options;
  options.blockSize = 16384;
  TableWriter w(path, fields, options);
  std::vector<Value> row(fields.size());
  row[0].kind = Value::Kind::kText;
  row[1].kind = Value::Kind::kInteger;
  row[2].kind = Value::Kind::kDouble;
  row[3].kind = Value::Kind::kDouble;
  row[4].kind = Value::Kind::kDate;
  row[5].kind = Value::Kind::kInteger;
  row[6].kind = Value::Kind::kLogical;
  row[7].kind = Value::Kind::kTimestamp;
  row[8].kind = Value::Kind::kInteger;
  row[9].kind = Value::Kind::kText;
  for (long i = 0; i < rows; ++i) {
    row[0].text = "Customer " + std::to_string(i);
    row[1].integer = i % 1000;
    row[2].real = static_cast<double>(i % 100000) / 100.0;
    row[3].real = static_cast<double>(i) / 7.0;
    row[4].integer = 730000 + i % 5000;
    row[5].integer = i % 30000;
    row[6].integer = i % 2;
    row[7].integer = (730000 + i % 5000) * kMillisPerDay + i % kMillisPerDay;
    row[8].integer = i + 1;
    row[9].text = "Memo of record " + std::to_string(i) + std::string(static_cast<size_t>(i % 60), '.');
    w.append(row);
  }
  w.finish();
}

// Text of the long-text shapes (UTF-8): a name of exactly 40 characters and a memo of
// 200 to 3,200 bytes.
struct LongTexts {
  std::vector<std::string> words;
  std::vector<std::string> places;
  std::string extra;  // a character outside the code page's usual letters, now and then

  std::string name(long i) const {
    std::string s = places[static_cast<size_t>(i) % places.size()] + " " + std::to_string(i) + " ";
    // Pad with words to 40 characters (UTF-8 continuation bytes do not count).
    auto length = [](const std::string& t) {
      size_t n = 0;
      for (unsigned char c : t) n += (c & 0xC0) != 0x80;
      return n;
    };
    for (long k = i; length(s) < 40; ++k) s += words[static_cast<size_t>(k * 7 + 3) % words.size()] + " ";
    while (length(s) > 40) {
      do s.pop_back();
      while (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0x80);
      // A lead byte just removed its continuation bytes' start: drop the lead too.
      if (!s.empty() && (static_cast<unsigned char>(s.back()) & 0xC0) == 0xC0) s.pop_back();
    }
    while (length(s) < 40) s += '.';
    return s;
  }

  std::string memo(long i) const {
    const size_t want = 200 + static_cast<size_t>((i * 7919) % 3001);
    std::string s = "Note " + std::to_string(i) + ": ";
    for (long k = i; s.size() < want; ++k) {
      s += words[static_cast<size_t>(k * 31 + 7) % words.size()];
      if (k % 13 == 0) s += "\r\n";
      else if (k % 29 == 0 && !extra.empty()) s += " " + extra + " ";
      else s += ' ';
    }
    return s;
  }
};

inline LongTexts latinTexts() {
  return LongTexts{{"delivery", "invoice", "the", "customer's", "order", "was", "sent", "caf\xC3\xA9", "payment",
                    "received", "on", "time", "with", "thanks", "O'Brien", "na\xC3\xAFve", "r\xC3\xA9sum\xC3\xA9",
                    "fa\xC3\xA7"
                    "ade"},
                   {"Hamburg", "Lyon", "Porto", "Graz", "Turku", "Bergen", "Aarhus", "Gent"},
                   "\xE2\x82\xAC"};  // the euro sign (a byte of code page 1252 above U+00FF)
}

inline LongTexts cyrillicTexts() {
  return LongTexts{
      {"\xD0\xB7\xD0\xB0\xD0\xBA\xD0\xB0\xD0\xB7", "\xD0\xB4\xD0\xBE\xD1\x81\xD1\x82\xD0\xB0\xD0\xB2\xD0\xBA\xD0\xB0",
       "\xD1\x81\xD1\x87\xD1\x91\xD1\x82", "\xD0\xBA\xD0\xBB\xD0\xB8\xD0\xB5\xD0\xBD\xD1\x82",
       "\xD0\xBE\xD0\xBF\xD0\xBB\xD0\xB0\xD1\x82\xD0\xB0", "\xD0\xB8", "\xD0\xB2", "order", "O'Brien",
       "\xD0\xA1\xD0\xBF\xD0\xB0\xD1\x81\xD0\xB8\xD0\xB1\xD0\xBE"},
      {"\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0", "\xD0\x9A\xD0\xB8\xD0\xB5\xD0\xB2",
       "\xD0\x9C\xD0\xB8\xD0\xBD\xD1\x81\xD0\xBA", "\xD0\xA1\xD0\xBE\xD1\x84\xD0\xB8\xD1\x8F"},
      "\xE2\x84\x96"};  // the numero sign, a byte of code page 1251
}

inline void writeLongTextTable(const std::string& path, long rows, TableShape shape) {
  using namespace qv::paradox;
  const bool cyrillic = shape == TableShape::kCyrillic;
  const LongTexts texts = cyrillic ? cyrillicTexts() : latinTexts();
  const std::vector<NewField> fields = {
      {"Name", FieldType::kAlpha, 40},      {"City", FieldType::kAlpha, 24},     {"Born", FieldType::kDate, 0},
      {"Count", FieldType::kShort, 0},      {"Qty", FieldType::kLong, 0},        {"Price", FieldType::kMoney, 0},
      {"Ratio", FieldType::kNumber, 0},     {"Ok", FieldType::kLogical, 0},      {"Note", FieldType::kMemo, 11},
      {"Data", FieldType::kBlob, 10},       {"Styled", FieldType::kFmtMemo, 10}, {"Object", FieldType::kOle, 10},
      {"Picture", FieldType::kGraphic, 10}, {"At", FieldType::kTime, 0},         {"Stamp", FieldType::kTimestamp, 0},
      {"Id", FieldType::kAutoInc, 0},       {"Exact", FieldType::kBcd, 2},       {"Raw", FieldType::kBytes, 6}};
  WriterOptions options;
  options.blockSize = 16384;
  if (cyrillic) {
    options.codePage = 1251;
    options.sortOrderName = "ancyrr";
  }
  TableWriter w(path, fields, options);
  std::vector<Value> row(fields.size());
  for (long i = 0; i < rows; ++i) {
    for (auto& v : row) v.kind = Value::Kind::kNull;
    row[0] = {Value::Kind::kText, 0, 0, texts.name(i)};
    row[1] = {Value::Kind::kText, 0, 0, texts.places[static_cast<size_t>(i * 3) % texts.places.size()]};
    row[2] = {Value::Kind::kDate, 700000 + i % 20000, 0, {}};
    row[3] = {Value::Kind::kInteger, i % 30000 - 15000, 0, {}};
    row[4] = {Value::Kind::kInteger, i * 37 % 2000000, 0, {}};
    row[5] = {Value::Kind::kDouble, 0, static_cast<double>(i % 100000) / 100.0, {}};
    row[6] = {Value::Kind::kDouble, 0, static_cast<double>(i) / 7.0, {}};
    row[7] = {Value::Kind::kLogical, i % 2, 0, {}};
    row[8] = {Value::Kind::kText, 0, 0, texts.memo(i)};
    if (i % 10 == 0) {
      const std::string bytes(static_cast<size_t>(16 + i % 48), static_cast<char>(i));
      row[9] = {Value::Kind::kBytes, 0, 0, bytes};
      row[10] = {Value::Kind::kBytes, 0, 0, "{\\rtf1 " + std::to_string(i) + "}"};
      row[11] = {Value::Kind::kBytes, 0, 0, bytes};
      row[12] = {Value::Kind::kBytes, 0, 0, "BM" + bytes};
    }
    row[13] = {Value::Kind::kTime, 0, 0, {}};
    row[13].integer = i * 1000 % kMillisPerDay;
    row[14] = {Value::Kind::kTimestamp, (700000 + i % 20000) * kMillisPerDay + i % kMillisPerDay, 0, {}};
    row[15] = {Value::Kind::kInteger, i + 1, 0, {}};
    row[16] = {Value::Kind::kBcd, 0, 0, std::to_string(i % 100000) + "." + std::to_string(10 + i % 90)};
    row[17] = {Value::Kind::kBytes, 0, 0, std::string("\x01\x02\x03\x04\x05", 5) + static_cast<char>(i)};
    w.append(row);
  }
  w.finish();
}

inline void writeBenchTable(const std::string& path, long rows, TableShape shape = TableShape::kStandard) {
  if (shape == TableShape::kStandard) return writeStandardTable(path, rows);
  writeLongTextTable(path, rows, shape);
}

}  // namespace qv::bench
