#pragma once
// The Jet 4 / ACE database engine's public face: open or create a database file, read
// its catalogue, create and drop tables, insert and scan rows. The SQL front end drives
// it; the ADO layer's Access provider owns one Database per open connection.
//
// Every operation either completes and is in the file when it returns (written through
// the I/O seam, not necessarily synced; Close syncs) or throws qv::DbError and leaves
// the file as it was or at least openable with everything that returned before.
//
// Notes for callers:
// - Values the engine rejects throw DbError(kErrSql, text) with the engine's own text;
//   the "SQL error: " prefix is the front end's to add.
// - A Table* stays valid until its table is dropped or the Database is destroyed.
// - A file that cannot be opened for writing opens read-only; changes then throw.
// - Inserts keep a table's indexes, those of tables made here (createTable with indexes,
//   createIndex) too.
//   A text whose index key its sort order cannot give (a letter the language places
//   where we do not know, see sort_order.h) is refused, table names included.
// - Jet 3 (Access 97) files are read, never changed: their data pages, definitions,
//   code-page texts and index keys follow older rules that no independent writer we
//   can check against produces, and a wrong guess would damage a user's database.
// - A password-encrypted .accdb (Agile or RC4 CryptoAPI) and an RC4-encoded .mdb are
//   read and written like plain files; createDatabase encrypts an .accdb given a
//   password.
// - While a Database is open for writing it holds the file's lock and keeps a lock file
//   (.ldb / .laccdb) beside it; another open for writing then gets read access only.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "db/io/env.h"
#include "db/jet/storage/column_type.h"
#include "db/jet/file/format.h"
#include "db/jet/storage/value.h"

namespace qv::jet {

// An index to create: its columns by name (ascending or not), and what it demands.
struct IndexDef {
  struct Column {
    std::string name;
    bool ascending = true;
  };
  std::string name;
  std::vector<Column> columns;
  bool primaryKey = false;  // unique and required; one per table
  bool unique = false;
  bool required = false;     // no Null in any of its columns (DISALLOW NULL)
  bool ignoreNulls = false;  // rows whose key is all Null stay out of it (IGNORE NULL)
};

enum class ObjectKind : uint8_t { kUserTable, kSystemTable, kLinkedTable, kQuery, kOther };

struct CatalogEntry {
  std::string name;
  ObjectKind kind = ObjectKind::kOther;
  int32_t objectId = 0;
  int16_t type = 0;   // MSysObjects.Type
  int32_t flags = 0;  // MSysObjects.Flags
};

// Forward-only reader over a table's rows.
class RowCursor {
 public:
  virtual ~RowCursor() = default;
  // Fills row with one value per column (in column order); false at the end.
  virtual bool next(std::vector<Value>& row) = 0;
};

class Table {
 public:
  virtual ~Table() = default;
  virtual const std::string& name() const = 0;
  virtual const std::vector<ColumnDef>& columns() const = 0;
  virtual int64_t rowCount() const = 0;
  // values holds one entry per column, in column order (Null for an omitted column;
  // an AutoNumber column given Null gets the next number). Values must already have
  // the column's kind (the SQL front end converts); the engine checks ranges and
  // lengths and throws DbError(kErrSql, ...) for a value that does not fit.
  virtual void insert(std::span<const Value> values) = 0;
  // Inserts several rows given one after the other (columns().size() values each), as
  // insert() would one by one, but with far fewer writes: use it for a run of rows.
  // When it returns every row is in the file. When it throws, the failing row and those
  // after it have not reached the file, and of the rows before it the first
  // *rowsInFile (when given) have; the others have not either. A row rejected for its
  // values (DbError kErrSql) finds every row before it in the file unless the table
  // has indexes.
  virtual void insertRows(std::span<const Value> values, size_t* rowsInFile = nullptr);
  virtual std::unique_ptr<RowCursor> scan() = 0;
};

class Database {
 public:
  virtual ~Database() = default;

  virtual Format format() const = 0;
  virtual const std::string& path() const = 0;
  virtual std::vector<CatalogEntry> catalog() = 0;
  // Case-insensitive lookup of a user table; nullptr when there is none.
  virtual Table* table(const std::string& name) = 0;
  virtual Table& createTable(const std::string& name, const std::vector<ColumnDef>& columns) = 0;
  // Creates a table with indexes (its primary key among them), kept on every insert.
  virtual Table& createIndexedTable(const std::string& name, const std::vector<ColumnDef>& columns,
                                    const std::vector<IndexDef>& indexes);
  // Adds an index to a table and enters every row it holds; throws DbError(kErrSql) and
  // changes nothing when a row breaks it (a duplicate key in a unique index, a Null in a
  // required one), or when the table's definition is not one this engine rewrites.
  virtual void createIndex(const std::string& table, const IndexDef& index);
  virtual void dropTable(const std::string& name) = 0;
  // Makes everything durable and releases the file. Further calls throw.
  virtual void close() = 0;
};

// The end of the message that refuses to change an Access 97 database.
inline constexpr const char* kJet3Reason =
    ": its pages, texts and indexes follow the older rules of Access 97. Let Access convert it to the Access "
    "2000 format or later, and use the converted copy.";

struct OpenOptions {
  std::string password;  // empty: none
  bool readOnly = false;
  // Fail, with the reason, when the database cannot be changed (another program has it
  // open, the file may not be written, an Access 97 database, an incomplete last page)
  // instead of opening it for reading only.
  bool requireWritable = false;
  io::Env* env = nullptr;  // nullptr: io::defaultEnv()
};

// Opens an existing database. Throws DbError naming the file when it is missing, not an
// Access database, damaged, of an unknown version, or the password is wrong
// ("Not a valid password.").
std::unique_ptr<Database> openDatabase(const std::string& path, const OpenOptions& options = {});

// The language word of the General sort order.
constexpr uint16_t kGeneralSortOrder = 0x0409;

// Creates a new, empty database (the file must not exist) whose text sorts in the order
// of `sortLanguage` (General: legacy in Jet 4, the 2010 one in ACE 14 and later; other
// languages: their version-0 order).
std::unique_ptr<Database> createDatabase(const std::string& path, Format format, const OpenOptions& options = {},
                                         uint16_t sortLanguage = kGeneralSortOrder);

}  // namespace qv::jet
