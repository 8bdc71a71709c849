#include "db/paradox/table_reader.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/paradox/bytes.h"
#include "db/paradox/crypt.h"
#include "db/paradox/field_codec.h"

namespace qv::paradox {

namespace {

std::string codePageText(const TableCharset& c) {
  return c.codePage != 0 ? "code page " + std::to_string(c.codePage) : c.charset;
}

}  // namespace

TableReader::TableReader(const std::string& path, io::Env& env, const TextOptions& text) : path_(path), env_(env) {
  file_ = env.open(path, io::OpenMode::kRead);
  fileSize_ = file_->size();
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(fileSize_, 0xFFFF)));
  if (!head.empty()) file_->readExact(0, head.data(), head.size());
  header_ = TableHeader::decode(head.data(), head.size(), path_);
  if (header_.headerSize > fileSize_) damaged("the file ends inside its header");
  charset_ = chooseTableCharset(header_.versionId, header_.codePage, header_.sortOrderName, text);
  decoder_ = std::make_unique<Transcoder>(charset_.charset, "UTF-8");
  block_.resize(header_.blockSize);
}

TableReader::~TableReader() = default;

std::string TableReader::fieldName(size_t i) {
  const FieldDef& f = header_.fields.at(i);
  std::string name;
  if (decoder_->convert(f.name.data(), f.name.size(), name)) noteUndecodable(i, 0);
  return name;
}

void TableReader::noteUndecodable(size_t field, uint64_t record) {
  if (undecodable_++ > 0) return;
  const std::string& raw = header_.fields[field].name;
  std::string name;
  decoder_->convert(raw.data(), raw.size(), name);
  firstUndecodable_ = record == 0 ? "the name of field " + std::to_string(field + 1)
                                  : "field '" + name + "' of record " + std::to_string(record);
}

std::vector<std::string> TableReader::textNotices() const {
  std::vector<std::string> out;
  const std::string table = "'" + path_ + "': ";
  if (!charset_.problem.empty())
    out.push_back(table + charset_.problem + "; its text is read in " + codePageText(charset_) + ".");
  if (undecodable_ > 0) {
    out.push_back(table + std::to_string(undecodable_) + (undecodable_ == 1 ? " text is" : " texts are") +
                  " not valid in " + codePageText(charset_) + " (the first: " + firstUndecodable_ +
                  "); each byte that is no character there is written as \"\xEF\xBF\xBD\" (U+FFFD). If the table was "
                  "written in another code page, read it in that one (quorvane-cli --code-page N).");
  }
  return out;
}

void TableReader::damaged(const std::string& what) const {
  throw fileError(kErrFormat, path_, "damaged Paradox table: " + what);
}

uint32_t TableReader::blocksInFile() const {
  const uint64_t data = fileSize_ - header_.headerSize;
  return static_cast<uint32_t>(std::min<uint64_t>((data + header_.blockSize - 1) / header_.blockSize, 0xFFFF));
}

void TableReader::checkChainStep(uint32_t n, std::vector<bool>& seen) const {
  if (n > blocksInFile())
    damaged("the block chain leads to block " + std::to_string(n) + " but the file has " +
            std::to_string(blocksInFile()) + " blocks");
  if (seen[n]) damaged("the block chain runs in a loop at block " + std::to_string(n));
  seen[n] = true;
}

uint32_t TableReader::recordsIn(uint32_t n, int16_t lastOffset) const {
  if (lastOffset < 0) return 0;  // an empty block
  const uint32_t records = static_cast<uint32_t>(lastOffset) / header_.recordSize + 1;
  // A block claiming more records than fit is one whose records were all deleted
  // without the block being freed: it holds none.
  if (kDataBlockHeaderSize + uint64_t{records} * header_.recordSize > header_.blockSize) return 0;
  if (header_.blockOffset(n) + kDataBlockHeaderSize + uint64_t{records} * header_.recordSize > fileSize_)
    damaged("block " + std::to_string(n) + " claims records past the end of the file");
  return records;
}

void TableReader::peekBlock(uint32_t n, uint32_t* next, uint32_t* records) {
  // Only the first 256 bytes are needed: an encrypted block is unscrambled 256 at a time.
  uint8_t head[256] = {};
  const size_t want = encrypted() ? sizeof head : kDataBlockHeaderSize;
  // Through the read-ahead window: counting the records of a table walks every block.
  if (readAhead(header_.blockOffset(n), head, want) < want) damaged("block " + std::to_string(n) + " is cut short");
  if (encrypted()) decryptDataBlock(head, sizeof head, header_.encryption, n);
  *next = getU16(head);
  *records = recordsIn(n, static_cast<int16_t>(getU16(head + 4)));
}

size_t TableReader::readAhead(uint64_t at, uint8_t* out, size_t n) {
  if (window_.empty() || at < windowAt_ || at + n > windowAt_ + windowSize_) {
    // Blocks mostly follow each other in the file: one read serves the next few.
    window_.resize(std::max<size_t>(n, kReadAheadBytes));
    windowAt_ = at;
    windowSize_ = file_->readAt(at, window_.data(), window_.size());
  }
  const size_t got =
      at >= windowAt_ + windowSize_ ? 0 : std::min<size_t>(n, static_cast<size_t>(windowAt_ + windowSize_ - at));
  std::memcpy(out, window_.data() + (at - windowAt_), got);
  return got;
}

uint32_t TableReader::loadBlock(uint32_t n) {
  const uint64_t at = header_.blockOffset(n);
  const size_t got = readAhead(at, block_.data(), block_.size());
  if (got < (encrypted() ? size_t{256} : kDataBlockHeaderSize)) damaged("block " + std::to_string(n) + " is cut short");
  std::fill(block_.begin() + static_cast<std::ptrdiff_t>(got), block_.end(), uint8_t{0});
  if (encrypted()) decryptDataBlock(block_.data(), block_.size(), header_.encryption, n);
  return recordsIn(n, static_cast<int16_t>(getU16(block_.data() + 4)));
}

uint64_t TableReader::recordCount() {
  uint64_t total = 0;
  if (fileSize_ <= header_.headerSize) return 0;
  std::vector<bool> seen(blocksInFile() + 1u, false);
  for (uint32_t n = header_.firstBlock; n != 0;) {
    checkChainStep(n, seen);
    uint32_t next = 0, records = 0;
    peekBlock(n, &next, &records);
    total += records;
    n = next;
  }
  return total;
}

void TableReader::rewind() {
  started_ = false;
  finished_ = false;
  current_ = 0;
  nextBlock_ = 0;
  recordsInBlock_ = 0;
  recordInBlock_ = 0;
  recordNumber_ = 0;
}

BlobFile& TableReader::blobFile(const FieldDef& f) {
  if (!blobsLooked_) {
    blobsLooked_ = true;
    const std::string mb = findBlobFile(path_, env_);
    if (!mb.empty()) blobs_ = std::make_unique<BlobFile>(env_.open(mb, io::OpenMode::kRead), header_.encryption);
  }
  if (!blobs_) {
    std::string expected = path_.substr(0, path_.size() - std::min<size_t>(path_.size(), 3)) + ".MB";
    throw fileError(kErrNotFound, expected,
                    "the blob file of table '" + path_ + "' is missing; field '" + f.name + "' of record " +
                        std::to_string(recordNumber_ + 1) + " keeps its value there");
  }
  return *blobs_;
}

void TableReader::readBlob(const FieldDef& f, const uint8_t* p, Value& out) {
  const uint32_t leader = f.width - 10;
  const uint32_t place = getU32(p + leader);
  const uint32_t length = getU32(p + leader + 4);
  if (length == 0) {
    out.kind = Value::Kind::kNull;
    return;
  }
  std::string& raw = f.type == FieldType::kMemo ? scratch_ : out.text;
  if (length <= leader) {
    raw.assign(reinterpret_cast<const char*>(p), length);
  } else {
    blobFile(f).read(place, length, raw);
  }
  if (f.type == FieldType::kGraphic && raw.size() >= kGraphicPrefixSize &&
      getU32(reinterpret_cast<const uint8_t*>(raw.data()) + 4) == raw.size() - kGraphicPrefixSize) {
    raw.erase(0, kGraphicPrefixSize);
  }
  if (f.type == FieldType::kMemo) {
    out.kind = Value::Kind::kText;
    if (decoder_->convert(raw.data(), raw.size(), out.text))
      noteUndecodable(static_cast<size_t>(&f - header_.fields.data()), recordNumber_ + 1);
  } else {
    out.kind = Value::Kind::kBytes;
  }
}

bool TableReader::next(std::vector<Value>& row) {
  if (finished_) return false;
  if (!started_) {
    started_ = true;
    seen_.assign(fileSize_ > header_.headerSize ? blocksInFile() + 1u : 1u, false);
    nextBlock_ = fileSize_ > header_.headerSize ? header_.firstBlock : 0;
  }
  while (recordInBlock_ >= recordsInBlock_) {
    if (nextBlock_ == 0) {
      finished_ = true;
      return false;
    }
    try {
      checkChainStep(nextBlock_, seen_);
      current_ = nextBlock_;
      recordsInBlock_ = loadBlock(current_);
    } catch (...) {
      finished_ = true;  // a chain that cannot be followed ends the table here
      throw;
    }
    nextBlock_ = getU16(block_.data());
    recordInBlock_ = 0;
  }
  const uint8_t* rec = block_.data() + kDataBlockHeaderSize + size_t{recordInBlock_} * header_.recordSize;
  // A record with a value that cannot be read is passed all the same: the next call
  // reads the one after it.
  struct PassRecord {
    TableReader& reader;
    ~PassRecord() {
      ++reader.recordInBlock_;
      ++reader.recordNumber_;
    }
  } pass{*this};
  row.resize(header_.fields.size());
  for (size_t i = 0; i < header_.fields.size(); ++i) {
    const FieldDef& f = header_.fields[i];
    if (isBlobType(f.type)) {
      readBlob(f, rec + f.offset, row[i]);
    } else {
      if (decodeField(f, rec + f.offset, *decoder_, row[i])) noteUndecodable(i, recordNumber_ + 1);
    }
  }
  return true;
}

}  // namespace qv::paradox
