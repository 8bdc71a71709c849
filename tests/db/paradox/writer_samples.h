#pragma once
// Sample fields and records covering every Paradox field type, for writer tests.

#include <cstdint>
#include <random>
#include <vector>

#include "db/paradox/table_writer.h"

namespace qv::test {

inline std::vector<paradox::NewField> sampleFields() {
  using paradox::FieldType;
  return {
      {"Name", FieldType::kAlpha, 40},     {"Born", FieldType::kDate, 0},       {"Count", FieldType::kShort, 0},
      {"Big", FieldType::kLong, 0},        {"Price", FieldType::kMoney, 0},     {"Ratio", FieldType::kNumber, 0},
      {"Done", FieldType::kLogical, 0},    {"Note", FieldType::kMemo, 20},      {"Data", FieldType::kBlob, 10},
      {"Styled", FieldType::kFmtMemo, 15}, {"Object", FieldType::kOle, 10},     {"Picture", FieldType::kGraphic, 10},
      {"At", FieldType::kTime, 0},         {"Stamp", FieldType::kTimestamp, 0}, {"Id", FieldType::kAutoInc, 0},
      {"Exact", FieldType::kBcd, 4},       {"Raw", FieldType::kBytes, 12}};
}

// Deterministic records: every seventh value of each field is Null; blobs range from a
// few bytes (in the leader) to shared-block and single-block sizes.
inline std::vector<std::vector<paradox::Value>> sampleRows(int count, uint32_t seed) {
  using paradox::Value;
  std::mt19937 rng(seed);
  auto bytes = [&](size_t n) {
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(rng());
    return s;
  };
  std::vector<std::vector<Value>> rows;
  for (int i = 0; i < count; ++i) {
    std::vector<Value> row(17);
    auto set = [&](int field, Value::Kind kind) -> Value& {
      row[static_cast<size_t>(field)].kind = kind;
      return row[static_cast<size_t>(field)];
    };
    set(0, Value::Kind::kText).text = "Name \xC3\xA9t\xC3\xA9 " + std::to_string(i);
    set(1, Value::Kind::kDate).integer = 693594 + static_cast<int64_t>(rng() % 200000) - 100000;
    set(2, Value::Kind::kInteger).integer = static_cast<int>(rng() % 65535) - 32767;
    set(3, Value::Kind::kInteger).integer = static_cast<int32_t>(rng() >> 1) * (i % 2 ? -1 : 1);
    set(4, Value::Kind::kDouble).real = static_cast<double>(static_cast<int>(rng() % 2000000) - 1000000) / 100.0;
    set(5, Value::Kind::kDouble).real = (static_cast<double>(rng()) / 7.0) * (i % 3 ? 1 : -1);
    set(6, Value::Kind::kLogical).integer = i % 2;
    const size_t blobSizes[] = {5, 19, 20, 21, 300, 2047, 2048, 9000};
    set(7, Value::Kind::kText).text = std::string(blobSizes[i % 8], static_cast<char>('a' + i % 26));
    set(8, Value::Kind::kBytes).text = bytes(blobSizes[(i + 1) % 8]);
    set(9, Value::Kind::kBytes).text = bytes(blobSizes[(i + 2) % 8]);
    set(10, Value::Kind::kBytes).text = bytes(blobSizes[(i + 3) % 8]);
    set(11, Value::Kind::kBytes).text = "BM" + bytes(blobSizes[(i + 4) % 8]);
    set(12, Value::Kind::kTime).integer = static_cast<int64_t>(rng() % 86400000);
    set(13, Value::Kind::kTimestamp).integer =
        (700000 + static_cast<int64_t>(rng() % 100000)) * 86400000LL + rng() % 86400000;
    set(14, Value::Kind::kInteger).integer = i + 1;
    const char* bcd[] = {"0.0000", "1.5000", "-123.4560", "99999999999999999999999999.9999", "-0.0001"};
    set(15, Value::Kind::kBcd).text = bcd[i % 5];
    std::string raw = bytes(12);
    raw[0] = static_cast<char>(1 + rng() % 200);  // a first byte of 0 would look blank to some readers
    set(16, Value::Kind::kBytes).text = raw;
    for (size_t f = 0; f < row.size(); ++f)
      if ((i + static_cast<int>(f)) % 7 == 3) row[f] = Value();
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace qv::test
