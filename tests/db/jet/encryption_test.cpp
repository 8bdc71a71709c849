// Encrypted and encoded databases: the ciphers against published test vectors, every
// encrypted database of the corpus opened with its password (and refused without it
// or with a wrong one), tables added to them, and new encrypted .accdb files, each
// checked through mdb-reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "db/jet/file/ciphers.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/reader_oracle.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

using crypto::Bytes;

Bytes hex(const std::string& h) {
  Bytes out;
  for (size_t i = 0; i + 1 < h.size(); i += 2)
    out.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
  return out;
}

Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }

TEST(JetCiphers, PublishedTestVectors) {
  EXPECT_EQ(crypto::hash("SHA1", {bytes("ab"), bytes("c")}), hex("a9993e364706816aba3e25717850c26c9cd0d89d"));
  EXPECT_EQ(crypto::hash("SHA512", {bytes("abc")}),
            hex("ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
                "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"));
  EXPECT_EQ(crypto::hashSize("SHA-512"), 64u);
  EXPECT_EQ(crypto::hashSize("WHIRLPOOL"), 0u);
  EXPECT_THROW(crypto::hash("WHIRLPOOL", {}), DbError);

  // RC4 with keys of 3 and 4 bytes (Jet's page keys have 4).
  Bytes text = bytes("Plaintext");
  crypto::rc4(bytes("Key"), text.data(), text.size());
  EXPECT_EQ(text, hex("bbf316e8d940af0ad3"));
  Bytes zeros(16, 0);
  crypto::rc4(hex("01020304"), zeros.data(), 0);
  EXPECT_EQ(zeros, Bytes(16, 0));
  Bytes wiki = bytes("Attack at dawn");
  crypto::rc4(bytes("Secret"), wiki.data(), wiki.size());
  EXPECT_EQ(wiki, hex("45a01f645fc35b383552544b9bf5"));

  // AES-128-CBC and AES-256-CBC, first blocks of the NIST SP 800-38A examples.
  Bytes block = hex("6bc1bee22e409f96e93d7e117393172aae2d8a571e03ac9c9eb76fac45af8e51");
  Bytes iv = hex("000102030405060708090a0b0c0d0e0f");
  Bytes aes128 = block;
  crypto::aesCbc(true, hex("2b7e151628aed2a6abf7158809cf4f3c"), iv, aes128.data(), aes128.size());
  EXPECT_EQ(aes128, hex("7649abac8119b246cee98e9b12e9197d5086cb9b507219ee95db113a917678b2"));
  Bytes key256 = hex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4");
  Bytes aes256 = block;
  crypto::aesCbc(true, key256, iv, aes256.data(), aes256.size());
  EXPECT_EQ(aes256, hex("f58c4c04d6e5f1ba779eabfb5f7bfbd69cfc4e967edb808d679f777bc6702c7d"));
  crypto::aesCbc(false, key256, iv, aes256.data(), aes256.size());
  EXPECT_EQ(aes256, block);
  EXPECT_THROW(crypto::aesCbc(true, Bytes(15, 1), iv, aes256.data(), aes256.size()), DbError);
  EXPECT_THROW(crypto::aesCbc(true, key256, iv, aes256.data(), 17), DbError);
  // AES-128-ECB, the same example's first two blocks.
  Bytes ecb = block;
  crypto::aesEcb(true, hex("2b7e151628aed2a6abf7158809cf4f3c"), ecb.data(), ecb.size());
  EXPECT_EQ(ecb, hex("3ad77bb40d7a3660a89ecaf32466ef97f5d3d58503b9699de785895a96fdbaaf"));
  crypto::aesEcb(false, hex("2b7e151628aed2a6abf7158809cf4f3c"), ecb.data(), ecb.size());
  EXPECT_EQ(ecb, block);

  EXPECT_EQ(crypto::toBase64(bytes("Quorv")), "UXVvcnY=");
  EXPECT_EQ(crypto::fromBase64("UXVvcnY="), bytes("Quorv"));
  EXPECT_EQ(crypto::fromBase64("UXVv\r\ncnZh"), bytes("Quorva"));
  EXPECT_EQ(crypto::fromBase64("UXVvcn"), std::nullopt);
  EXPECT_EQ(crypto::fromBase64("UX*vcnY="), std::nullopt);
}

struct EncryptedFile {
  const char* path;  // below the corpus folder
  const char* password;
  // mdb-reader 3.2 fails on Agile files hashed with SHA-1 (it pads a 20-byte buffer
  // beyond its end), on an RC4 CryptoAPI header shorter than it expects and on AES
  // under a CryptoAPI header; there our own reading after the change is the check.
  bool mdbReaderReads = true;
};

const EncryptedFile kEncrypted[] = {
    {"access/mdb-reader/encryption/data/office-agile-4.2.accdb", "password"},
    {"access/mdb-reader/encryption/data/office-agile-4.4.accdb", "password"},
    {"access/mdb-reader/data/real/ASampleDatabase-protected.accdb", "password"},
    {"access/jackcessencrypt/db2007-enc.accdb", "Test123", false},
    {"access/jackcessencrypt/db2007-oldenc.accdb", "Test123", false},
    {"access/jackcessencrypt/db2013-enc.accdb", "1234"},
    {"access/northwind-ran0dom0host/northwind.accdb", "12345678", false},
    {"access/ucanaccess/example/password-protected.accdb", "alligator3"},
    // AES pages under a CryptoAPI header without the AES flag (no hash rounds).
    {"access/jackcessencrypt/db-nonstandard.accdb", "password", false},
};

std::vector<std::string> userTables(Database& db) {
  std::vector<std::string> out;
  for (const CatalogEntry& e : db.catalog())
    if (e.kind == ObjectKind::kUserTable) out.push_back(e.name);
  return out;
}

// Tables mdb-reader can read value by value (no attachment or multi-value columns).
std::vector<std::string> plainTables(Database& db) {
  std::vector<std::string> out;
  for (const std::string& t : userTables(db)) {
    const auto& cols = db.table(t)->columns();
    if (std::all_of(cols.begin(), cols.end(), [](const ColumnDef& c) { return static_cast<uint8_t>(c.type) <= 0x10; }))
      out.push_back(t);
  }
  return out;
}

std::string openError(const std::string& path, const std::string& password) {
  OpenOptions options;
  options.password = password;
  options.readOnly = true;
  try {
    openDatabase(path, options);
  } catch (const DbError& e) {
    return e.what();
  }
  return "";
}

TEST(JetEncrypted, CorpusOpensOnlyWithItsPassword) {
  QV_REQUIRE_TESTDATA();
  for (const EncryptedFile& e : kEncrypted) {
    std::string path = test::testdataDir() + "/" + e.path;
    SCOPED_TRACE(path);
    EXPECT_EQ(openError(path, ""), "'" + path + "' is encrypted and needs its password");
    EXPECT_EQ(openError(path, std::string(e.password) + "x"), "Not a valid password.");
    EXPECT_EQ(openError(path, "Password"), "Not a valid password.");
    OpenOptions options;
    options.password = e.password;
    options.readOnly = true;
    auto db = openDatabase(path, options);
    EXPECT_FALSE(userTables(*db).empty());
    for (const std::string& t : userTables(*db)) {
      auto cursor = db->table(t)->scan();
      std::vector<Value> row;
      int64_t n = 0;
      while (cursor->next(row)) ++n;
      EXPECT_EQ(n, db->table(t)->rowCount()) << t;
    }
    if (e.mdbReaderReads && test::mdbReaderAvailable()) {
      EXPECT_EQ(test::compareWithMdbReader(path, *db, plainTables(*db), e.password), "");
    }
  }
}

// A table with short and long texts (long values span pages of their own), numbers,
// dates and NULLs.
void addTable(Database& db, const std::string& name, int rows) {
  std::vector<ColumnDef> cols = {column("Nr", ColumnType::kLong),       column("Name", ColumnType::kText, 60),
                                 column("Notiz", ColumnType::kMemo),    column("Betrag", ColumnType::kCurrency),
                                 column("Wann", ColumnType::kDateTime), column("Daten", ColumnType::kOle)};
  cols[0].autoIncrement = true;
  Table& t = db.createTable(name, cols);
  for (int i = 0; i < rows; ++i) {
    std::vector<Value> v(cols.size());
    v[1] = i % 7 == 0 ? Value::null() : Value::text("Geheim " + std::to_string(i) + " äöü €");
    v[2] = Value::text(std::string(static_cast<size_t>(i % 5 == 0 ? 9000 : i), static_cast<char>('a' + i % 26)));
    v[3] = Value::currency(static_cast<int64_t>(i) * 12345);
    v[4] = Value::dateTime(45000.25 + i);
    v[5] = i % 3 ? Value::null() : Value::binary(std::string(static_cast<size_t>(i * 50), static_cast<char>(i)));
    t.insert(v);
  }
}

TEST(JetEncrypted, TableAddedToEachEncryptedDatabaseReadsBack) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  test::TempDir dir;
  for (const EncryptedFile& e : kEncrypted) {
    std::string original = test::testdataDir() + "/" + e.path;
    SCOPED_TRACE(original);
    std::string path = dir.file("copy.accdb");
    std::filesystem::remove(path);
    test::copyFile(original, path);
    OpenOptions options;
    options.password = e.password;
    std::map<std::string, int64_t> counts;
    {
      auto db = openDatabase(path, options);
      for (const std::string& t : userTables(*db)) counts[t] = db->table(t)->rowCount();
      // northwind.accdb sorts in the Chinese (PRC) order, password-protected.accdb in the
      // Turkish one: the name goes into their catalogue's indexes in that order.
      addTable(*db, "Quorvane Geheim", 120);
      db->close();
    }
    counts["Quorvane Geheim"] = 120;
    EXPECT_EQ(test::fileBytes(path).find("Geheim 1"), std::string::npos) << "a row is stored in the clear";
    auto db = openDatabase(path, options);
    std::map<std::string, int64_t> after;
    for (const std::string& t : userTables(*db)) {
      auto cursor = db->table(t)->scan();
      std::vector<Value> row;
      int64_t n = 0;
      while (cursor->next(row)) {
        if (t == "Quorvane Geheim" && n == 1) {
          EXPECT_EQ(row[1].s, "Geheim 1 äöü €");
        }
        ++n;
      }
      after[t] = n;
    }
    EXPECT_EQ(after, counts);
    if (e.mdbReaderReads) {
      EXPECT_EQ(test::compareWithMdbReader(path, *db, plainTables(*db), e.password), "");
    }
    db.reset();
    EXPECT_EQ(checkDatabase(path, options), std::vector<std::string>{});
  }
}

TEST(JetEncrypted, EncodedMdbTakesNewTables) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(test::mdbReaderAvailable(), "node with mdb-reader");
  test::TempDir dir;
  std::string path = dir.file("enc.mdb");
  test::copyFile(test::testdataDir() + "/access/jackcessencrypt/db-enc.mdb", path);
  {
    auto db = openDatabase(path, {});
    addTable(*db, "Quorvane Kodiert", 80);
    db->close();
  }
  EXPECT_EQ(test::fileBytes(path).find("Geheim 1"), std::string::npos) << "a row is stored in the clear";
  auto db = openDatabase(path, {});
  EXPECT_EQ(db->table("Quorvane Kodiert")->rowCount(), 80);
  EXPECT_EQ(test::compareWithMdbReader(path, *db, plainTables(*db)), "");
}

TEST(JetEncrypted, NewEncryptedAccdbNeedsItsPassword) {
  test::TempDir dir;
  std::string path = dir.file("neu.accdb");
  OpenOptions options;
  options.password = "Geheimnis ÄÖ 7";
  {
    auto db = createDatabase(path, Format::kAce14, options);
    addTable(*db, "Kunden", 60);
    db->close();
  }
  std::string raw = test::fileBytes(path);
  EXPECT_EQ(raw.find("Geheim 1"), std::string::npos);
  EXPECT_EQ(raw.find("Kunden"), std::string::npos) << "the catalogue is stored in the clear";
  EXPECT_EQ(openError(path, ""), "'" + path + "' is encrypted and needs its password");
  EXPECT_EQ(openError(path, "Geheimnis ÄÖ 8"), "Not a valid password.");
  EXPECT_EQ(checkDatabase(path, options), std::vector<std::string>{});
  {
    auto db = openDatabase(path, options);
    EXPECT_EQ(db->table("Kunden")->rowCount(), 60);
    addTable(*db, "Lieferanten", 10);  // writing again after reopening
    db->close();
  }
  if (test::mdbReaderAvailable()) {
    auto db = openDatabase(path, options);
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"Kunden", "Lieferanten"}, options.password), "");
    EXPECT_NE(test::compareWithMdbReader(path, *db, {"Kunden"}, "falsch"), "");
    EXPECT_NE(test::compareWithMdbReader(path, *db, {"Kunden"}), "");
  }
}

}  // namespace
}  // namespace qv::jet
