#pragma once
// The database definition page (page 0) and the layout constants of each file version.
//
// Page 0 starts with the bytes 00 01 00 00, the engine name ("Standard Jet DB" or
// "Standard ACE DB", NUL-terminated, 16 bytes from offset 4) and at 0x14 one version
// byte: 0 Jet 3 (2 KB pages), 1 Jet 4, 2 ACE 12 (2007), 3 ACE 14 (2010), 4 ACE 15,
// 5 ACE 16, 6 ACE 17 (all 4 KB pages). Access 2010 sets the byte at 0x15 to 1 in the
// ACE 14 files it makes (0 in every other version). From 0x18 the next 126 (Jet 3) or
// 128 bytes are scrambled with RC4 under the fixed key C7 DA 39 6B; inside that region:
//   0x18  00 01 00 00 01 01 00 00 (the same in every file)
//   0x20  the pages the engine expects its first catalogue tables on, 4 bytes each:
//         MSysObjects (2), MSysACEs (3), MSysQueries (4), MSysRelationships (5)
//   0x3A  Jet 3 sort order (2 bytes, 0x0409 = General)
//   0x3C  code page of the database's 8-bit texts (2 bytes, 1252)
//   0x3E  page-encoding key (4 bytes): zero for a database whose pages are stored as is
//   0x42  database password: 20 bytes (Jet 3, 8-bit) or 40 bytes (UCS-2); in Jet 4 and
//         later every byte is further XORed with the 4 little-endian bytes of the
//         integer part of the creation date, repeated. An encrypted .accdb has the low
//         byte of the page-encoding key in every byte instead (before the XOR); its
//         encryption description follows at 0x299 (see office_crypto.h)
//   0x6A  Jet 4+ build number of the engine that made the file (4 bytes; 4518 for
//         ACE 12 and later, Jet 4.0's builds such as 8618 or 9756 otherwise; never 0)
//   0x6E  Jet 4+ sort order: 2 bytes language (0x0409 = General), one byte unused,
//         one byte version (0 = the legacy General order, 1 = the 2010 General order)
//   0x72  Jet 4+ creation date (a Jet date/time double)
// After the scrambled region a Jet 4+ file carries 54 06 00 00 "4.0" (as Access writes
// it); the rest of the page is zero up to 0xE00.
//
// 0xE00-0xFFF of a Jet 4+ page 0 is the commit-byte table: 256 two-byte slots whose
// second byte is always 01. The first two slots are counters (any first byte in slot 0,
// any second slot); every further slot belongs to a session that has the database open
// and reads 00 01 when idle. A database that no program holds with a slot that is not
// idle was left in the middle of a change, and Access offers to repair it. A new
// database has 01 01 in slot 0 and 00 01 everywhere else, as the engine writes it.
//
// Every other page begins with a type byte: 1 data, 2 table definition, 3 index node,
// 4 index leaf, 5 usage bitmap.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qv::jet {

// The file versions the engine knows, by the version byte of page 0.
enum class Format : uint8_t {
  kJet3,   // Access 97 .mdb
  kJet4,   // Access 2000-2003 .mdb
  kAce12,  // Access 2007 .accdb
  kAce14,  // Access 2010+ .accdb
  kAce15,
  kAce16,
  kAce17,
};

enum PageType : uint8_t {
  kPageHeader = 0x00,
  kPageData = 0x01,
  kPageTableDef = 0x02,
  kPageIndexNode = 0x03,
  kPageIndexLeaf = 0x04,
  kPageUsageMap = 0x05,
};

// Offsets and sizes that differ between Jet 3 and Jet 4+ (ACE keeps the Jet 4 layout).
struct Layout {
  bool jet3 = false;
  uint32_t pageSize = 4096;
  // Data pages.
  uint32_t dataRowCountOffset = 12;  // the row offset table follows
  uint32_t dataHeaderSize = 14;
  // Table definition pages.
  uint32_t tdefRowCount = 16;
  uint32_t tdefAutoNumber = 20;
  uint32_t tdefTableType = 40;
  uint32_t tdefMaxCols = 41;
  uint32_t tdefVarCols = 43;
  uint32_t tdefColumnCount = 45;
  uint32_t tdefIndexCount = 47;
  uint32_t tdefRealIndexCount = 51;
  uint32_t tdefUsedPages = 55;
  uint32_t tdefFreePages = 59;
  uint32_t tdefBlockEnd = 63;    // first real-index entry
  uint32_t realIndexEntry = 12;  // per real index in the header block
  uint32_t columnEntry = 25;
  uint32_t realIndexDef = 52;
  uint32_t logicalIndexDef = 28;
  uint32_t nameLengthSize = 2;  // names: 2-byte length + UCS-2 (Jet 3: 1 byte + 8-bit)
  uint32_t passwordSize = 40;
  uint32_t headerScrambled = 128;
  // Column entries.
  uint32_t colNum = 5;
  uint32_t colVarIndex = 7;
  uint32_t colMisc = 11;  // precision/scale or sort order
  uint32_t colFlags = 15;
  uint32_t colFixedOffset = 21;
  uint32_t colLength = 23;
  // Long value data per LVAL page row.
  uint32_t maxInlineLongValue = 64;
};

Layout layoutFor(Format format);

// What page 0 says, decoded.
struct DatabaseHeader {
  Format format = Format::kJet4;
  uint16_t codePage = 1252;
  uint32_t encodingKey = 0;
  uint16_t sortLanguage = 0x0409;
  uint8_t sortVersion = 0;
  double creationDate = 0;
  std::string password;      // UTF-8, empty when none
  uint32_t engineBuild = 0;  // Jet 4+
  // Where the engine expects MSysObjects, MSysACEs, MSysQueries and MSysRelationships.
  std::array<uint32_t, 4> catalogPages{2, 3, 4, 5};
};

// The build number this engine writes into a new database: that of the engine whose
// files it follows (ACE 12's, which also makes the Jet 4 files of Access 2007 and later).
constexpr uint32_t kEngineBuild = 4518;

// The commit-byte table's slots (numbers 2 to 255) that are not idle on a Jet 4+ page 0
// as stored; slot 0 is reported as well when its second byte is not 01.
std::vector<uint32_t> busyCommitSlots(std::span<const uint8_t> page0);

// Decodes page 0; throws DbError naming the file for anything that is not a database we
// can read ("not an Access database", "newer format").
DatabaseHeader decodeHeader(const std::vector<uint8_t>& page, size_t fileSize, const std::string& path);

// Page 0 is RC4-scrambled with kHeaderKey from kHeaderScrambleStart on, for
// Layout::headerScrambled bytes.
inline constexpr uint8_t kHeaderKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr uint32_t kHeaderScrambleStart = 0x18;
// Where a Jet 4+ page 0 (unscrambled) keeps the creation date, a Jet date (double).
inline constexpr uint32_t kCreationDateOffset = 0x72;

// Builds page 0 of a new database.
std::vector<uint8_t> encodeHeader(const DatabaseHeader& header);

const char* formatName(Format format);

}  // namespace qv::jet
