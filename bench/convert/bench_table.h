#pragma once
// The benchmarks' Paradox table: ROWS records of 10 fields (text, numbers, dates, a
// logical, an auto-increment and a memo), written with our table writer in 16 KB blocks.
// Memos are 14 to 80 bytes, so a part of them lives in the .db record (the leader) and
// every one also in the .mb file.

#include <string>
#include <vector>

#include "db/paradox/table_writer.h"

namespace qv::bench {

inline void writeBenchTable(const std::string& path, long rows) {
  using namespace qv::paradox;
  const std::vector<FieldSpec> fields = {{"Name", FieldType::kAlpha, 24},   {"Qty", FieldType::kLong, 0},
                                         {"Price", FieldType::kMoney, 0},   {"Ratio", FieldType::kNumber, 0},
                                         {"Day", FieldType::kDate, 0},      {"Small", FieldType::kShort, 0},
                                         {"Ok", FieldType::kLogical, 0},    {"Stamp", FieldType::kTimestamp, 0},
                                         {"Id", FieldType::kAutoInc, 0},    {"Note", FieldType::kMemo, 20}};
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

}  // namespace qv::bench
