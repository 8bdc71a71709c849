#include "db/paradox/index_file.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/paradox/bytes.h"
#include "db/paradox/crypt.h"
#include "db/paradox/table_header.h"

namespace qv::paradox {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw fileError(kErrFormat, path, "not a readable Paradox table or index: " + what);
}

std::string takeString(const uint8_t* data, size_t limit, size_t* pos, const std::string& path, const char* what) {
  size_t start = *pos, p = start;
  while (p < limit && data[p] != 0) ++p;
  if (p >= limit) fail(path, std::string("the header ends inside the ") + what);
  *pos = p + 1;
  return std::string(reinterpret_cast<const char*>(data + start), p - start);
}

}  // namespace

IndexFileHeader decodeIndexHeader(const uint8_t* data, size_t size, const std::string& path) {
  if (size < 0x58) fail(path, "the file is too short for a header (" + std::to_string(size) + " bytes)");
  IndexFileHeader h;
  h.recordSize = getU16(data + 0x00);
  h.headerSize = getU16(data + 0x02);
  h.fileType = data[0x04];
  const uint8_t blockKb = data[0x05];
  h.recordCount = getU32(data + 0x06);
  h.fileBlocks = getU16(data + 0x0C);
  h.firstBlock = getU16(data + 0x0E);
  h.indexedField = data[0x15];
  h.rootBlock = getU16(data + 0x1E);
  h.levels = data[0x20];
  const uint16_t fieldCount = getU16(data + 0x21);
  h.keyFields = getU16(data + 0x23);
  const uint32_t key1 = getU32(data + 0x25);
  h.versionId = data[0x39];
  h.flags = data[0x55];
  if (h.fileType > kFileNamedEntries) fail(path, "unknown file type " + std::to_string(h.fileType));
  if (h.versionId < 3 || h.versionId > 15) fail(path, "unknown file version code " + std::to_string(h.versionId));
  if (blockKb < 1 || blockKb > 32) fail(path, "impossible block size code " + std::to_string(blockKb));
  h.blockSize = blockKb * 1024u;
  if (fieldCount == 0 || fieldCount > 255) fail(path, "impossible field count " + std::to_string(fieldCount));
  if (h.recordSize == 0 || h.recordSize > h.blockSize - kDataBlockHeaderSize)
    fail(path, "impossible record size " + std::to_string(h.recordSize));
  if (h.headerSize < 0x58) fail(path, "impossible header size " + std::to_string(h.headerSize));
  const size_t limit = std::min<size_t>(size, h.headerSize);

  // Tree files have no data header; entry files (and tables) of version 4 and later do.
  const bool dataHeader = !h.treeFile() && h.versionId >= 5;
  if (dataHeader && limit < 0x78) fail(path, "the header is too short for its version");
  h.encryption = dataHeader && key1 == kLaterVersionsKeyMark ? getU32(data + 0x5C) : key1;
  size_t pos = dataHeader ? 0x78 : 0x58;
  if (pos + 2u * fieldCount > limit) fail(path, "the header ends inside the field list");
  uint32_t width = 0;
  for (uint16_t i = 0; i < fieldCount; ++i) {
    FieldSlot f{data[pos + 2u * i], data[pos + 2u * i + 1]};
    const auto type = fieldTypeFromCode(f.type);
    if (!type) fail(path, "field " + std::to_string(i + 1) + " has the unknown type code " + std::to_string(f.type));
    const int fixed = fixedWidth(*type);
    width += fixed > 0 ? static_cast<uint32_t>(fixed) : f.size;
    h.fields.push_back(f);
  }
  // A tree file's entries end with three numbers its field list does not name.
  const uint32_t expected = width + (h.treeFile() ? 6u : 0u);
  if (expected != h.recordSize)
    fail(path, "the fields take " + std::to_string(expected) + " bytes but the record size is " +
                   std::to_string(h.recordSize));
  if (h.treeFile()) return h;

  pos += 2u * fieldCount + 4 + 4u * fieldCount;
  pos += h.versionId >= kVersion7 ? 261 : 79;
  if (pos > limit) fail(path, "the header ends inside the table name");
  for (uint16_t i = 0; i < fieldCount; ++i) h.fieldNames.push_back(takeString(data, limit, &pos, path, "field names"));
  // Tables of Paradox for DOS 3.0 may end their header here; an entry file never does.
  const bool table = h.fileType == kFileTypeKeyed || h.fileType == kFileTypeUnkeyed;
  if (table && pos + 2u * fieldCount > limit) return h;
  if (pos + 2u * fieldCount > limit) fail(path, "the header ends inside the field numbers");
  for (uint16_t i = 0; i < fieldCount; ++i) h.fieldNumbers.push_back(getU16(data + pos + 2u * i));
  pos += 2u * fieldCount;
  if (table) return h;
  takeString(data, limit, &pos, path, "sort order name");
  if (pos < limit) {
    size_t end = pos;
    while (end < limit && data[end] != 0) ++end;
    h.indexName.assign(reinterpret_cast<const char*>(data + pos), end - pos);
  }
  return h;
}

IndexFile::IndexFile(const std::string& path, io::Env& env) : path_(path) {
  file_ = env.open(path, io::OpenMode::kRead);
  size_ = file_->size();
  std::vector<uint8_t> head(static_cast<size_t>(std::min<uint64_t>(size_, 0xFFFF)));
  if (!head.empty()) file_->readExact(0, head.data(), head.size());
  header_ = decodeIndexHeader(head.data(), head.size(), path_);
  if (header_.headerSize > size_) damaged("the file ends inside its header");
}

void IndexFile::damaged(const std::string& what) const {
  throw DbError(kErrFormat, "'" + path_ + "' is damaged: " + what);
}

uint32_t IndexFile::blocksInFile() const {
  const uint64_t data = size_ - header_.headerSize;
  return static_cast<uint32_t>(std::min<uint64_t>((data + header_.blockSize - 1) / header_.blockSize, 0xFFFF));
}

uint32_t IndexFile::readBlock(uint32_t n, std::vector<uint8_t>& block) {
  if (n == 0 || n > blocksInFile())
    damaged("it refers to block " + std::to_string(n) + " but holds " + std::to_string(blocksInFile()) + " blocks");
  block.assign(header_.blockSize, 0);
  const uint64_t at = header_.blockOffset(n);
  const size_t got = file_->readAt(at, block.data(), block.size());
  if (header_.encryption != 0) decryptDataBlock(block.data(), block.size(), header_.encryption, n);
  const auto last = static_cast<int16_t>(getU16(block.data() + 4));
  if (last < 0) return 0;
  const uint32_t records = static_cast<uint32_t>(last) / header_.recordSize + 1;
  const uint64_t end = kDataBlockHeaderSize + uint64_t{records} * header_.recordSize;
  // As in a table, a block claiming more than it can hold had all its records deleted.
  if (end > header_.blockSize) return 0;
  if (end > got) damaged("block " + std::to_string(n) + " claims entries past the end of the file");
  return records;
}

std::vector<BlockCount> chainRecordCounts(IndexFile& file) {
  std::vector<BlockCount> out;
  if (file.header().fileBlocks == 0) return out;
  std::vector<bool> seen(file.blocksInFile() + 1u, false);
  std::vector<uint8_t> block;
  for (uint32_t n = file.header().firstBlock; n != 0;) {
    if (n < seen.size() && seen[n]) file.damaged("its block chain runs in a loop at block " + std::to_string(n));
    const uint32_t records = file.readBlock(n, block);
    seen[n] = true;
    out.push_back({n, records});
    n = getU16(block.data());
  }
  return out;
}

}  // namespace qv::paradox
