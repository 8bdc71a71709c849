#pragma once
// Writes Paradox tables (version 4.x or later, unkeyed) with their .mb blob files: for
// tests, benchmarks and sample tables. The formats are those described in
// table_header.h and blob_file.h. Records are written block by block as they come, so
// memory does not grow with the table.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/paradox/table_header.h"
#include "db/paradox/text_codec.h"
#include "db/paradox/value.h"

namespace qv::paradox {

// A field to create: size is the length of an Alpha or Bytes field, the leader plus 10
// of a blob field, or the decimals of a BCD field; other types ignore it.
struct NewField {
  std::string name;  // UTF-8
  FieldType type = FieldType::kAlpha;
  int size = 0;
};

struct WriterOptions {
  uint8_t versionId = kVersion7;
  uint32_t blockSize = 4096;  // 1..32 KB
  uint16_t codePage = 1252;
  std::string sortOrderName = "ANSIINTL";
  uint32_t encryption = 0;  // scrambling key; 0 for none
};

class BlobWriter;

class TableWriter {
 public:
  // Creates (or replaces) path and, when a field is a blob type, the .mb next to it
  // (same name, extension ".mb" in the case of path's extension).
  TableWriter(const std::string& path, const std::vector<NewField>& fields, const WriterOptions& options = {},
              io::Env& env = io::defaultEnv());
  ~TableWriter();
  TableWriter(const TableWriter&) = delete;
  TableWriter& operator=(const TableWriter&) = delete;

  // Appends one record (one value per field, of the kinds the reader delivers).
  void append(const std::vector<Value>& row);
  // Writes the last block and the header. Nothing is complete before this.
  void finish();

  const TableHeader& header() const { return header_; }

 private:
  void writeBlock(bool last);
  void encodeBlob(const FieldDef& f, const Value& v, uint8_t* p);

  std::string path_;
  std::unique_ptr<io::File> file_;
  TableHeader header_;
  Transcoder encoder_;
  std::unique_ptr<BlobWriter> blobs_;
  std::vector<uint8_t> block_;
  uint32_t recordsInBlock_ = 0;
  uint32_t blocks_ = 0;    // blocks written so far
  uint32_t capacity_ = 0;  // records per block
  uint64_t records_ = 0;
  int64_t maxAutoInc_ = 0;
  bool finished_ = false;
};

}  // namespace qv::paradox
