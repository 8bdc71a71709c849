// Security IDs: the per-file mask proved on every Access database of the corpus, tables
// added to Access's databases owned and permitted as Access's own tables there, new
// databases masked with their final key, and damaged SIDs reported by the check without
// being passed on.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/database_impl.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/storage/sid_mask.h"
#include "db/jet/sid_places.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

// The passwords of the corpus' protected databases (INVENTORY.md).
const std::map<std::string, std::string> kPasswords = {
    {"access/mdb-reader/password/data/V2000_with-password.mdb", "password"},
    {"access/mdb-reader/password/data/V2003_with-password.mdb", "password"},
    {"access/ucanaccess/password.mdb", "ucanaccess"},
    {"access/mdb-reader/encryption/data/office-agile-4.2.accdb", "password"},
    {"access/mdb-reader/encryption/data/office-agile-4.4.accdb", "password"},
    {"access/mdb-reader/data/real/ASampleDatabase-protected.accdb", "password"},
    {"access/jackcessencrypt/db2007-enc.accdb", "Test123"},
    {"access/jackcessencrypt/db2007-oldenc.accdb", "Test123"},
    {"access/jackcessencrypt/db2013-enc.accdb", "1234"},
    {"access/jackcessencrypt/db-nonstandard.accdb", "password"},
    {"access/northwind-ran0dom0host/northwind.accdb", "12345678"},
    {"access/ucanaccess/example/password-protected.accdb", "alligator3"},
};

std::string relative(const std::string& path) { return path.substr(test::testdataDir().size() + 1); }

OpenOptions optionsFor(const std::string& rel, bool readOnly) {
  OpenOptions o;
  o.readOnly = readOnly;
  auto it = kPasswords.find(rel);
  if (it != kPasswords.end()) o.password = it->second;
  return o;
}

// One stored SID: an owner (MSysObjects) or a permission row (MSysACEs).
struct StoredSid {
  bool owner = false;
  int64_t object = 0;
  std::string stored;
  int64_t rights = 0;
  bool inheritable = false;
};

std::vector<StoredSid> storedSids(Database& db) {
  auto& impl = dynamic_cast<DatabaseImpl&>(db);
  std::vector<StoredSid> out;
  std::vector<Value> row;
  TableImpl& objects = impl.systemTable("MSysObjects");
  const int iId = columnPosition(objects.def(), "Id"), iOwner = columnPosition(objects.def(), "Owner");
  for (auto c = objects.scan(); c->next(row);)
    if (!row[static_cast<size_t>(iOwner)].isNull())
      out.push_back({true, row[static_cast<size_t>(iId)].i, row[static_cast<size_t>(iOwner)].s, 0, false});
  TableImpl& aces = impl.systemTable("MSysACEs");
  const int iObject = columnPosition(aces.def(), "ObjectId"), iSid = columnPosition(aces.def(), "SID"),
            iAcm = columnPosition(aces.def(), "ACM"), iInherit = columnPosition(aces.def(), "FInheritable");
  for (auto c = aces.scan(); c->next(row);)
    out.push_back({false, row[static_cast<size_t>(iObject)].i, row[static_cast<size_t>(iSid)].s,
                   row[static_cast<size_t>(iAcm)].i, row[static_cast<size_t>(iInherit)].b});
  return out;
}

// The catalogue Id of a table (a form may have the same name).
int64_t objectId(Database& db, const std::string& name) {
  for (const CatalogEntry& e : db.catalog())
    if (e.name == name && e.type == kTypeTable) return e.objectId;
  return -1;
}

// A table's owner and permission rows, unmasked, as text: "owner 0301; 0301:1048319 ...".
std::string rightsOf(Database& db, const std::string& table) {
  const SidMask mask = dynamic_cast<DatabaseImpl&>(db).sidMask();
  const int64_t id = objectId(db, table);
  std::string owner, rows;
  for (const StoredSid& s : storedSids(db)) {
    if (s.object != id) continue;
    std::string plain = mask.unmask(s.stored);
    if (s.owner) owner = test::hex(plain);
    else rows += " " + test::hex(plain).substr(0, 12) + ":" + std::to_string(s.rights) + (s.inheritable ? "+" : "");
  }
  return "owner " + owner + ";" + rows;
}

// Where the stored SID of one object lies in the file.
size_t sidOffsetInFile(const std::string& path, bool owner, int64_t object, const std::string& stored) {
  for (const test::SidPlace& s : test::sidPlaces(path))
    if (s.owner == owner && s.object == object && s.stored == stored) return s.offset;
  ADD_FAILURE() << "no such SID of object " << object;
  return 0;
}

void flipByte(const std::string& path, size_t offset) {
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  f.seekg(static_cast<std::streamoff>(offset));
  char c = 0;
  f.read(&c, 1);
  c = static_cast<char>(c ^ 0x5A);
  f.seekp(static_cast<std::streamoff>(offset));
  f.write(&c, 1);
}

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const auto& s : v) out += s + "\n";
  return out;
}

Table& addTable(Database& db, const std::string& name) {
  Table& t = db.createTable(name, {column("Nr", ColumnType::kLong), column("Name", ColumnType::kText, 40)});
  for (int i = 0; i < 25; ++i)
    t.insert(std::vector<Value>{Value::integer(i), Value::text("Zeile " + std::to_string(i))});
  return t;
}

// Adds the table "Neu" to the database; its owner and rows as rightsOf gives them.
std::string rightsOfAddedTable(const std::string& path) {
  {
    auto db = openDatabase(path, {});
    addTable(*db, "Neu");
    db->close();
  }
  auto db = openDatabase(path, {});
  return rightsOf(*db, "Neu");
}

// The independent readers find the added table with its rows.
void expectReadersAgree(const std::string& path, const std::string& table, const std::string& password, bool mdbtools,
                        bool mdbReader = true) {
  auto db = openDatabase(path, [&] {
    OpenOptions o;
    o.password = password;
    o.readOnly = true;
    return o;
  }());
  if (mdbReader && test::mdbReaderAvailable()) {
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {table}, password), "");
  } else if (mdbReader && test::underCi()) {
    ADD_FAILURE() << "mdb-reader is missing";
  }
  if (mdbtools && test::mdbtoolsAvailable()) {
    EXPECT_EQ(test::mdbtoolsCount(path, table), 25);
  }
}

TEST(JetSids, EveryStoredSidOfTheAccessCorpusNamesAnAccount) {
  QV_REQUIRE_TESTDATA();
  int plainFiles = 0, encryptedFiles = 0;
  size_t sids = 0;
  std::map<Account, size_t> accounts;
  std::set<std::string> workgroupSids;
  std::vector<std::string> unnamed;             // unencrypted files
  std::set<std::string> ownersUnderEarlierKey;  // Office-encrypted files
  std::set<std::string> ownersUnderNoKey;
  for (const std::string& path : test::corpusFiles("access", {""})) {
    std::ifstream in(path, std::ios::binary);
    std::vector<uint8_t> page0(4096);
    in.read(reinterpret_cast<char*>(page0.data()), static_cast<std::streamsize>(page0.size()));
    page0.resize(static_cast<size_t>(in.gcount()));
    DatabaseHeader header;
    try {
      header = decodeHeader(page0, std::filesystem::file_size(path), path);
    } catch (const DbError&) {
      continue;  // not an Access database
    }
    if (header.format == Format::kJet3) continue;
    const std::string rel = relative(path);
    SCOPED_TRACE(rel);
    const bool officeEncrypted = header.encodingKey != 0 && header.format != Format::kJet4;
    ++(header.encodingKey == 0 ? plainFiles : encryptedFiles);
    auto db = openDatabase(path, optionsFor(rel, true));
    const SidMask mask = SidMask::fromStoredPage0(page0);
    const SidMask before = SidMask::fromStoredPage0(page0, SidMask::kBeforeEncryption);
    std::map<int64_t, std::string> names;
    for (const CatalogEntry& e : db->catalog()) names[e.objectId] = e.name;
    for (const StoredSid& s : storedSids(*db)) {
      ++sids;
      std::string plain = mask.unmask(s.stored);
      std::optional<Account> account = accountOf(plain);
      if (account) {
        ++accounts[*account];
        if (*account == Account::kWorkgroupAccount) workgroupSids.insert(plain);
        continue;
      }
      std::string what = rel + ": " + (s.owner ? "owner of " : "permission row of ") + names[s.object];
      if (header.encodingKey == 0) unnamed.push_back(what);
      else if (officeEncrypted && s.owner && accountOf(before.unmask(s.stored))) ownersUnderEarlierKey.insert(rel);
      else if (officeEncrypted && s.owner) ownersUnderNoKey.insert(rel);
      else ADD_FAILURE() << what << " names no account";
    }
  }
  EXPECT_EQ(plainFiles, 126);
  EXPECT_EQ(encryptedFiles, 10);
  // The one exception: a table another program wrote into a test file.
  EXPECT_EQ(unnamed, std::vector<std::string>{"access/jackcess/V2010/binIdxTestV2010.accdb: owner of Test"});
  for (Account a :
       {Account::kAdminUser, Account::kEngine, Account::kUsersGroup, Account::kCreator, Account::kWorkgroupAccount})
    EXPECT_GT(accounts[a], 0u) << accountName(a);
  EXPECT_EQ(workgroupSids.size(), 4u);
  // Encrypting leaves owners under an earlier key, in six files the one of the zeroed
  // password area.
  EXPECT_EQ(ownersUnderEarlierKey.size(), 6u);
  EXPECT_EQ(ownersUnderNoKey, (std::set<std::string>{"access/mdb-reader/encryption/data/office-agile-4.2.accdb",
                                                     "access/mdb-reader/encryption/data/office-agile-4.4.accdb",
                                                     "access/ucanaccess/example/password-protected.accdb"}));
  std::printf(
      "SID census: %d unencrypted and %d encrypted files, %zu SIDs: Admin user %zu, engine %zu, Users group %zu, "
      "creator %zu, workgroup accounts %zu (%zu distinct); unencrypted SIDs naming no account: %zu\n",
      plainFiles, encryptedFiles, sids, accounts[Account::kAdminUser], accounts[Account::kEngine],
      accounts[Account::kUsersGroup], accounts[Account::kCreator], accounts[Account::kWorkgroupAccount],
      workgroupSids.size(), unnamed.size());
}

TEST(JetSids, TableAddedToAnAccessDatabaseIsOwnedAndPermittedLikeAccesssOwn) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  // Each file with a table Access made in it, whose rows the new table must repeat.
  struct Case {
    std::string rel, model;
    bool mdbtoolsReads = true, mdbReaderReads = true;
  };
  const std::vector<Case> files = {
      {"access/jackcess/V2000/testV2000.mdb", "Table1"},
      {"access/jackcess/V2003/testV2003.mdb", "Table1"},
      {"access/jackcess/V2007/testV2007.accdb", "Table1"},
      {"access/jackcess/V2010/testV2010.accdb", "Table1"},
      {"access/jackcess/V2019/extDateTestV2019.accdb", "Table1"},
      {"access/northwind-GabrielLogue/Northwind.mdb", "Categories"},  // another workgroup
      {"access/ucanaccess/alterTable.accdb", "Father"},
      {"access/mdb-reader/password/data/V2003_with-password.mdb", "Table1"},  // the key depends on the password
      {"access/jackcessencrypt/db-enc.mdb", "Table1", false},                 // pages RC4-encoded
      {"access/jackcessencrypt/db2007-enc.accdb", "Table1", false, false},    // Office-encrypted
  };
  for (const auto& [rel, model, mdbtoolsReads, mdbReaderReads] : files) {
    SCOPED_TRACE(rel);
    const std::string path = dir.file(std::filesystem::path(rel).filename().string());
    test::copyFile(test::testdataDir() + "/" + rel, path);
    const OpenOptions options = optionsFor(rel, false);
    const std::vector<std::string> problems = checkDatabase(path, options);
    {
      auto db = openDatabase(path, options);
      addTable(*db, "Quorvane Neu");
      db->close();
    }
    auto db = openDatabase(path, optionsFor(rel, true));
    // The rows after the owner; Access left the owners of the encrypted file under an earlier key.
    auto rows = [](const std::string& rights) { return rights.substr(rights.find(';')); };
    EXPECT_EQ(rightsOf(*db, "Quorvane Neu").substr(0, 11), "owner 0301;");
    if (rel.find("enc.accdb") == std::string::npos) {
      EXPECT_EQ(rightsOf(*db, model).substr(0, 11), "owner 0301;");
    }
    EXPECT_EQ(rows(rightsOf(*db, "Quorvane Neu")), rows(rightsOf(*db, model)));
    db.reset();
    EXPECT_EQ(checkDatabase(path, options), problems);
    expectReadersAgree(path, "Quorvane Neu", options.password, mdbtoolsReads, mdbReaderReads);
  }
}

TEST(JetSids, TableAddedToTheEngineMadeDatabaseGetsTheEnginesRights) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  // Its Tables container passes on the creator's 983294 and the Users group's 1048319
  // (as in compIndexTestV2003.mdb, whose Table1 was made under such a container).
  const std::string path = dir.file("adox.mdb");
  test::copyFile(test::testdataDir() + "/access/jackcess/adox_jet4.mdb", path);
  EXPECT_EQ(rightsOfAddedTable(path), "owner 0301; 0301:983294 0201:1048319");
  EXPECT_EQ(joined(checkDatabase(path)), "");
  expectReadersAgree(path, "Neu", "", true);
}

TEST(JetSids, NewDatabasesMaskEverySidWithTheKeyOfTheirFinalHeader) {
  test::TempDir dir;
  struct Case {
    const char* name;
    Format format;
    const char* password;
  };
  for (const Case& c : {Case{"plain.mdb", Format::kJet4, ""}, Case{"secret.mdb", Format::kJet4, "Kennwort 7"},
                        Case{"plain.accdb", Format::kAce12, ""}, Case{"secret.accdb", Format::kAce14, "Kennwort 7"}}) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.file(c.name);
    OpenOptions options;
    options.password = c.password;
    {
      auto db = createDatabase(path, c.format, options);
      addTable(*db, "Kunden");
      db->close();
    }
    // The key of page 0 as the file holds it at the end.
    const std::string raw = test::fileBytes(path);
    const SidMask mask =
        SidMask::fromStoredPage0(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(raw.data()), 4096));
    auto db = openDatabase(path, options);
    std::set<Account> seen;
    for (const StoredSid& s : storedSids(*db)) {
      std::optional<Account> a = accountOf(mask.unmask(s.stored));
      ASSERT_TRUE(a) << "object " << s.object << " stored " << test::hex(s.stored);
      seen.insert(*a);
    }
    EXPECT_TRUE(seen.count(Account::kAdminUser) && seen.count(Account::kEngine) && seen.count(Account::kUsersGroup));
    EXPECT_EQ(rightsOf(*db, "Kunden").substr(0, 11), "owner 0301;");
    db.reset();
    EXPECT_EQ(joined(checkDatabase(path, options)), "");
    expectReadersAgree(path, "Kunden", c.password, c.format == Format::kJet4);
  }
}

TEST(JetSids, CheckNamesDamagedSidsAndNewTablesDoNotPassThemOn) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string original = test::testdataDir() + "/access/jackcess/V2000/testV2000.mdb";
  // Two SIDs damaged: the owner of Table1 and the Users group's row of the Tables container.
  const std::string path = dir.file("damaged.mdb");
  test::copyFile(original, path);
  {
    auto db = openDatabase(path, {});
    const SidMask mask = dynamic_cast<DatabaseImpl&>(*db).sidMask();
    const int64_t table1 = objectId(*db, "Table1");
    db->close();
    const size_t owner = sidOffsetInFile(path, true, table1, mask.mask(sid::kAdminUser));
    const size_t users = sidOffsetInFile(path, false, kTablesContainerId, mask.mask(sid::kUsersGroup));
    ASSERT_NE(owner, 0u);
    ASSERT_NE(users, 0u);
    flipByte(path, owner + 1);
    flipByte(path, users);
  }
  const std::string planted = joined(checkDatabase(path));
  EXPECT_NE(planted.find("MSysObjects: the owner of 'Table1' (stored as "), std::string::npos) << planted;
  EXPECT_NE(planted.find("MSysACEs: a permission row of 'Tables' is for a SID (stored as "), std::string::npos)
      << planted;
  EXPECT_EQ(checkDatabase(path).size(), 2u) << planted;
  // The Admins group (a workgroup SID) and the Admin user are passed on; the damaged row is not.
  const std::string rights = rightsOfAddedTable(path);
  EXPECT_EQ(rights.substr(0, 25), "owner 0301; 0301:1048319 ") << rights;
  EXPECT_EQ(rights.find("0201"), std::string::npos) << rights;
  EXPECT_EQ(std::count(rights.begin(), rights.end(), ':'), 2) << rights;
  EXPECT_EQ(joined(checkDatabase(path)), planted);
  expectReadersAgree(path, "Neu", "", true);
}

TEST(JetSids, DatabaseWhoseSidsDoNotDecodeTakesTablesUnderItsOwnKey) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  // A byte of page 0 the key is made from, changed: no stored SID decodes any more, as in
  // a database another program wrote its SIDs into.
  const std::string path = dir.file("foreign.mdb");
  test::copyFile(test::testdataDir() + "/access/jackcess/V2003/testV2003.mdb", path);
  flipByte(path, 0x7A);
  const std::vector<std::string> before = checkDatabase(path);
  ASSERT_FALSE(before.empty());
  EXPECT_NE(before.back().find("SIDs in all name no account"), std::string::npos) << joined(before);
  // Nothing readable to inherit: the engine's own defaults, masked with the file's key.
  EXPECT_EQ(rightsOfAddedTable(path), "owner 0301; 0301:983294 0201:1048319");
  EXPECT_EQ(checkDatabase(path), before);
  expectReadersAgree(path, "Neu", "", true);
}

}  // namespace
}  // namespace qv::jet
