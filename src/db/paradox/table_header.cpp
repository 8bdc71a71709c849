#include "db/paradox/table_header.h"

#include <cstring>

#include "db/io/error.h"
#include "db/paradox/bytes.h"

namespace qv::paradox {
namespace {

[[noreturn]] void fail(const std::string& path, const std::string& what) {
  throw fileError(kErrFormat, path, "not a readable Paradox table: " + what);
}

// Reads a zero-terminated string starting at pos, which must end before limit.
std::string takeString(const uint8_t* data, size_t limit, size_t* pos, const std::string& path, const char* what) {
  size_t start = *pos;
  size_t p = start;
  while (p < limit && data[p] != 0) ++p;
  if (p >= limit) fail(path, std::string("the header ends inside the ") + what);
  *pos = p + 1;
  return std::string(reinterpret_cast<const char*>(data + start), p - start);
}

}  // namespace

std::string TableHeader::versionText() const {
  if (versionId <= kVersion30) return "3.0";
  if (versionId == kVersion35) return "3.5";
  if (versionId <= 9) return "4.x";
  if (versionId <= 11) return "5.x";
  return "7.x";
}

TableHeader TableHeader::decode(const uint8_t* data, size_t size, const std::string& path) {
  if (size == 0) fail(path, "the file is empty");
  if (size >= 16 && std::memcmp(data, "SQLite format 3", 16) == 0) fail(path, "it is an SQLite database");
  if (size < 0x58) fail(path, "the file is too short for a table header (" + std::to_string(size) + " bytes)");

  TableHeader h;
  h.recordSize = getU16(data + 0x00);
  h.headerSize = getU16(data + 0x02);
  h.fileType = data[0x04];
  const uint8_t blockKb = data[0x05];
  h.recordCount = getU32(data + 0x06);
  h.usedBlocks = getU16(data + 0x0A);
  h.fileBlocks = getU16(data + 0x0C);
  h.firstBlock = getU16(data + 0x0E);
  h.lastBlock = getU16(data + 0x10);
  const uint16_t fieldCount = getU16(data + 0x21);
  h.keyFields = getU16(data + 0x23);
  uint32_t key1 = getU32(data + 0x25);
  h.sortOrder = data[0x29];
  h.versionId = data[0x39];
  h.autoInc = static_cast<int32_t>(getU32(data + 0x49));

  if (h.versionId < 3 || h.versionId > 15) fail(path, "unknown file version code " + std::to_string(h.versionId));
  if (h.fileType == 1 || (h.fileType >= 3 && h.fileType <= 8)) fail(path, "it is a Paradox index file, not a table");
  if (h.fileType != kFileTypeKeyed && h.fileType != kFileTypeUnkeyed)
    fail(path, "unknown file type " + std::to_string(h.fileType));
  if (blockKb < 1 || blockKb > 32) fail(path, "impossible block size code " + std::to_string(blockKb));
  h.blockSize = blockKb * 1024u;
  if (fieldCount == 0 || fieldCount > 255) fail(path, "impossible field count " + std::to_string(fieldCount));
  if (h.recordSize == 0 || h.recordSize > h.blockSize - kDataBlockHeaderSize)
    fail(path, "impossible record size " + std::to_string(h.recordSize));
  if (h.headerSize < 0x58) fail(path, "impossible header size " + std::to_string(h.headerSize));

  // Everything below must lie inside the header.
  const size_t limit = std::min<size_t>(size, h.headerSize);
  if (h.hasDataHeader()) {
    if (limit < 0x78) fail(path, "the header is too short for its version");
    h.codePage = getU16(data + 0x6A);
    h.encryption = key1 == kLaterVersionsKeyMark ? getU32(data + 0x5C) : key1;
  } else {
    h.encryption = key1;
  }

  size_t pos = h.fieldInfoOffset();
  if (pos + 2u * fieldCount > limit) fail(path, "the header ends inside the field list");
  uint32_t offset = 0;
  h.fields.resize(fieldCount);
  for (uint16_t i = 0; i < fieldCount; ++i) {
    FieldDef& f = h.fields[i];
    const uint8_t code = data[pos + 2u * i];
    f.sizeByte = data[pos + 2u * i + 1];
    auto type = fieldTypeFromCode(code);
    if (!type) fail(path, "field " + std::to_string(i + 1) + " has the unknown type code " + std::to_string(code));
    f.type = *type;
    const int fixed = fixedWidth(f.type);
    if (fixed > 0) {
      f.width = static_cast<uint32_t>(fixed);
      if (f.type == FieldType::kBcd) {
        if (f.sizeByte > 32)
          fail(path,
               "field " + std::to_string(i + 1) + " is a BCD field with " + std::to_string(f.sizeByte) + " decimals");
      } else if (f.sizeByte != fixed) {
        fail(path, "field " + std::to_string(i + 1) + " (" + std::string(fieldTypeName(f.type)) +
                       ") has the impossible size " + std::to_string(f.sizeByte));
      }
    } else {
      f.width = f.sizeByte;
      const uint32_t least = isBlobType(f.type) ? 10 : 1;
      if (f.width < least)
        fail(path, "field " + std::to_string(i + 1) + " (" + std::string(fieldTypeName(f.type)) +
                       ") has the impossible size " + std::to_string(f.sizeByte));
    }
    f.offset = offset;
    offset += f.width;
  }
  if (offset != h.recordSize)
    fail(path,
         "the fields take " + std::to_string(offset) + " bytes but the record size is " + std::to_string(h.recordSize));
  pos += 2u * fieldCount;

  // Pointers, the table name, the field names, field numbers, sort order name.
  pos += 4 + 4u * fieldCount;
  if (pos + h.tableNameLength() > limit) fail(path, "the header ends inside the table name");
  {
    const char* name = reinterpret_cast<const char*>(data + pos);
    h.tableName.assign(name, strnlen(name, h.tableNameLength()));
  }
  pos += h.tableNameLength();
  for (auto& f : h.fields) f.name = takeString(data, limit, &pos, path, "field names");
  if (pos + 2u * fieldCount <= limit) {
    pos += 2u * fieldCount;
    size_t end = pos;
    while (end < limit && data[end] != 0) ++end;
    h.sortOrderName.assign(reinterpret_cast<const char*>(data + pos), end - pos);
  }
  return h;
}

std::vector<uint8_t> TableHeader::encode() const {
  size_t need = fieldInfoOffset() + fields.size() * (2 + 4 + 2) + 4 + tableNameLength() + sortOrderName.size() + 1;
  for (const auto& f : fields) need += f.name.size() + 1;
  size_t total = std::max<size_t>(headerSize, need);
  std::vector<uint8_t> out(total, 0);
  uint8_t* d = out.data();
  if (d == nullptr) return out;  // never: total is at least the fixed header
  putU16(d + 0x00, recordSize);
  putU16(d + 0x02, static_cast<uint32_t>(total));
  d[0x04] = fileType;
  d[0x05] = static_cast<uint8_t>(blockSize / 1024);
  putU32(d + 0x06, recordCount);
  putU16(d + 0x0A, usedBlocks);
  putU16(d + 0x0C, fileBlocks);
  putU16(d + 0x0E, firstBlock);
  putU16(d + 0x10, lastBlock);
  putU16(d + 0x21, static_cast<uint32_t>(fields.size()));
  putU16(d + 0x23, keyFields);
  d[0x29] = sortOrder;
  d[0x39] = versionId;
  putU32(d + 0x49, static_cast<uint32_t>(autoInc));
  if (hasDataHeader()) {
    putU32(d + 0x25, encryption != 0 ? kLaterVersionsKeyMark : 0);
    putU16(d + 0x58, 0x0100u | versionId);
    putU16(d + 0x5A, 0x0100u | versionId);
    putU32(d + 0x5C, encryption);
    putU16(d + 0x64, static_cast<uint32_t>(fields.size() + 1));
    putU16(d + 0x6A, codePage);
  } else {
    putU32(d + 0x25, encryption);
  }
  size_t pos = fieldInfoOffset();
  for (const auto& f : fields) {
    d[pos++] = static_cast<uint8_t>(f.type);
    d[pos++] = f.sizeByte;
  }
  pos += 4 + 4 * fields.size();
  std::memcpy(d + pos, tableName.data(), std::min<size_t>(tableName.size(), tableNameLength() - 1));
  pos += tableNameLength();
  for (const auto& f : fields) {
    std::memcpy(d + pos, f.name.data(), f.name.size());
    pos += f.name.size() + 1;
  }
  for (size_t i = 0; i < fields.size(); ++i) {
    putU16(d + pos, static_cast<uint32_t>(i + 1));
    pos += 2;
  }
  std::memcpy(d + pos, sortOrderName.data(), sortOrderName.size());
  return out;
}

}  // namespace qv::paradox
