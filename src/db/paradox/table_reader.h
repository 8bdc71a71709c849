#pragma once
// Reads a Paradox table (.db, with its .mb for blob values) record by record. Memory
// does not grow with the table: one data block is held at a time.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/paradox/blob_file.h"
#include "db/paradox/code_page.h"
#include "db/paradox/table_header.h"
#include "db/paradox/text_codec.h"
#include "db/paradox/value.h"

namespace qv::paradox {

class TableReader {
 public:
  // Opens the table and reads its header. Throws qv::DbError naming the file when it is
  // not a Paradox table or its header is damaged. text says which code page to read a
  // table in that does not say its own (code_page.h).
  explicit TableReader(const std::string& path, io::Env& env = io::defaultEnv(), const TextOptions& text = {});
  ~TableReader();

  const TableHeader& header() const { return header_; }
  const std::string& path() const { return path_; }
  // The iconv name of the table's character set, and its code page number (0 for a
  // character set without one).
  const std::string& charset() const { return charset_.charset; }
  unsigned codePage() const { return charset_.codePage; }
  // Field i's name in UTF-8.
  std::string fieldName(size_t i);
  // What the user should know about the table's text, one message each: a code page that
  // could not be used, text that is not valid in the code page it is read in (counted
  // over the records read so far). Each names the table and the code page.
  std::vector<std::string> textNotices() const;
  bool encrypted() const { return header_.encryption != 0; }

  // The number of records, counted in the data blocks (the header's count may be stale).
  // Walks the block chain once, reading only block headers.
  uint64_t recordCount();

  // Fills row (one value per field) with the next record; false after the last one.
  // Throws qv::DbError naming the .db or .mb file when the data is damaged or the
  // .mb file a value needs is missing.
  bool next(std::vector<Value>& row);
  // Starts again from the first record.
  void rewind();

 private:
  uint32_t blocksInFile() const;
  // Reads data block n into block_ (unscrambled) and returns its record count.
  uint32_t loadBlock(uint32_t n);
  // Reads up to n bytes at offset at (fewer at the end of the file) through a window of
  // kReadAheadBytes; returns how many.
  size_t readAhead(uint64_t at, uint8_t* out, size_t n);
  // Reads block n's header only: next block and record count.
  void peekBlock(uint32_t n, uint32_t* next, uint32_t* records);
  uint32_t recordsIn(uint32_t n, int16_t lastOffset) const;
  void checkChainStep(uint32_t n, std::vector<bool>& seen) const;
  void readBlob(const FieldDef& f, const uint8_t* p, Value& out);
  // Counts a text of field i (record 0: its name) that held bytes the character set has
  // no character for.
  void noteUndecodable(size_t field, uint64_t record);
  BlobFile& blobFile(const FieldDef& f);
  [[noreturn]] void damaged(const std::string& what) const;

  std::string path_;
  io::Env& env_;
  std::unique_ptr<io::File> file_;
  uint64_t fileSize_ = 0;
  TableHeader header_;
  TableCharset charset_;
  std::unique_ptr<Transcoder> decoder_;
  uint64_t undecodable_ = 0;      // texts with bytes that are no character
  std::string firstUndecodable_;  // where the first of them is
  std::unique_ptr<BlobFile> blobs_;
  bool blobsLooked_ = false;

  // Position in the chain.
  std::vector<uint8_t> block_;
  std::vector<bool> seen_;
  uint32_t current_ = 0;    // block loaded in block_ (0: none yet)
  uint32_t nextBlock_ = 0;  // block after current_
  uint32_t recordsInBlock_ = 0;
  uint32_t recordInBlock_ = 0;
  uint64_t recordNumber_ = 0;  // records delivered or passed so far
  bool started_ = false;
  bool finished_ = false;
  std::string scratch_;
  static constexpr size_t kReadAheadBytes = 64 * 1024;
  std::vector<uint8_t> window_;
  uint64_t windowAt_ = 0;
  size_t windowSize_ = 0;
};

}  // namespace qv::paradox
