// A new, empty database, laid out as the database engine lays out one it creates
// itself (no Access involved):
//   page 0      the database definition (format.h), its commit-byte table idle
//   page 1      the global usage map
//   pages 2-5   the definitions of MSysObjects, MSysACEs, MSysQueries and
//               MSysRelationships, on the pages page 0 names for them
//   page 6      the usage maps of those tables, their indexes and long values
//   pages 7-13  the empty root pages of their indexes
//   page 14     the catalogue: the containers "Tables", "Databases" and
//               "Relationships", the database object "MSysDb" and the four tables
//   page 15     the permission rows (MSysACEs)
// and in an .accdb then the complex-column catalogue (system_tables.h).
//
// Owners and permissions are the engine's: it owns the containers and its tables, the
// Admin user owns MSysDb; the rights below are those it grants. Every SID is stored
// masked with the file's own key (sid_mask.h), taken from page 0 as written.
//
// The file is built under a temporary name in the same folder (".NAME.XXXXXXXX.new",
// locked while it grows) and takes its real name only when it is complete and on disk,
// so a run that fails or is killed halfway never leaves a half-made database behind
// (a kill leaves at most the temporary file). The move never replaces a file that
// appeared under the real name meanwhile.

#include <cstdio>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/file/ciphers.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/file/office_crypto.h"
#include "db/jet/storage/sid_mask.h"
#include "db/jet/database_impl.h"
#include "db/jet/file/journal.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/system_tables.h"
#include "db/jet/base/text.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

constexpr int32_t kDatabaseObjectId = 0x10000000;  // MSysDb
constexpr int32_t kTopContainerParent = 0x0F000000;

// A permission row: object, account, rights, whether objects made in a container
// inherit it.
struct Permission {
  int32_t object;
  const std::string* account;
  int32_t rights;
  bool inheritable;
};

// The rows the engine writes into a new database, in its order (objects by id: the
// catalogue tables are pages 2 to 5).
std::vector<Permission> enginePermissions() {
  return {{2, &sid::kAdminUser, 393216, false},
          {3, &sid::kAdminUser, 393216, false},
          {4, &sid::kAdminUser, 393216, false},
          {5, &sid::kAdminUser, 917504, false},
          {kTablesContainerId, &sid::kCreator, 983294, true},
          {kTablesContainerId, &sid::kAdminUser, 393217, false},
          {kRelationshipsContainerId, &sid::kCreator, 983294, true},
          {kRelationshipsContainerId, &sid::kAdminUser, 393217, false},
          {kDatabasesContainerId, &sid::kAdminUser, 393216, false},
          {kDatabaseObjectId, &sid::kAdminUser, 393230, false},
          {kDatabaseObjectId, &sid::kUsersGroup, 14, false},
          {4, &sid::kUsersGroup, 20, false},
          {5, &sid::kUsersGroup, 20, false},
          {2, &sid::kUsersGroup, 20, false},
          {kTablesContainerId, &sid::kUsersGroup, 1048319, true},
          {kRelationshipsContainerId, &sid::kUsersGroup, 1048575, true}};
}

// The rights on a system table added after the first four (as on MSysObjects).
std::vector<Permission> systemTablePermissions(int32_t object) {
  return {{object, &sid::kAdminUser, 393216, false}, {object, &sid::kUsersGroup, 20, false}};
}

bool hasComplexColumns(Format format) { return format != Format::kJet3 && format != Format::kJet4; }

// A name beside `path` for building it: hidden, with a random part so that two runs do
// not meet.
std::string temporaryNameFor(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  uint8_t random[4];
  crypto::randomBytes(random, sizeof random);
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(get32(random, 0)));
  return folder + "." + name + "." + hex + ".new";
}

// A failure while building names the database being created, not the temporary file.
DbError naming(const DbError& e, const std::string& temporary, const std::string& path) {
  std::string text = e.what();
  for (size_t at = text.find(temporary); at != std::string::npos; at = text.find(temporary, at + path.size()))
    text.replace(at, temporary.size(), path);
  return DbError(e.number(), text);
}

void removeQuietly(io::Env& env, const std::string& path) {
  try {
    env.remove(path);
  } catch (const DbError&) {
  }
}

}  // namespace

std::unique_ptr<Database> createDatabase(const std::string& path, Format format, const OpenOptions& options,
                                         uint16_t sortLanguage) {
  if (format == Format::kJet3)
    throw fileError(kErrGeneric, path,
                    std::string("this program does not make Access 97 (Jet 3) databases") + kJet3Reason);
  if (utf16Length(options.password) > 20)
    throw fileError(kErrSql, path, "a database password has at most 20 characters");
  io::Env& env = options.env ? *options.env : io::defaultEnv();
  if (env.exists(path)) throw DbError(kErrGeneric, "'" + path + "' already exists");
  DatabaseHeader header;
  header.format = format;
  header.codePage = 1252;
  header.sortLanguage = sortLanguage;
  header.sortVersion = sortLanguage == kGeneralSortOrder &&
                               (format == Format::kAce14 || format == Format::kAce15 || format == Format::kAce16)
                           ? 1
                           : 0;
  if (!textKeyEncoder(header.sortLanguage, header.sortVersion))
    throw fileError(kErrGeneric, path,
                    "the sort order " + sortOrderName(header.sortLanguage, header.sortVersion) +
                        " is not one this program can keep");
  header.creationDate = nowAsOleDate();
  header.engineBuild = kEngineBuild;
  // An .mdb keeps its password in the header; an .accdb with a password is encrypted
  // (Agile, AES-256) and keeps none there.
  bool encrypted = !options.password.empty() && format != Format::kJet4;
  if (!encrypted) header.password = options.password;
  while (encrypted && header.encodingKey == 0) {
    uint8_t key[4];
    crypto::randomBytes(key, sizeof key);
    header.encodingKey = get32(key, 0);
  }
  Layout layout = layoutFor(format);
  std::string temporary;
  std::unique_ptr<io::File> file;
  for (int attempt = 1; !file; ++attempt) {
    temporary = temporaryNameFor(path);
    try {
      file = env.open(temporary, io::OpenMode::kCreateExclusive);
    } catch (const DbError& e) {
      if (attempt == 8 || !env.exists(temporary)) throw naming(e, temporary, path);
    }
  }
  try {
    // Held from the start: the lock stays with the file when it is moved into place.
    std::unique_ptr<io::File> held = env.open(temporary, io::OpenMode::kRead);
    if (!held->tryLockExclusive()) throw DbError(kErrLocked, "'" + temporary + "' is in use by another program");
    auto pager = std::make_unique<Pager>(std::move(file), layout, false);
    // Page 0, the header; the key of the stored SIDs comes from it as written.
    uint32_t p0 = pager->append();
    std::vector<uint8_t> page0 = encodeHeader(header);
    if (encrypted) pager->setCodec(newAgileCodec(page0, header.encodingKey, options.password));
    std::memcpy(pager->overwrite(p0), page0.data(), page0.size());
    const SidMask sids = SidMask::fromStoredPage0(page0);
    // Page 1: the global usage map (bit set = page free) and a second, empty map.
    uint32_t p1 = pager->append();
    initDataPage(pager->overwrite(p1), layout, 1);
    std::vector<uint8_t> global = emptyUsageMapRow(layout, 0);
    std::memset(global.data() + 5, 0xFF, global.size() - 5);
    appendDataRow(*pager, p1, global);
    appendDataRow(*pager, p1, emptyUsageMapRow(layout, 0));
    // The pages of the first catalogue tables' definitions, written below.
    std::vector<uint32_t> used = {p0, p1};
    for (uint32_t page : header.catalogPages) {
      while (pager->pageCount() <= page) pager->append();
      used.push_back(page);
    }
    for (uint32_t p : used) {
      uint8_t* g = pager->modify(p1, 0, 0);
      RowSpan s = dataRow(g, layout, 0, path);
      g[s.start + 5 + p / 8] &= static_cast<uint8_t>(~(1u << (p % 8)));
    }
    auto db = std::make_unique<DatabaseImpl>(std::move(pager), header, path);
    // The first catalogue tables, then their catalogue rows: the containers and the
    // database object first.
    const std::vector<SystemTableShape>& first = catalogTableShapes();
    for (size_t i = 0; i < first.size(); ++i)
      db->layOutTable(first[i].name, systemTableDef(first[i], header), true, header.catalogPages[i], first[i].indexes);
    auto& objects = static_cast<TableImpl&>(*db->findTable("MSysObjects", false));
    const TableDef& catalog = objects.def();
    auto catalogRow = [&](const std::string& name, int32_t id, int32_t parent, int16_t type, int32_t flags,
                          const std::string* owner) {
      std::vector<Value> row(catalog.columns.size());
      for (size_t c = 0; c < catalog.columns.size(); ++c) {
        const std::string& column = catalog.columns[c].def.name;
        if (column == "Id") row[c] = Value::integer(id);
        else if (column == "ParentId") row[c] = Value::integer(parent);
        else if (column == "Name") row[c] = Value::text(name);
        else if (column == "Type") row[c] = Value::integer(type);
        else if (column == "DateCreate" || column == "DateUpdate") row[c] = Value::dateTime(header.creationDate);
        else if (column == "Owner" && owner) row[c] = Value::binary(sids.mask(*owner));
        else if (column == "Flags") row[c] = Value::integer(flags);
      }
      objects.insertRow(row);
    };
    catalogRow("Tables", kTablesContainerId, kTopContainerParent, kTypeContainer, kSystemFlag, &sid::kEngine);
    catalogRow("Databases", kDatabasesContainerId, kTopContainerParent, kTypeContainer, kSystemFlag, &sid::kEngine);
    catalogRow("Relationships", kRelationshipsContainerId, kTopContainerParent, kTypeContainer, kSystemFlag,
               &sid::kEngine);
    catalogRow("MSysDb", kDatabaseObjectId, kDatabasesContainerId, kTypeDatabase, kSystemFlag, &sid::kAdminUser);
    for (size_t i = 0; i < first.size(); ++i)
      catalogRow(first[i].name, static_cast<int32_t>(header.catalogPages[i]), kTablesContainerId, kTypeTable,
                 first[i].catalogFlags, &sid::kEngine);
    TableImpl& aces = *db->findTable("MSysACEs", false);
    auto permit = [&](const std::vector<Permission>& rows) {
      for (const Permission& p : rows)
        aces.insertRow(std::vector<Value>{Value::integer(p.object), Value::binary(sids.mask(*p.account)),
                                          Value::integer(p.rights), Value::boolean(p.inheritable)});
    };
    permit(enginePermissions());
    // An .accdb's complex-column catalogue: tables without an owner.
    if (hasComplexColumns(format)) {
      for (const SystemTableShape& shape : complexColumnTableShapes()) {
        TableImpl& t = db->layOutTable(shape.name, systemTableDef(shape, header), true, 0, shape.indexes);
        const auto id = static_cast<int32_t>(t.def().page);
        catalogRow(shape.name, id, kTablesContainerId, kTypeTable, shape.catalogFlags, nullptr);
        permit(systemTablePermissions(id));
      }
    }
    db->pager().flush();
    db->load();
    db->pager().sync();
    // A journal left by an earlier database of this name belongs to nothing now.
    removeQuietly(env, journalPath(path));
    env.renameNoReplace(temporary, path);
    // From here on the database is complete under its name; what follows only
    // re-labels the open file and writes the lock file beside it.
    db->pager().replaceFile(env.open(path, io::OpenMode::kReadWrite));
    db->pager().setJournal(env, journalPath(path));
    db->setLock(LockFile::adopt(env, std::move(held), path), false);
    return db;
  } catch (const DbError& e) {
    removeQuietly(env, temporary);
    throw naming(e, temporary, path);
  } catch (...) {
    removeQuietly(env, temporary);
    throw;
  }
}

}  // namespace qv::jet
