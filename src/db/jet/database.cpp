// Opening a database, its catalogue, page allocation and closing.

#include <algorithm>
#include <chrono>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/file/office_crypto.h"
#include "db/jet/database_impl.h"
#include "db/jet/file/journal.h"
#include "db/jet/storage/row_codec.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/base/text.h"
#include "db/jet/storage/usage_map.h"

namespace qv::jet {
namespace {

constexpr uint32_t kGlobalMap = 1u << 8;  // page 1, row 0

int columnIndex(const TableDef& def, const char* name) {
  for (size_t i = 0; i < def.columns.size(); ++i)
    if (foldName(def.columns[i].def.name) == foldName(name)) return static_cast<int>(i);
  return -1;
}

}  // namespace

double nowAsOleDate() {
  using namespace std::chrono;
  auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
  // 1970-01-01 is day 25569 of Jet's calendar.
  return 25569.0 + static_cast<double>(ms) / 86400000.0;
}

DatabaseImpl::DatabaseImpl(std::unique_ptr<Pager> pager, DatabaseHeader header, std::string path)
    : pager_(std::move(pager)), header_(std::move(header)), path_(std::move(path)) {}

DatabaseImpl::~DatabaseImpl() {
  if (!closed_) {
    try {
      close();
    } catch (...) {
    }
  }
}

void DatabaseImpl::load() {
  tables_.clear();
  catalogTable_.reset();
  TableDef def = readTableDef(*pager_, kCatalogPage, "MSysObjects");
  for (const char* needed : {"Id", "ParentId", "Name", "Type", "Flags"})
    if (columnIndex(def, needed) < 0)
      throw DbError(kErrFormat, "'" + path_ + "' is damaged (the catalogue lacks its " + needed + " column)");
  catalogTable_ = std::make_unique<TableImpl>(*this, "MSysObjects", std::move(def));
  for (const CatalogRow& r : catalogRows())
    if (r.type == kTypeContainer && foldName(r.name) == "TABLES") tablesContainerId_ = r.id;
}

void DatabaseImpl::reloadDefinitions() {
  if (catalogTable_) {
    catalogTable_->def() = readTableDef(*pager_, kCatalogPage, "MSysObjects");
    catalogTable_->forgetInsertPage();
  }
  for (auto& [key, t] : tables_) {
    t->def() = readTableDef(*pager_, t->def().page, t->name());
    t->forgetInsertPage();
  }
  freeCandidates_.reset();
  unmarked_.clear();
  usageMapPage_ = 0;
}

void DatabaseImpl::setCatalogTable(std::unique_ptr<TableImpl> t) { catalogTable_ = std::move(t); }

std::vector<CatalogRow> DatabaseImpl::catalogRows() {
  if (closed_) throw DbError(kErrGeneric, "'" + path_ + "' is closed");
  const TableDef& def = catalogTable_->def();
  int iId = columnIndex(def, "Id"), iParent = columnIndex(def, "ParentId"), iName = columnIndex(def, "Name"),
      iType = columnIndex(def, "Type"), iFlags = columnIndex(def, "Flags");
  std::vector<CatalogRow> out;
  std::vector<Value> row;
  const Layout& l = pager_->layout();
  std::string what = "'" + path_ + "' (catalogue)";
  for (uint32_t page : catalogTable_->dataPages()) {
    const uint8_t* p = pager_->read(page);
    uint32_t count = dataRowCount(p, l);
    for (uint32_t r = 0; r < count; ++r) {
      std::span<const uint8_t> bytes;
      if (!liveRow(*pager_, p, r, &bytes, what)) continue;
      decodeRow(*pager_, def, bytes, row, what);
      CatalogRow c;
      c.id = static_cast<int32_t>(row[static_cast<size_t>(iId)].i);
      c.parentId = static_cast<int32_t>(row[static_cast<size_t>(iParent)].i);
      c.name = row[static_cast<size_t>(iName)].s;
      c.type = static_cast<int16_t>(row[static_cast<size_t>(iType)].i);
      c.flags = static_cast<int32_t>(row[static_cast<size_t>(iFlags)].i);
      c.pointer = makePointer(page, r);
      out.push_back(std::move(c));
    }
  }
  return out;
}

std::vector<CatalogEntry> DatabaseImpl::catalog() {
  std::vector<CatalogEntry> out;
  for (const CatalogRow& r : catalogRows()) {
    CatalogEntry e;
    e.name = r.name;
    e.objectId = r.id;
    e.type = r.type;
    e.flags = r.flags;
    bool system = isSystemObject(r.flags);
    switch (r.type) {
      case kTypeTable: e.kind = system ? ObjectKind::kSystemTable : ObjectKind::kUserTable; break;
      case kTypeOdbcTable:
      case kTypeLinkedTable: e.kind = ObjectKind::kLinkedTable; break;
      case kTypeQuery: e.kind = ObjectKind::kQuery; break;
      default: e.kind = ObjectKind::kOther; break;
    }
    out.push_back(std::move(e));
  }
  return out;
}

TableImpl* DatabaseImpl::findTable(const std::string& name, bool userOnly) {
  if (closed_) throw DbError(kErrGeneric, "'" + path_ + "' is closed");
  std::string key = foldName(name);
  if (key == "MSYSOBJECTS") return catalogTable_.get();
  auto it = tables_.find(key);
  if (it != tables_.end()) return it->second.get();
  for (const CatalogRow& r : catalogRows()) {
    if (r.type != kTypeTable || foldName(r.name) != key) continue;
    bool system = isSystemObject(r.flags);
    if (userOnly && system) continue;
    uint32_t page = static_cast<uint32_t>(r.id) & 0x00FFFFFF;
    if (page == kCatalogPage) return catalogTable_.get();
    auto t = std::make_unique<TableImpl>(*this, r.name, readTableDef(*pager_, page, r.name));
    auto* raw = t.get();
    tables_[key] = std::move(t);
    return raw;
  }
  return nullptr;
}

Table* DatabaseImpl::table(const std::string& name) { return findTable(name, false); }

TableImpl& DatabaseImpl::systemTable(const std::string& name) {
  TableImpl* t = findTable(name, false);
  if (!t) throw DbError(kErrFormat, "'" + path_ + "' has no " + name + " table");
  return *t;
}

namespace {

DbError jet3Refusal(const std::string& path) {
  return DbError(
      kErrGeneric,
      "'" + path + "' is an Access 97 (Jet 3) database, which this program reads but does not change" + kJet3Reason);
}

DbError inUseRefusal(const std::string& path) {
  return DbError(kErrLocked,
                 "'" + path + "' is open in another program; it cannot be changed until that program closes it");
}

}  // namespace

void DatabaseImpl::checkWritable() {
  if (closed_) throw DbError(kErrGeneric, "'" + path_ + "' is closed");
  if (header_.format == Format::kJet3) throw jet3Refusal(path_);
  if (inUse_) throw inUseRefusal(path_);
  if (pager_->readOnly()) throw DbError(kErrGeneric, "'" + path_ + "' is open read-only; it cannot be changed");
}

uint32_t DatabaseImpl::allocatePage(bool deferMark) {
  if (!freeCandidates_) {
    freeCandidates_.emplace();
    // The map marks the pages beyond the file's end free as well: only the file's own count.
    for (uint32_t page : readUsageMap(*pager_, kGlobalMap, "'" + path_ + "' (global usage map)", pager_->pageCount()))
      if (page > kCatalogPage) freeCandidates_->push_back(page);
    std::reverse(freeCandidates_->begin(), freeCandidates_->end());
  }
  uint32_t page = 0;
  while (!freeCandidates_->empty() && page == 0) {
    uint32_t candidate = freeCandidates_->back();
    freeCandidates_->pop_back();
    if (candidate >= pager_->pageCount()) continue;
    // Reuse only pages that hold nothing at all: a page the map calls free but that
    // still has content may belong to something the map forgot.
    const uint8_t* p = pager_->read(candidate);
    if (std::all_of(p, p + pager_->pageSize(), [](uint8_t b) { return b == 0; })) page = candidate;
  }
  if (page == 0) page = pager_->append();
  unmarked_.push_back(page);
  if (!deferMark) markAllocated();
  return page;
}

void DatabaseImpl::markAllocated() {
  std::vector<uint32_t> pages;
  pages.swap(unmarked_);
  for (uint32_t page : pages) markUsed(page);
}

void DatabaseImpl::markUsed(uint32_t page) {
  std::vector<uint32_t> extra;
  setUsageBit(*pager_, kGlobalMap, page, false, true, [&] {
    uint32_t np = pager_->append();
    extra.push_back(np);
    return np;
  });
  for (uint32_t np : extra)
    setUsageBit(*pager_, kGlobalMap, np, false, true,
                [&]() -> uint32_t { throw fileError(kErrGeneric, path_, "the global usage map cannot grow further"); });
}

void DatabaseImpl::releasePage(uint32_t page) {
  pager_->overwrite(page);
  setUsageBit(*pager_, kGlobalMap, page, true, true, [this] { return pager_->append(); });
  if (freeCandidates_) freeCandidates_->insert(freeCandidates_->begin(), page);
}

uint32_t DatabaseImpl::newUsageMapRow(uint32_t firstPage) {
  std::vector<uint8_t> row = emptyUsageMapRow(pager_->layout(), firstPage);
  if (usageMapPage_ == 0 ||
      !dataRowFits(pager_->read(usageMapPage_), pager_->layout(), static_cast<uint32_t>(row.size()))) {
    usageMapPage_ = allocatePage();
    initDataPage(pager_->overwrite(usageMapPage_), pager_->layout(), 0);
  }
  uint32_t r = appendDataRow(*pager_, usageMapPage_, row);
  return makePointer(usageMapPage_, r);
}

void DatabaseImpl::close() {
  if (closed_) throw DbError(kErrGeneric, "'" + path_ + "' is already closed");
  closed_ = true;
  pager_->sync();
  lock_.reset();
}

bool DatabaseImpl::sortOrderSupported() const {
  return textKeyEncoder(header_.sortLanguage, header_.sortVersion) != nullptr;
}

void DatabaseImpl::checkCatalogIndexes() {
  if (!sortOrderSupported())
    throw DbError(kErrGeneric,
                  "'" + path_ + "' uses the sort order " + sortOrderName(header_.sortLanguage, header_.sortVersion) +
                      ", which this program cannot encode; it cannot be changed without damaging its indexes");
  for (const char* name : {"MSysObjects", "MSysACEs"}) {
    TableImpl* t = findTable(name, false);
    if (!t) continue;
    if (auto problem = t->indexProblem())
      throw fileError(kErrGeneric, path_,
                      "the indexes of its catalogue table " + std::string(name) +
                          " cannot be kept, so tables cannot be created or dropped (" + *problem + ")");
  }
}

uint32_t DatabaseImpl::allocateIndexPage(uint32_t usageMap) {
  uint32_t page = allocatePage();
  if (usageMap != 0) setUsageBit(*pager_, usageMap, page, true, false, [this] { return allocatePage(); });
  return page;
}

void DatabaseImpl::releaseIndexPage(uint32_t usageMap, uint32_t page) {
  if (usageMap != 0) setUsageBit(*pager_, usageMap, page, false, false, [this] { return allocatePage(); });
  releasePage(page);
}

void Table::insertRows(std::span<const Value> values, size_t* rowsInFile) {
  if (rowsInFile) *rowsInFile = 0;
  const size_t n = columns().size();
  if (n == 0 || values.size() % n != 0)
    throw DbError(kErrSql, "Table '" + name() + "' has " + std::to_string(n) + " columns, but " +
                               std::to_string(values.size()) + " values were given.");
  for (size_t at = 0; at < values.size(); at += n) {
    insert(values.subspan(at, n));
    if (rowsInFile) ++*rowsInFile;
  }
}

std::unique_ptr<Database> openDatabase(const std::string& path, const OpenOptions& options) {
  io::Env& env = options.env ? *options.env : io::defaultEnv();
  if (!env.exists(path)) throw DbError(kErrNotFound, "'" + path + "' does not exist");
  std::unique_ptr<io::File> file;
  bool readOnly = options.readOnly;
  if (readOnly) {
    file = env.open(path, io::OpenMode::kRead);
  } else {
    try {
      file = env.open(path, io::OpenMode::kReadWrite);
    } catch (const DbError& e) {
      if (options.requireWritable) {
        // The reason is what the system said after the last ": " of the message.
        const std::string what = e.what();
        const size_t at = what.rfind(": ");
        throw DbError(e.number(), "'" + path + "' cannot be opened for writing (" +
                                      (at == std::string::npos ? what : what.substr(at + 2)) +
                                      "); it cannot be changed");
      }
      // A file we may not write is still readable: writes then fail with a clear error.
      file = env.open(path, io::OpenMode::kRead);
      readOnly = true;
    }
  }
  // A writer holds the database file's lock until it closes the database; a second
  // writer gets read access only.
  std::unique_ptr<LockFile> lock;
  bool inUse = false;
  if (!readOnly) {
    lock = LockFile::acquire(env, path);
    inUse = !lock;
    readOnly = inUse;
    if (inUse && options.requireWritable) throw inUseRefusal(path);
  }
  // A change that a killed run left half written is taken back first -- unless another
  // program has the database open: it may be writing that change right now.
  if (!readOnly) {
    recoverJournal(env, path, *file);
  } else if (!inUse && env.exists(journalPath(path))) {
    try {
      std::unique_ptr<io::File> writable = env.open(path, io::OpenMode::kReadWrite);
      if (auto held = LockFile::acquire(env, path)) recoverJournal(env, path, *writable);
    } catch (const DbError&) {
      // Not ours to write: read it as it is.
    }
  }
  uint64_t size = file->size();
  std::vector<uint8_t> first(std::min<uint64_t>(size, 4096));
  if (!first.empty()) file->readExact(0, first.data(), first.size());
  DatabaseHeader header = decodeHeader(first, size, path);
  bool jet = header.format == Format::kJet3 || header.format == Format::kJet4;
  // An .accdb with a page-encoding key is password-encrypted; the password is checked
  // against its encryption description rather than the header's password field.
  std::unique_ptr<PageCodec> codec;
  if (header.encodingKey != 0)
    codec =
        jet ? makeRc4PageCodec(header.encodingKey) : openOfficeCodec(first, header.encodingKey, options.password, path);
  if (jet && !header.password.empty() && header.password != options.password)
    throw DbError(kErrPassword, "Not a valid password.");
  if (options.requireWritable && header.format == Format::kJet3) throw jet3Refusal(path);
  Layout layout = layoutFor(header.format);
  if (size % layout.pageSize != 0) {
    // A partial last page: read what is whole, refuse to write.
    if (options.requireWritable)
      throw DbError(kErrFormat, "'" + path + "' ends in an incomplete page; it can be read but not changed");
    readOnly = true;
  }
  auto pager = std::make_unique<Pager>(std::move(file), layout, readOnly);
  if (codec) pager->setCodec(std::move(codec));
  if (!readOnly) pager->setJournal(env, journalPath(path));
  auto db = std::make_unique<DatabaseImpl>(std::move(pager), header, path);
  db->load();
  db->setLock(std::move(lock), inUse);
  return db;
}

}  // namespace qv::jet
