#include "db/paradox/table_writer.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/paradox/blob_file.h"
#include "db/paradox/bytes.h"
#include "db/paradox/code_page.h"
#include "db/paradox/crypt.h"
#include "db/paradox/field_codec.h"

namespace qv::paradox {

// Appends values to a .mb file: values under the shared-block threshold go into shared
// 4 KB blocks of up to 64 values, larger ones get blocks of their own.
class BlobWriter {
 public:
  BlobWriter(std::unique_ptr<io::File> file, uint32_t key) : file_(std::move(file)), key_(key) {
    std::vector<uint8_t> head(kBlobBlockUnit, 0);
    head[0] = kBlobHeaderBlock;
    putU16(head.data() + 1, 1);
    putU16(head.data() + 3, 1);  // modification count
    putU16(head.data() + 0x0B, kBlobBlockUnit);
    putU16(head.data() + 0x0D, kBlobBlockUnit);
    head[0x10] = 16;
    putU16(head.data() + 0x11, kBlobSubEntries);
    putU16(head.data() + 0x13, kSharedLimit);
    put(0, head);
    end_ = kBlobBlockUnit;
  }

  // Stores data and returns the place for the record.
  uint32_t store(const std::string& data) {
    if (data.size() < kSharedLimit) return storeShared(data);
    const uint64_t units = (kBlobSingleHeaderSize + data.size() + kBlobBlockUnit - 1) / kBlobBlockUnit;
    if (units > 0xFFFF)
      throw fileError(kErrGeneric, file_->path(),
                      "a value of " + std::to_string(data.size()) + " bytes is too long for a blob file");
    std::vector<uint8_t> block(units * kBlobBlockUnit, 0);
    uint8_t* b = block.data();
    if (b == nullptr) return 0;  // never: units is at least 1
    b[0] = kBlobSingleBlock;
    putU16(b + 1, static_cast<uint32_t>(units));
    putU32(b + 3, static_cast<uint32_t>(data.size()));
    putU16(b + 7, 1);
    std::memcpy(b + kBlobSingleHeaderSize, data.data(), data.size());
    const uint64_t at = end_;
    put(at, block);
    end_ += block.size();
    checkPlace(at);
    return static_cast<uint32_t>(at) | 0xFF;
  }

  void finish() {
    flushShared();
    file_->sync();
  }

 private:
  static constexpr uint32_t kSharedLimit = 2048;
  static constexpr uint32_t kSharedDataStart = 0x150;  // after the block header and 64 entries

  uint32_t storeShared(const std::string& data) {
    const uint32_t units = static_cast<uint32_t>((data.size() + 15) / 16);
    if (shared_.empty() || sharedUsed_ == kBlobSubEntries || sharedNext_ + units * 16 > kBlobBlockUnit) {
      flushShared();
      shared_.assign(kBlobBlockUnit, 0);
      shared_[0] = kBlobSubBlock;
      putU16(shared_.data() + 1, 1);
      sharedAt_ = end_;
      end_ += kBlobBlockUnit;
      checkPlace(sharedAt_);
      sharedUsed_ = 0;
      sharedNext_ = kSharedDataStart;
    }
    // Entries are taken from the last one down, as Paradox does.
    const uint32_t entry = kBlobSubEntries - 1 - sharedUsed_++;
    uint8_t* e = shared_.data() + kBlobSubHeaderSize + 5 * entry;
    e[0] = static_cast<uint8_t>(sharedNext_ / 16);
    e[1] = static_cast<uint8_t>(units);
    putU16(e + 2, 1);
    e[4] = static_cast<uint8_t>(data.size() - (units - 1) * 16);
    std::memcpy(shared_.data() + sharedNext_, data.data(), data.size());
    sharedNext_ += units * 16;
    return static_cast<uint32_t>(sharedAt_) | entry;
  }

  void flushShared() {
    if (shared_.empty()) return;
    put(sharedAt_, shared_);
    shared_.clear();
  }

  void checkPlace(uint64_t at) const {
    if (at > 0xFFFFFF00u) throw fileError(kErrGeneric, file_->path(), "the blob file would grow past 4 GB");
  }

  void put(uint64_t at, std::vector<uint8_t> bytes) {
    if (key_ != 0) encryptBlobChunks(bytes.data(), bytes.size(), key_);
    file_->writeAt(at, bytes.data(), bytes.size());
  }

  std::unique_ptr<io::File> file_;
  uint32_t key_;
  uint64_t end_ = 0;
  std::vector<uint8_t> shared_;
  uint64_t sharedAt_ = 0;
  uint32_t sharedUsed_ = 0;
  uint32_t sharedNext_ = 0;
};

namespace {

std::string blobPathFor(const std::string& dbPath) {
  const auto dot = dbPath.find_last_of('.');
  const std::string stem = dot == std::string::npos ? dbPath : dbPath.substr(0, dot);
  const bool upper = dot != std::string::npos && dot + 1 < dbPath.size() && dbPath[dot + 1] == 'D';
  return stem + (upper ? ".MB" : ".mb");
}

// The character set the table's header will make readers take its text in.
std::string writerCharset(const WriterOptions& options) {
  return chooseTableCharset(options.versionId, options.codePage, options.sortOrderName, TextOptions{}).charset;
}

}  // namespace

TableWriter::TableWriter(const std::string& path, const std::vector<NewField>& fields, const WriterOptions& options,
                         io::Env& env)
    : path_(path), encoder_("UTF-8", writerCharset(options)) {
  auto bad = [&](const std::string& why) { throw fileError(kErrGeneric, path, "cannot create the table: " + why); };
  if (options.versionId < 5 || options.versionId > kVersion7) bad("only versions 4.x to 7.x are written");
  if (options.blockSize % 1024 != 0 || options.blockSize < 1024 || options.blockSize > 32 * 1024)
    bad("the block size must be 1 to 32 KB");
  if (fields.empty() || fields.size() > 255) bad("a table has 1 to 255 fields");
  header_.versionId = options.versionId;
  header_.fileType = kFileTypeUnkeyed;
  header_.blockSize = options.blockSize;
  header_.codePage = options.codePage;
  header_.sortOrderName = options.sortOrderName;
  header_.encryption = options.encryption;
  header_.headerSize = 2048;
  const std::string base = path.substr(path.find_last_of('/') + 1);
  header_.tableName = base;
  Transcoder names("UTF-8", writerCharset(options));
  uint32_t offset = 0;
  bool anyBlob = false;
  for (const auto& wanted : fields) {
    FieldDef f;
    names.convert(wanted.name.data(), wanted.name.size(), f.name);
    f.type = wanted.type;
    const int fixed = fixedWidth(wanted.type);
    if (wanted.type == FieldType::kBcd) {
      if (wanted.size < 0 || wanted.size > 32) bad("field '" + wanted.name + "': a BCD field has 0 to 32 decimals");
      f.sizeByte = static_cast<uint8_t>(wanted.size);
      f.width = 17;
    } else if (fixed > 0) {
      f.sizeByte = static_cast<uint8_t>(fixed);
      f.width = static_cast<uint32_t>(fixed);
    } else {
      const int least = isBlobType(wanted.type) ? (wanted.type == FieldType::kMemo ? 11 : 10) : 1;
      if (wanted.size < least || wanted.size > 255)
        bad("field '" + wanted.name + "' has the impossible size " + std::to_string(wanted.size));
      f.sizeByte = static_cast<uint8_t>(wanted.size);
      f.width = static_cast<uint32_t>(wanted.size);
    }
    anyBlob = anyBlob || isBlobType(wanted.type);
    f.offset = offset;
    offset += f.width;
    header_.fields.push_back(std::move(f));
  }
  if (offset > options.blockSize - kDataBlockHeaderSize)
    bad("a record of " + std::to_string(offset) + " bytes does not fit in a block");
  header_.recordSize = static_cast<uint16_t>(offset);
  const size_t needed = header_.encode().size();
  header_.headerSize = static_cast<uint16_t>(std::min<size_t>((needed + 2047) / 2048 * 2048, 0xF800));
  capacity_ = (options.blockSize - kDataBlockHeaderSize) / header_.recordSize;
  block_.assign(options.blockSize, 0);

  file_ = env.open(path, io::OpenMode::kCreateTruncate);
  const std::string mb = blobPathFor(path);
  if (anyBlob) {
    blobs_ = std::make_unique<BlobWriter>(env.open(mb, io::OpenMode::kCreateTruncate), options.encryption);
  } else {
    env.remove(mb);
  }
}

TableWriter::~TableWriter() = default;

void TableWriter::encodeBlob(const FieldDef& f, const Value& v, uint8_t* p) {
  std::memset(p, 0, f.width);
  if (v.isNull()) return;
  std::string data;
  if (f.type == FieldType::kMemo) {
    if (v.kind != Value::Kind::kText)
      throw DbError(kErrGeneric, "field '" + f.name + "' (Memo): the value is not a text");
    encoder_.convert(v.text.data(), v.text.size(), data);
  } else {
    if (v.kind != Value::Kind::kBytes) throw DbError(kErrGeneric, "field '" + f.name + "': the value is not bytes");
    if (f.type == FieldType::kGraphic) {
      data.assign(kGraphicPrefixSize, '\0');
      putU32(reinterpret_cast<uint8_t*>(data.data()), 1);
      putU32(reinterpret_cast<uint8_t*>(data.data()) + 4, static_cast<uint32_t>(v.text.size()));
    }
    data += v.text;
  }
  if (data.empty()) return;
  const uint32_t leader = f.width - 10;
  std::memcpy(p, data.data(), std::min<size_t>(leader, data.size()));
  uint32_t place = 0;
  if (data.size() > leader) place = blobs_->store(data);
  putU32(p + leader, place);
  putU32(p + leader + 4, static_cast<uint32_t>(data.size()));
  putU16(p + leader + 8, 1);
}

void TableWriter::append(const std::vector<Value>& row) {
  if (finished_) throw fileError(kErrGeneric, path_, "the table is already finished");
  if (row.size() != header_.fields.size())
    throw fileError(kErrGeneric, path_,
                    "a record has " + std::to_string(row.size()) + " values for " +
                        std::to_string(header_.fields.size()) + " fields");
  if (recordsInBlock_ == capacity_) writeBlock(false);
  uint8_t* rec = block_.data() + kDataBlockHeaderSize + size_t{recordsInBlock_} * header_.recordSize;
  for (size_t i = 0; i < row.size(); ++i) {
    const FieldDef& f = header_.fields[i];
    if (isBlobType(f.type)) {
      encodeBlob(f, row[i], rec + f.offset);
    } else {
      encodeField(f, row[i], encoder_, rec + f.offset);
      if (f.type == FieldType::kAutoInc && !row[i].isNull()) maxAutoInc_ = std::max(maxAutoInc_, row[i].integer);
    }
  }
  ++recordsInBlock_;
  ++records_;
}

void TableWriter::writeBlock(bool last) {
  if (recordsInBlock_ == 0) return;
  if (blocks_ == 0xFFFF) throw fileError(kErrGeneric, path_, "the table would need more than 65535 blocks");
  const uint32_t number = ++blocks_;
  putU16(block_.data(), last ? 0 : number + 1);
  putU16(block_.data() + 2, number - 1);
  putU16(block_.data() + 4, (recordsInBlock_ - 1) * header_.recordSize);
  if (header_.encryption != 0) encryptDataBlock(block_.data(), block_.size(), header_.encryption, number);
  file_->writeAt(header_.blockOffset(number), block_.data(), block_.size());
  std::fill(block_.begin(), block_.end(), uint8_t{0});
  recordsInBlock_ = 0;
}

void TableWriter::finish() {
  if (finished_) return;
  writeBlock(true);
  finished_ = true;
  header_.recordCount = static_cast<uint32_t>(records_);
  header_.usedBlocks = static_cast<uint16_t>(blocks_);
  header_.fileBlocks = static_cast<uint16_t>(blocks_);
  header_.firstBlock = blocks_ > 0 ? 1 : 0;
  header_.lastBlock = static_cast<uint16_t>(blocks_);
  header_.autoInc = static_cast<int32_t>(maxAutoInc_ + 1);
  const auto head = header_.encode();
  file_->writeAt(0, head.data(), head.size());
  file_->sync();
  if (blobs_) blobs_->finish();
}

}  // namespace qv::paradox
