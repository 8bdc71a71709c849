#include "db/jet/file/format.h"

#include <cmath>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/file/ciphers.h"
#include "db/jet/base/text.h"

namespace qv::jet {
namespace {

constexpr uint32_t kCodePageOffset = 0x3C;
constexpr uint32_t kEncodingKeyOffset = 0x3E;
constexpr uint32_t kPasswordOffset = 0x42;
constexpr uint32_t kJet3SortOffset = 0x3A;
constexpr uint32_t kSortOffset = 0x6E;
constexpr uint32_t kEngineBuildOffset = 0x6A;
constexpr uint32_t kCatalogPagesOffset = 0x20;
constexpr uint32_t kAce14MarkOffset = 0x15;
constexpr uint32_t kCommitTable = 0xE00;
constexpr uint32_t kCommitSlots = 256;
// The fixed words at the start of the scrambled region.
constexpr uint8_t kScrambledPrefix[8] = {0x00, 0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00};

uint8_t versionByte(Format f) {
  switch (f) {
    case Format::kJet3: return 0;
    case Format::kJet4: return 1;
    case Format::kAce12: return 2;
    case Format::kAce14: return 3;
    case Format::kAce15: return 4;
    case Format::kAce16: return 5;
    case Format::kAce17: return 6;
  }
  return 1;
}

uint32_t passwordMask(double creationDate) {
  return static_cast<uint32_t>(static_cast<int32_t>(std::floor(creationDate)));
}

}  // namespace

const char* formatName(Format f) {
  switch (f) {
    case Format::kJet3: return "Jet 3 (Access 97)";
    case Format::kJet4: return "Jet 4 (Access 2000-2003)";
    case Format::kAce12: return "ACE 12 (Access 2007)";
    case Format::kAce14: return "ACE 14 (Access 2010)";
    case Format::kAce15: return "ACE 15 (Access 2013)";
    case Format::kAce16: return "ACE 16 (Access 2016)";
    case Format::kAce17: return "ACE 17 (Access 2019)";
  }
  return "?";
}

Layout layoutFor(Format format) {
  Layout l;
  if (format != Format::kJet3) return l;
  l.jet3 = true;
  l.pageSize = 2048;
  l.dataRowCountOffset = 8;
  l.dataHeaderSize = 10;
  l.tdefRowCount = 12;
  l.tdefAutoNumber = 16;
  l.tdefTableType = 20;
  l.tdefMaxCols = 21;
  l.tdefVarCols = 23;
  l.tdefColumnCount = 25;
  l.tdefIndexCount = 27;
  l.tdefRealIndexCount = 31;
  l.tdefUsedPages = 35;
  l.tdefFreePages = 39;
  l.tdefBlockEnd = 43;
  l.realIndexEntry = 8;
  l.columnEntry = 18;
  l.realIndexDef = 39;
  l.logicalIndexDef = 20;
  l.nameLengthSize = 1;
  l.passwordSize = 20;
  l.headerScrambled = 126;
  l.colNum = 1;
  l.colVarIndex = 3;
  l.colMisc = 9;
  l.colFlags = 13;
  l.colFixedOffset = 14;
  l.colLength = 16;
  return l;
}

DatabaseHeader decodeHeader(const std::vector<uint8_t>& raw, size_t fileSize, const std::string& path) {
  auto notAccess = [&](const std::string& why) {
    return DbError(kErrFormat, "'" + path + "' is not an Access database (" + why + ")");
  };
  if (raw.size() < 0x100 || fileSize < 0x100) throw notAccess("the file is too short");
  if (raw[0] != 0 || raw[1] != 1 || raw[2] != 0 || raw[3] != 0) throw notAccess("no database header");
  std::string engine(reinterpret_cast<const char*>(raw.data() + 4), 15);
  if (engine == "MSISAM Database")
    throw DbError(kErrFormat, "'" + path + "' is a Microsoft Money (MSISAM) file, not an Access database");
  if (engine != "Standard Jet DB" && engine != "Standard ACE DB") throw notAccess("unknown engine name");
  DatabaseHeader h;
  uint8_t version = raw[0x14];
  switch (version) {
    case 0: h.format = Format::kJet3; break;
    case 1: h.format = Format::kJet4; break;
    case 2: h.format = Format::kAce12; break;
    case 3: h.format = Format::kAce14; break;
    case 4: h.format = Format::kAce15; break;
    case 5: h.format = Format::kAce16; break;
    case 6: h.format = Format::kAce17; break;
    default:
      throw DbError(kErrFormat, "'" + path + "' is a database of a newer format than this program knows (version " +
                                    std::to_string(version) + ")");
  }
  Layout l = layoutFor(h.format);
  if (raw.size() < l.pageSize) throw notAccess("the file is too short");
  if (fileSize < static_cast<size_t>(l.pageSize) * 3) throw notAccess("the file is truncated");
  std::vector<uint8_t> page(raw.begin(), raw.begin() + l.pageSize);
  crypto::rc4(crypto::ByteView(kHeaderKey, 4), page.data() + kHeaderScrambleStart, l.headerScrambled);
  for (size_t i = 0; i < h.catalogPages.size(); ++i)
    h.catalogPages[i] = get32(page.data(), kCatalogPagesOffset + 4 * i);
  h.codePage = get16(page.data(), kCodePageOffset);
  h.encodingKey = get32(page.data(), kEncodingKeyOffset);
  if (l.jet3) {
    h.sortLanguage = get16(page.data(), kJet3SortOffset);
    h.sortVersion = 0;
    std::string pw;
    for (uint32_t i = 0; i < l.passwordSize && page[kPasswordOffset + i] != 0; ++i)
      pw += static_cast<char>(page[kPasswordOffset + i]);
    h.password = decodeCp1252(reinterpret_cast<const uint8_t*>(pw.data()), pw.size());
  } else {
    h.sortLanguage = get16(page.data(), kSortOffset);
    h.sortVersion = page[kSortOffset + 3];
    h.creationDate = getDouble(page.data(), kCreationDateOffset);
    h.engineBuild = get32(page.data(), kEngineBuildOffset);
    uint8_t mask[4];
    put32(mask, 0, passwordMask(h.creationDate));
    std::u16string pw;
    for (uint32_t i = 0; i + 1 < l.passwordSize; i += 2) {
      uint8_t lo = page[kPasswordOffset + i] ^ mask[i % 4];
      uint8_t hi = page[kPasswordOffset + i + 1] ^ mask[(i + 1) % 4];
      char16_t u = static_cast<char16_t>(lo | (hi << 8));
      if (u == 0) break;
      pw += u;
    }
    // ACE files may carry garbage here when the database is encrypted; only Jet 4 and
    // unencrypted ACE files use this field as the database password.
    h.password = utf16ToUtf8(pw);
  }
  return h;
}

std::vector<uint8_t> encodeHeader(const DatabaseHeader& h) {
  Layout l = layoutFor(h.format);
  std::vector<uint8_t> page(l.pageSize, 0);
  page[1] = 1;
  const char* engine = (h.format == Format::kJet3 || h.format == Format::kJet4) ? "Standard Jet DB" : "Standard ACE DB";
  std::memcpy(page.data() + 4, engine, 15);
  page[0x14] = versionByte(h.format);
  if (h.format == Format::kAce14) page[kAce14MarkOffset] = 1;
  std::memcpy(page.data() + kHeaderScrambleStart, kScrambledPrefix, sizeof kScrambledPrefix);
  for (size_t i = 0; i < h.catalogPages.size(); ++i) put32(page.data(), kCatalogPagesOffset + 4 * i, h.catalogPages[i]);
  put16(page.data(), kCodePageOffset, h.codePage);
  put32(page.data(), kEncodingKeyOffset, h.encodingKey);
  if (l.jet3) {
    put16(page.data(), kJet3SortOffset, h.sortLanguage);
    for (size_t i = 0; i < h.password.size() && i < l.passwordSize; ++i)
      page[kPasswordOffset + i] = static_cast<uint8_t>(h.password[i]);
  } else {
    put32(page.data(), kEngineBuildOffset, h.engineBuild);
    put16(page.data(), kSortOffset, h.sortLanguage);
    page[kSortOffset + 3] = h.sortVersion;
    putDouble(page.data(), kCreationDateOffset, h.creationDate);
    std::string pw = encodeUcs2(h.password);
    uint8_t mask[4];
    put32(mask, 0, passwordMask(h.creationDate));
    // An encrypted .accdb keeps no password here; Access fills the field with the low
    // byte of the page-encoding key instead.
    bool encryptedAce = h.format != Format::kJet4 && h.encodingKey != 0;
    for (uint32_t i = 0; i < l.passwordSize; ++i) {
      uint8_t b = i < pw.size() ? static_cast<uint8_t>(pw[i]) : 0;
      if (encryptedAce) b = static_cast<uint8_t>(h.encodingKey & 0xFF);
      page[kPasswordOffset + i] = b ^ mask[i % 4];
    }
    const uint8_t tail[8] = {0x54, 0x06, 0x00, 0x00, '4', '.', '0', 0};
    std::memcpy(page.data() + kHeaderScrambleStart + l.headerScrambled, tail, sizeof tail);
    // The commit-byte table, idle.
    for (uint32_t slot = 0; slot < kCommitSlots; ++slot) page[kCommitTable + 2 * slot + 1] = 1;
    page[kCommitTable] = 1;
  }
  crypto::rc4(crypto::ByteView(kHeaderKey, 4), page.data() + kHeaderScrambleStart, l.headerScrambled);
  return page;
}

std::vector<uint32_t> busyCommitSlots(std::span<const uint8_t> page0) {
  std::vector<uint32_t> busy;
  if (page0.size() < kCommitTable + 2 * kCommitSlots) return busy;
  const uint8_t* t = page0.data() + kCommitTable;
  if (t[1] != 1) busy.push_back(0);
  for (uint32_t slot = 2; slot < kCommitSlots; ++slot)
    if (t[2 * slot] != 0 || t[2 * slot + 1] != 1) busy.push_back(slot);
  return busy;
}

}  // namespace qv::jet
