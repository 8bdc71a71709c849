// A new, empty database: page 0, the global usage map on page 1, the catalogue
// (MSysObjects on page 2), the permission table MSysACEs, MSysQueries and
// MSysRelationships, the containers "Tables", "Databases" and "Relationships", the
// database object "MSysDb", permission rows for each of them, and the indexes of the
// system tables that Access expects.
//
// The file is built under a temporary name in the same folder (".NAME.XXXXXXXX.new",
// locked while it grows) and takes its real name only when it is complete and on disk,
// so a run that fails or is killed halfway never leaves a half-made database behind
// (a kill leaves at most the temporary file). The move never replaces a file that
// appeared under the real name meanwhile.

#include <cstdio>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/bytes.h"
#include "db/jet/ciphers.h"
#include "db/jet/data_page.h"
#include "db/jet/office_crypto.h"
#include "db/jet/sid_mask.h"
#include "db/jet/database_impl.h"
#include "db/jet/journal.h"
#include "db/jet/sort_order.h"
#include "db/jet/text.h"
#include "db/jet/usage_map.h"

namespace qv::jet {
namespace {

// Index flags as Access sets them on its system tables (0x80 is always set).
constexpr uint8_t kUnique = 0x81;
constexpr uint8_t kIgnoreNulls = 0x82;
constexpr uint8_t kRequired = 0x88;

ColumnDef col(const char* name, ColumnType type, int length = 0) {
  ColumnDef c;
  c.name = name;
  c.type = type;
  c.length = length;
  return c;
}

std::vector<ColumnDef> catalogColumns() {
  return {col("Id", ColumnType::kLong),          col("ParentId", ColumnType::kLong),
          col("Name", ColumnType::kText, 255),   col("Type", ColumnType::kInteger),
          col("DateCreate", ColumnType::kDateTime), col("DateUpdate", ColumnType::kDateTime),
          col("Owner", ColumnType::kBinary, 255), col("Flags", ColumnType::kLong),
          col("Database", ColumnType::kMemo),    col("Connect", ColumnType::kMemo),
          col("ForeignName", ColumnType::kText, 255), col("RmtInfoShort", ColumnType::kBinary, 255),
          col("RmtInfoLong", ColumnType::kOle),  col("Lv", ColumnType::kOle),
          col("LvProp", ColumnType::kOle),       col("LvModule", ColumnType::kOle),
          col("LvExtra", ColumnType::kOle)};
}

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
    throw DbError(kErrGeneric, "'" + path + "': this program does not make Access 97 (Jet 3) databases" + kJet3Reason);
  if (utf16Length(options.password) > 20)
    throw DbError(kErrSql, "'" + path + "': a database password has at most 20 characters");
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
    throw DbError(kErrGeneric, "'" + path + "': the sort order " + sortOrderName(header.sortLanguage, header.sortVersion) +
                                   " is not one this program can keep");
  header.creationDate = nowAsOleDate();
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
    // Page 0, the header.
    uint32_t p0 = pager->append();
    std::vector<uint8_t> page0 = encodeHeader(header);
    if (encrypted) pager->setCodec(newAgileCodec(page0, header.encodingKey, options.password));
    std::memcpy(pager->overwrite(p0), page0.data(), page0.size());
    // Page 1: the global usage map (bit set = page free) and a second, empty map.
    uint32_t p1 = pager->append();
    initDataPage(pager->overwrite(p1), layout, 1);
    std::vector<uint8_t> global = emptyUsageMapRow(layout, 0);
    std::memset(global.data() + 5, 0xFF, global.size() - 5);
    appendDataRow(*pager, p1, global);
    appendDataRow(*pager, p1, emptyUsageMapRow(layout, 0));
    uint32_t p2 = pager->append();  // the catalogue's definition, written below
    for (uint32_t p : {p0, p1, p2}) {
      uint8_t* g = pager->modify(p1, 0, 0);
      RowSpan s = dataRow(g, layout, 0, path);
      g[s.start + 5 + p / 8] &= static_cast<uint8_t>(~(1u << (p % 8)));
    }
    auto db = std::make_unique<DatabaseImpl>(std::move(pager), header, path);
    // The catalogue's indexes as Access lays them out: (ParentId, Name) and the primary
    // key Id, both unique.
    db->buildTable("MSysObjects", catalogColumns(), true, kCatalogPage, kTablesContainerId,
                   {{"ParentIdName", {1, 2}, kUnique, false}, {"Id", {0}, kUnique, true}});
    db->pager().flush();
    db->load();
    // Containers and the database object, then the system tables.
    auto& objects = static_cast<TableImpl&>(*db->table("MSysObjects"));
    auto catalogRow = [&](const char* name, int32_t id, int32_t parent, int16_t type) {
      const TableDef& def = objects.def();
      std::vector<Value> row(def.columns.size());
      double now = nowAsOleDate();
      row[0] = Value::integer(id);
      row[1] = Value::integer(parent);
      row[2] = Value::text(name);
      row[3] = Value::integer(type);
      row[4] = Value::dateTime(now);
      row[5] = Value::dateTime(now);
      row[6] = Value::binary(db->sidMask().mask(sid::kAdminUser));
      row[7] = Value::integer(kSystemFlag);
      objects.insertRow(row);
    };
    catalogRow("Tables", kTablesContainerId, 0x0F000000, kTypeContainer);
    catalogRow("Databases", kDatabasesContainerId, 0x0F000000, kTypeContainer);
    catalogRow("Relationships", kRelationshipsContainerId, 0x0F000000, kTypeContainer);
    catalogRow("MSysDb", 0x10000000, kDatabasesContainerId, kTypeDatabase);
    catalogRow("MSysObjects", kCatalogPage, kTablesContainerId, kTypeTable);
    TableImpl& aces = db->buildTable("MSysACEs",
                                     {col("ObjectId", ColumnType::kLong), col("SID", ColumnType::kBinary, 255),
                                      col("ACM", ColumnType::kLong), col("FInheritable", ColumnType::kBoolean)},
                                     true, 0, kTablesContainerId, {{"ObjectId", {0}, kRequired, false}});
    auto ace = [&](int32_t object, const std::string& sid, int32_t acm, bool inherit) {
      aces.insertRow(std::vector<Value>{Value::integer(object), Value::binary(db->sidMask().mask(sid)), Value::integer(acm),
                                        Value::boolean(inherit)});
    };
    // Rights as Access grants them in a new database.
    for (const std::string* account : {&sid::kAdminUser, &sid::kUsersGroup})
      for (int32_t object : {static_cast<int32_t>(kCatalogPage), static_cast<int32_t>(aces.def().page)}) ace(object, *account, 1048575, false);
    ace(kTablesContainerId, sid::kCreator, 983294, true);
    ace(kTablesContainerId, sid::kAdminUser, 1048319, true);
    ace(kTablesContainerId, sid::kUsersGroup, 1048319, true);
    ace(kDatabasesContainerId, sid::kAdminUser, 393216, false);
    ace(kRelationshipsContainerId, sid::kCreator, 983294, true);
    ace(kRelationshipsContainerId, sid::kAdminUser, 393217, false);
    ace(kRelationshipsContainerId, sid::kUsersGroup, 1048575, true);
    ace(0x10000000, sid::kAdminUser, 393230, false);
    ace(0x10000000, sid::kUsersGroup, 14, false);
    db->buildTable("MSysQueries",
                   {col("ObjectId", ColumnType::kLong), col("Attribute", ColumnType::kByte),
                    col("Order", ColumnType::kBinary, 255), col("Name1", ColumnType::kText, 255),
                    col("Name2", ColumnType::kText, 255), col("Expression", ColumnType::kMemo),
                    col("Flag", ColumnType::kInteger), col("LvExtra", ColumnType::kLong)},
                   true, 0, kTablesContainerId, {{"ObjectIdAttribute", {0, 1, 2}, kUnique, true}});
    db->buildTable("MSysRelationships",
                   {col("szRelationship", ColumnType::kText, 64), col("grbit", ColumnType::kLong),
                    col("ccolumn", ColumnType::kLong), col("icolumn", ColumnType::kLong),
                    col("szObject", ColumnType::kText, 64), col("szColumn", ColumnType::kText, 64),
                    col("szReferencedObject", ColumnType::kText, 64),
                    col("szReferencedColumn", ColumnType::kText, 64)},
                   true, 0, kTablesContainerId,
                   {{"szRelationship", {0}, kIgnoreNulls, false},
                    {"szObject", {4}, kIgnoreNulls, false},
                    {"szReferencedObject", {6}, kIgnoreNulls, false}});
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
