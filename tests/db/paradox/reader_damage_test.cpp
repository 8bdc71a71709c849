// Damaged and foreign files: every one gives a qv::DbError that names the file, never a
// crash, a hang or a read outside the file.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/paradox/bytes.h"
#include "db/paradox/table_reader.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::paradox {
namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string data(static_cast<size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  return data;
}

void spit(const std::string& path, const std::string& data) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string corpus(const std::string& rel) { return test::testdataDir() + "/paradox/" + rel; }

// Reads the whole table; returns the error text ("" when it read fine).
std::string readError(const std::string& path) {
  try {
    TableReader r(path);
    r.recordCount();
    std::vector<Value> row;
    while (r.next(row)) {
    }
    return "";
  } catch (const DbError& e) {
    return e.what();
  }
}

void expectError(const std::string& path, const std::string& needle) {
  const std::string err = readError(path);
  ASSERT_FALSE(err.empty()) << path << " should not read";
  EXPECT_NE(err.find(std::filesystem::path(path).filename().string()), std::string::npos) << err;
  EXPECT_NE(err.find(needle), std::string::npos) << err;
}

void setU16(std::string& s, size_t at, uint32_t v) { putU16(reinterpret_cast<uint8_t*>(s.data()) + at, v); }

TEST(ParadoxDamage, ForeignFilesAreNotTables) {
  test::TempDir dir;
  spit(dir.file("empty.db"), "");
  expectError(dir.file("empty.db"), "empty");
  std::string sqlite("SQLite format 3\0", 16);
  sqlite.resize(4096, '\0');
  spit(dir.file("app.db"), sqlite);
  expectError(dir.file("app.db"), "SQLite");
  std::string textFile;
  for (int i = 0; i < 40; ++i) textFile += "This is a plain text file, not a table.\n";
  spit(dir.file("notes.db"), textFile);
  expectError(dir.file("notes.db"), "not a readable Paradox table");
  const std::string missing = readError(dir.file("absent.db"));
  EXPECT_NE(missing.find("absent.db"), std::string::npos) << missing;
}

TEST(ParadoxDamage, ImpossibleHeadersAreRefused) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string good = slurp(corpus("leonhad-paradoxdriver/db/CONTACTS.DB"));
  ASSERT_EQ(good.size(), 8192u);
  std::string s = good;
  setU16(s, 0x21, 0);
  spit(dir.file("nofields.db"), s);
  expectError(dir.file("nofields.db"), "field count");
  s = good;
  setU16(s, 0x21, 3000);
  spit(dir.file("manyfields.db"), s);
  expectError(dir.file("manyfields.db"), "field count");
  s = good;
  s[0x78] = 0x02;  // the first field becomes a Date with an Alpha's size
  spit(dir.file("badsize.db"), s);
  expectError(dir.file("badsize.db"), "impossible size");
  s = good;
  s[0x78] = 0x42;
  spit(dir.file("badtype.db"), s);
  expectError(dir.file("badtype.db"), "unknown type");
  s = good;
  setU16(s, 0x00, 7);
  spit(dir.file("recsize.db"), s);
  expectError(dir.file("recsize.db"), "record size");
  s = good;
  s[0x05] = 0;
  spit(dir.file("blocksize.db"), s);
  expectError(dir.file("blocksize.db"), "block size");
  s = good.substr(0, 0x300);
  spit(dir.file("cut.db"), s);
  expectError(dir.file("cut.db"), "header");
}

TEST(ParadoxDamage, BrokenBlockChainsAreReported) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string good = slurp(corpus("leonhad-paradoxdriver/db/CONTACTS.DB"));
  // Data block 1 starts at 0x800: its next pointer leads back to itself.
  std::string s = good;
  setU16(s, 0x800, 1);
  spit(dir.file("loop.db"), s);
  expectError(dir.file("loop.db"), "loop");
  s = good;
  setU16(s, 0x800, 999);
  spit(dir.file("far.db"), s);
  expectError(dir.file("far.db"), "block 999");
  // A block claiming more records than fit had them deleted: it holds none.
  s = good;
  setU16(s, 0x804, 0x7000);
  spit(dir.file("deleted.db"), s);
  EXPECT_EQ(readError(dir.file("deleted.db")), "");
  EXPECT_LT(TableReader(dir.file("deleted.db")).recordCount(),
            TableReader(corpus("leonhad-paradoxdriver/db/CONTACTS.DB")).recordCount());
  // A table cut inside its data.
  const std::string zip = slurp(corpus("leonhad-paradoxdriver/areas/ZIPCODES.DB"));
  spit(dir.file("zip.db"), zip.substr(0, zip.size() / 2 + 100));
  expectError(dir.file("zip.db"), "block");
}

TEST(ParadoxDamage, DamagedBlobFilesAreNamed) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string db = slurp(corpus("leonhad-paradoxdriver/fields/memo.db"));
  const std::string mb = slurp(corpus("leonhad-paradoxdriver/fields/memo.mb"));
  spit(dir.file("memo.db"), db);
  spit(dir.file("memo.mb"), mb.substr(0, 4096));
  std::string err = readError(dir.file("memo.db"));
  EXPECT_NE(err.find("memo.mb"), std::string::npos) << err;
  std::string notBlob = mb;
  notBlob[0] = 0x07;
  spit(dir.file("memo.mb"), notBlob);
  err = readError(dir.file("memo.db"));
  EXPECT_NE(err.find("memo.mb"), std::string::npos) << err;
  EXPECT_NE(err.find("blob file"), std::string::npos) << err;
  // Every block kind byte of the value's block changed: a free block, a header block.
  for (char kind : {'\x04', '\x00', '\x09'}) {
    std::string s = mb;
    for (size_t at = 4096; at < s.size(); at += 4096) s[at] = kind;
    spit(dir.file("memo.mb"), s);
    err = readError(dir.file("memo.db"));
    EXPECT_NE(err.find("memo.mb"), std::string::npos) << err;
  }
}

TEST(ParadoxDamage, RandomCorruptionNeverCrashes) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  std::mt19937 rng(20240611);
  const char* tables[][2] = {
      {"leonhad-paradoxdriver/fields/memo.db", "leonhad-paradoxdriver/fields/memo.mb"},
      {"leonhad-paradoxdriver/encrypt/encryptedmemo.db", "leonhad-paradoxdriver/encrypt/encryptedmemo.mb"},
      {"celebithil-Rparadox/TypSammlung.DB", "celebithil-Rparadox/TypSammlung.MB"},
      {"leonhad-paradoxdriver/mtdemo/AMOUNT.DB", nullptr}};
  int errors = 0, reads = 0;
  for (const auto& t : tables) {
    const std::string db = slurp(corpus(t[0]));
    const std::string mb = t[1] ? slurp(corpus(t[1])) : std::string();
    for (int round = 0; round < 60; ++round) {
      std::string d = db, m = mb;
      const int flips = 1 + static_cast<int>(rng() % 8);
      for (int i = 0; i < flips; ++i) {
        const bool inBlob = !m.empty() && (rng() % 3 == 0);
        std::string& target = inBlob ? m : d;
        // Aim at the header and the first data block most of the time.
        const size_t span = std::min<size_t>(target.size(), inBlob ? target.size() : 4096);
        target[rng() % span] = static_cast<char>(rng());
      }
      if (rng() % 5 == 0) d.resize(rng() % d.size());
      spit(dir.file("t.db"), d);
      if (!m.empty()) spit(dir.file("t.mb"), m);
      const std::string err = readError(dir.file("t.db"));
      if (err.empty()) {
        ++reads;
      } else {
        ++errors;
        EXPECT_TRUE(err.find("t.db") != std::string::npos || err.find("t.mb") != std::string::npos) << err;
      }
    }
  }
  EXPECT_GT(errors, 0);
  EXPECT_GT(reads + errors, 200);
}

}  // namespace
}  // namespace qv::paradox
