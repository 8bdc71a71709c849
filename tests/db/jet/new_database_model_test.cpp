// A new database against the files that show what it must be: the two the database
// engine made without Access (the .mdb model) and the empty .accdb files Access made
// (the .accdb model, less what Access adds when it first opens a database). Page 0
// field by field, the pages and their kinds, every system table's definition entry by
// entry, the usage maps, the catalogue rows and the permission rows are compared; the
// only differences allowed are the fields named below, each with the reason it must
// differ. The new file also passes our check and both independent readers.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <map>
#include <set>

#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/raw_layout.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/storage/sid_mask.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::jet {
namespace {

using test::RawFile;
using test::RawTableDef;

std::string hex(uint64_t v) {
  char b[24];
  std::snprintf(b, sizeof b, "0x%llX", static_cast<unsigned long long>(v));
  return b;
}

std::string hex(const std::vector<uint8_t>& bytes) {
  std::string out;
  char b[4];
  for (uint8_t x : bytes) {
    std::snprintf(b, sizeof b, "%02x", x);
    out += b;
  }
  return out;
}

std::string list(const std::vector<uint32_t>& v) {
  std::string out = "[";
  for (size_t i = 0; i < v.size(); ++i) out += (i ? " " : "") + std::to_string(v[i]);
  return out + "]";
}

bool globMatch(const char* pattern, const char* text) {
  if (*pattern == 0) return *text == 0;
  if (*pattern == '*') return globMatch(pattern + 1, text) || (*text != 0 && globMatch(pattern, text + 1));
  return *text != 0 && *pattern == *text && globMatch(pattern + 1, text + 1);
}

// A field that may differ, and why. With oursMustBe, only while our value is that.
struct Allowed {
  const char* field;
  const char* reason;
  const char* oursMustBe = nullptr;
};

class Comparison {
 public:
  void expect(const std::string& field, const std::string& ours, const std::string& model) {
    if (ours != model) differences_.push_back({field, ours, model});
  }
  void expect(const std::string& field, uint64_t ours, uint64_t model) { expect(field, hex(ours), hex(model)); }
  // The differences no allowance explains, one line each.
  std::string unexplained(const std::vector<Allowed>& allowed) const {
    std::string out;
    for (const Difference& d : differences_) {
      bool explained = std::any_of(allowed.begin(), allowed.end(), [&](const Allowed& a) {
        return globMatch(a.field, d.field.c_str()) && (!a.oursMustBe || d.ours == a.oursMustBe);
      });
      if (!explained) out += d.field + ": ours " + d.ours + ", the model's " + d.model + "\n";
    }
    return out;
  }

 private:
  struct Difference {
    std::string field, ours, model;
  };
  std::vector<Difference> differences_;
};

// Page 0 of a Jet 4 / ACE file, region by region.
struct HeaderField {
  const char* name;
  uint32_t offset, length;
};
const HeaderField kHeaderFields[] = {{"start and engine name", 0x00, 0x14},
                                     {"version", 0x14, 1},
                                     {"ACE 14 mark", 0x15, 1},
                                     {"bytes 0x16-0x17", 0x16, 2},
                                     {"fixed words", 0x18, 8},
                                     {"catalogue pages", 0x20, 16},
                                     {"bytes 0x30-0x3B", 0x30, 12},
                                     {"code page", 0x3C, 2},
                                     {"encoding key", 0x3E, 4},
                                     {"password area", 0x42, 40},
                                     {"engine build", 0x6A, 4},
                                     {"sort order", 0x6E, 4},
                                     {"creation date", 0x72, 8},
                                     {"bytes 0x7A-0x97", 0x7A, 0x1E},
                                     {"version tail", 0x98, 8},
                                     {"bytes 0xA0-0x298", 0xA0, 0x1F9},
                                     {"encryption description", 0x299, 0xE00 - 0x299},
                                     {"commit counters", 0xE00, 4},
                                     {"commit slots", 0xE04, 0x1FC}};

void compareHeaders(Comparison& c, const RawFile& ours, const RawFile& model) {
  const std::vector<uint8_t> a = ours.header(), b = model.header();
  for (const HeaderField& f : kHeaderFields)
    c.expect(std::string("page 0: ") + f.name, hex({a.begin() + f.offset, a.begin() + f.offset + f.length}),
             hex({b.begin() + f.offset, b.begin() + f.offset + f.length}));
}

// The catalogue as rows: name -> (id, parent, type, flags, owner's account, long values present).
struct CatalogueRow {
  std::string name, owner, longValues;
  int64_t id = 0, parent = 0, type = 0, flags = 0;
  double created = 0, updated = 0;
};

std::string accountText(const std::string& sid) {
  if (std::optional<Account> a = accountOf(sid)) return accountName(*a);
  std::vector<uint8_t> b(sid.begin(), sid.end());
  return "unknown SID " + hex(b);
}

struct Contents {
  std::vector<CatalogueRow> catalogue;         // in the order stored
  std::vector<std::string> permissions;        // "object|account|rights|inheritable", in the order stored
  std::map<std::string, uint32_t> tablePages;  // table name -> definition page
};

Contents contentsOf(const std::string& path, const RawFile& raw) {
  Contents out;
  OpenOptions ro;
  ro.readOnly = true;
  auto db = openDatabase(path, ro);
  const SidMask mask = SidMask::fromStoredPage0(raw.storedHeader());
  auto index = [](const Table& t, const char* name) {
    for (size_t i = 0; i < t.columns().size(); ++i)
      if (t.columns()[i].name == name) return i;
    ADD_FAILURE() << t.name() << " has no column " << name;
    return size_t{0};
  };
  Table* objects = db->table("MSysObjects");
  std::map<int64_t, std::string> names;
  std::vector<Value> row;
  for (auto cursor = objects->scan(); cursor->next(row);) {
    CatalogueRow r;
    r.name = row[index(*objects, "Name")].s;
    r.id = row[index(*objects, "Id")].i;
    r.parent = row[index(*objects, "ParentId")].i;
    r.type = row[index(*objects, "Type")].i;
    r.flags = row[index(*objects, "Flags")].i & 0xFFFFFFFF;
    r.created = row[index(*objects, "DateCreate")].d;
    r.updated = row[index(*objects, "DateUpdate")].d;
    const Value& owner = row[index(*objects, "Owner")];
    r.owner = owner.isNull() ? "none" : accountText(mask.unmask(owner.s));
    for (const char* lv :
         {"Database", "Connect", "ForeignName", "RmtInfoShort", "RmtInfoLong", "Lv", "LvProp", "LvModule", "LvExtra"})
      if (!row[index(*objects, lv)].isNull()) r.longValues += std::string(r.longValues.empty() ? "" : " ") + lv;
    names[r.id] = r.name;
    if (r.type == 1) out.tablePages[r.name] = static_cast<uint32_t>(r.id & 0xFFFFFF);
    out.catalogue.push_back(r);
  }
  Table* aces = db->table("MSysACEs");
  for (auto cursor = aces->scan(); cursor->next(row);) {
    const int64_t object = row[index(*aces, "ObjectId")].i;
    out.permissions.push_back((names.count(object) ? names[object] : hex(static_cast<uint64_t>(object))) + "|" +
                              accountText(mask.unmask(row[index(*aces, "SID")].s)) + "|" +
                              std::to_string(row[index(*aces, "ACM")].i) + "|" +
                              (row[index(*aces, "FInheritable")].b ? "inheritable" : "-"));
  }
  db->close();
  return out;
}

void compareTableDef(Comparison& c, const std::string& table, const RawFile& ours, const RawTableDef& a,
                     const RawFile& model, const RawTableDef& b) {
  const std::string t = table + ": ";
  c.expect(t + "definition length", a.length, b.length);
  c.expect(t + "definition pages", a.pages.size(), b.pages.size());
  c.expect(t + "magic", a.magic, b.magic);
  c.expect(t + "row count", a.rowCount, b.rowCount);
  c.expect(t + "autonumber", a.autoNumber, b.autoNumber);
  c.expect(t + "autonumber flag", a.scratch[0], b.scratch[0]);
  c.expect(t + "scratch", hex({a.scratch.begin() + 1, a.scratch.end()}), hex({b.scratch.begin() + 1, b.scratch.end()}));
  c.expect(t + "table type", a.tableType, b.tableType);
  c.expect(t + "max columns", a.maxCols, b.maxCols);
  c.expect(t + "variable columns", a.varCols, b.varCols);
  c.expect(t + "owned-pages map", a.usedPages, b.usedPages);
  c.expect(t + "free-space map", a.freePages, b.freePages);
  c.expect(t + "owned pages", list(ours.usageMap(a.usedPages)), list(model.usageMap(b.usedPages)));
  c.expect(t + "free-space pages", list(ours.usageMap(a.freePages)), list(model.usageMap(b.freePages)));
  c.expect(t + "column entries", a.columns.size(), b.columns.size());
  for (size_t i = 0; i < std::min(a.columns.size(), b.columns.size()); ++i) {
    const test::RawColumn &x = a.columns[i], &y = b.columns[i];
    c.expect(t + "column entry " + std::to_string(i), x.name, y.name);
    const std::string col = t + "column " + y.name + ": ";
    c.expect(col + "type", x.type, y.type);
    c.expect(col + "magic", x.magic, y.magic);
    c.expect(col + "number", x.number, y.number);
    c.expect(col + "variable index", x.varIndex, y.varIndex);
    c.expect(col + "second number", x.number2, y.number2);
    c.expect(col + "sort order or precision", x.misc, y.misc);
    c.expect(col + "flags", x.flags, y.flags);
    c.expect(col + "extra flags", x.extraFlags, y.extraFlags);
    c.expect(col + "bytes 17-20", x.unknown, y.unknown);
    c.expect(col + ((y.flags & 0x01) ? "fixed offset" : "scratch offset"), x.fixedOffset, y.fixedOffset);
    c.expect(col + "length", x.length, y.length);
  }
  c.expect(t + "real indexes", a.realIndexes.size(), b.realIndexes.size());
  for (size_t i = 0; i < std::min(a.realIndexes.size(), b.realIndexes.size()); ++i) {
    const test::RawRealIndex &x = a.realIndexes[i], &y = b.realIndexes[i];
    const std::string ri = t + "real index " + std::to_string(i) + ": ";
    c.expect(ri + "distinct keys", x.distinctKeys, y.distinctKeys);
    c.expect(ri + "magic", x.magic, y.magic);
    // Ten slots of a column number and an order byte; the engine leaves the order byte
    // of an unused slot (number FFFF) as its buffer held it.
    auto slots = [](const std::vector<uint8_t>& bytes, bool used) {
      std::vector<uint8_t> out;
      for (size_t k = 0; k + 3 <= bytes.size(); k += 3)
        if ((bytes[k] == 0xFF && bytes[k + 1] == 0xFF) != used)
          out.insert(out.end(), bytes.begin() + static_cast<long>(k), bytes.begin() + static_cast<long>(k + 3));
      return out;
    };
    c.expect(ri + "columns", hex(slots(x.columns, true)), hex(slots(y.columns, true)));
    c.expect(ri + "unused column slots", hex(slots(x.columns, false)), hex(slots(y.columns, false)));
    c.expect(ri + "flags", x.flags, y.flags);
    c.expect(ri + "tail", hex(x.tail), hex(y.tail));
    c.expect(ri + "scratch", x.scratch, y.scratch);
    c.expect(ri + "map", x.usageMap, y.usageMap);
    c.expect(ri + "first page", x.firstPage, y.firstPage);
    c.expect(ri + "pages", list(ours.usageMap(x.usageMap)), list(model.usageMap(y.usageMap)));
    // Each index's first page is in its own map, an index page of this table.
    const std::vector<uint32_t> own = ours.usageMap(x.usageMap);
    std::span<const uint8_t> first = ours.page(x.firstPage);
    const bool sound = std::count(own.begin(), own.end(), x.firstPage) == 1 && (first[0] == 3 || first[0] == 4) &&
                       (first[4] | first[5] << 8 | first[6] << 16) == static_cast<int>(a.pages[0]);
    c.expect(ri + "first page is an index page of its own", sound ? "yes" : "no", "yes");
  }
  c.expect(t + "logical indexes", a.logicalIndexes.size(), b.logicalIndexes.size());
  for (size_t i = 0; i < std::min(a.logicalIndexes.size(), b.logicalIndexes.size()); ++i) {
    c.expect(t + "logical index " + std::to_string(i), a.logicalIndexes[i].name, b.logicalIndexes[i].name);
    c.expect(t + "index " + b.logicalIndexes[i].name + ": entry", hex(a.logicalIndexes[i].bytes),
             hex(b.logicalIndexes[i].bytes));
  }
  std::vector<uint32_t> ac(a.longValueColumns.begin(), a.longValueColumns.end()),
      bc(b.longValueColumns.begin(), b.longValueColumns.end());
  c.expect(t + "long-value columns", list(ac), list(bc));
  c.expect(t + "long-value maps", list(a.longValueMaps), list(b.longValueMaps));
}

// What kind each page is: the header, data pages of a table (by name) or of usage
// maps, definitions, index pages of a table.
std::vector<std::string> pageKinds(const RawFile& f, const std::map<std::string, uint32_t>& tables) {
  std::map<uint32_t, std::string> byPage;
  for (const auto& [name, page] : tables) byPage[page] = name;
  auto owner = [&](uint32_t page) {
    return byPage.count(page) ? byPage[page] : page == 0 ? "none" : "page " + std::to_string(page);
  };
  std::vector<std::string> kinds;
  for (uint32_t p = 0; p < f.pageCount(); ++p) {
    std::span<const uint8_t> b = f.page(p);
    const uint32_t link = b[4] | b[5] << 8 | b[6] << 16 | static_cast<uint32_t>(b[7]) << 24;
    switch (b[0]) {
      case 0: kinds.push_back(p == 0 ? "header" : "empty"); break;
      case 1: kinds.push_back(p == 1 ? "global usage map" : link == 0 ? "usage maps" : "rows of " + owner(link)); break;
      case 2: kinds.push_back("definition of " + owner(p)); break;
      case 3:
      case 4: kinds.push_back("index page of " + owner(link)); break;
      default: kinds.push_back("page of type " + std::to_string(b[0])); break;
    }
  }
  return kinds;
}

void comparePages(Comparison& c, const std::vector<std::string>& ours, const std::vector<std::string>& model) {
  c.expect("file: pages", ours.size(), model.size());
  for (size_t p = 0; p < std::min(ours.size(), model.size()); ++p)
    c.expect("page " + std::to_string(p), ours[p], model[p]);
  std::map<std::string, int> a, b;
  for (const std::string& k : ours) ++a[k];
  for (const std::string& k : model) ++b[k];
  for (const auto& [kind, n] : b) c.expect("number of pages: " + kind, a.count(kind) ? a[kind] : 0, n);
  for (const auto& [kind, n] : a)
    if (!b.count(kind)) c.expect("number of pages: " + kind, n, 0);
}

void compareContents(Comparison& c, const Contents& ours, const Contents& model) {
  std::map<std::string, const CatalogueRow*> mine;
  for (const CatalogueRow& r : ours.catalogue) mine[r.name] = &r;
  std::vector<std::string> orderOurs, orderModel;
  for (const CatalogueRow& m : model.catalogue) {
    const std::string f = "catalogue row " + m.name + ": ";
    if (!mine.count(m.name)) {
      c.expect(f + "only in the model", "", "present");
      continue;
    }
    orderModel.push_back(m.name);
    const CatalogueRow& o = *mine[m.name];
    c.expect(f + "Id", static_cast<uint64_t>(o.id), static_cast<uint64_t>(m.id));
    c.expect(f + "ParentId", static_cast<uint64_t>(o.parent), static_cast<uint64_t>(m.parent));
    c.expect(f + "Type", static_cast<uint64_t>(o.type), static_cast<uint64_t>(m.type));
    c.expect(f + "Flags", static_cast<uint64_t>(o.flags), static_cast<uint64_t>(m.flags));
    c.expect(f + "Owner", o.owner, m.owner);
    c.expect(f + "long values", o.longValues, m.longValues);
    c.expect(f + "DateCreate", std::to_string(o.created), std::to_string(m.created));
    c.expect(f + "DateUpdate", std::to_string(o.updated), std::to_string(m.updated));
  }
  std::set<std::string> inModel;
  for (const CatalogueRow& m : model.catalogue) inModel.insert(m.name);
  for (const CatalogueRow& o : ours.catalogue) {
    if (inModel.count(o.name)) orderOurs.push_back(o.name);
    else c.expect("catalogue row " + o.name + ": only in ours", "present", "");
  }
  std::string a, b;
  for (const std::string& n : orderOurs) a += n + " ";
  for (const std::string& n : orderModel) b += n + " ";
  c.expect("catalogue: order of rows", a, b);

  std::multiset<std::string> pa(ours.permissions.begin(), ours.permissions.end()),
      pb(model.permissions.begin(), model.permissions.end());
  for (const std::string& p : pb)
    if (pa.count(p) < pb.count(p) && p != "") c.expect("permission " + p + ": only in the model", "", "present");
  for (const std::string& p : pa)
    if (pb.count(p) < pa.count(p)) c.expect("permission " + p + ": only in ours", "present", "");
  std::string oa, ob;
  for (const std::string& p : ours.permissions) oa += p + "; ";
  for (const std::string& p : model.permissions) ob += p + "; ";
  c.expect("permissions: order of rows", oa, ob);
}

// Compares a database we create with a model; returns what the allowances leave.
std::string compareWithModel(const std::string& ours, const std::string& model, const std::vector<Allowed>& allowed) {
  RawFile a(ours), b(model);
  Comparison c;
  compareHeaders(c, a, b);
  const Contents ca = contentsOf(ours, a), cb = contentsOf(model, b);
  compareContents(c, ca, cb);
  comparePages(c, pageKinds(a, ca.tablePages), pageKinds(b, cb.tablePages));
  for (const auto& [name, page] : ca.tablePages) {
    if (!cb.tablePages.count(name)) continue;
    compareTableDef(c, name, a, a.tableDef(page), b, b.tableDef(cb.tablePages.at(name)));
  }
  return c.unexplained(allowed);
}

// What must differ in every comparison.
const std::vector<Allowed> kAlways = {
    {"page 0: creation date", "when the file was made"},
    {"page 0: password area", "an empty password is stored masked with the creation date's day"},
    {"catalogue row *: DateCreate", "when the objects were made"},
    {"catalogue row *: DateUpdate", "when the objects were made"},
    {"*: column *: scratch offset",
     "a variable column has no fixed offset; the engine leaves there whatever its buffer held"},
    {"*: real index *: scratch", "4 bytes after an index's first page that the engine leaves as its buffer held them"},
    {"*: scratch", "15 bytes after a definition's autonumber flag that the engine leaves as its buffer held them"},
    {"*: real index *: unused column slots",
     "the engine leaves the order byte of an unused slot as its buffer held it"},
};

std::vector<Allowed> with(std::vector<Allowed> a, const std::vector<Allowed>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

void expectSoundAndReadable(const std::string& path) {
  EXPECT_EQ(checkDatabase(path), std::vector<std::string>{}) << path;
  // A table with rows, read back by both independent readers.
  auto db = openDatabase(path, {});
  Table& t = db->createTable(
      "Probe", {column("N", ColumnType::kLong), column("S", ColumnType::kText, 40), column("M", ColumnType::kMemo)});
  for (int i = 0; i < 30; ++i)
    t.insert(std::vector<Value>{Value::integer(i), Value::text("row " + std::to_string(i)),
                                Value::text(std::string(300, 'm'))});
  EXPECT_EQ(checkDatabase(path), std::vector<std::string>{}) << path;
  if (test::mdbReaderAvailable()) {
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {"Probe"}), "") << path;
  } else if (test::underCi()) {
    ADD_FAILURE() << "mdb-reader is not installed";
  }
  db->close();
  if (test::mdbtoolsAvailable()) {
    EXPECT_EQ(test::mdbtoolsTables(path), std::vector<std::string>{"Probe"}) << path;
    EXPECT_EQ(test::mdbtoolsCount(path, "Probe"), 30) << path;
  } else if (test::underCi()) {
    ADD_FAILURE() << "mdbtools is not installed";
  }
}

TEST(JetNewDatabase, MdbIsLaidOutAsTheEngineLaysOutANewDatabase) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string path = dir.file("new.mdb");
  createDatabase(path, Format::kJet4)->close();
  // The model made through the engine's own object library: the same pages, page by page.
  EXPECT_EQ(compareWithModel(path, test::testdataDir() + "/access/jackcess/adox_jet4.mdb",
                             with(kAlways, {{"page 0: engine build",
                                             "the model was made by Jet 4.0 (build 9756); ours carries the build of "
                                             "ACE 12 (4518), as the other engine-made model and every .accdb do"}})),
            "");
  // The other engine-made model keeps each table's usage maps on a page of its own, so
  // every page after page 5 sits elsewhere; the pages' kinds and contents are the same.
  const char* elsewhere = "the model keeps each table's usage maps on a page of its own (pages 6, 9, 11 and 13)";
  EXPECT_EQ(compareWithModel(path, test::testdataDir() + "/access/jackcess/resources/emptyJet4.mdb",
                             with(kAlways, {{"page *", elsewhere},
                                            {"number of pages: usage maps", elsewhere},
                                            {"file: pages", elsewhere},
                                            {"*: owned-pages map", elsewhere},
                                            {"*: free-space map", elsewhere},
                                            {"*: free-space pages", elsewhere},
                                            {"*: owned pages", elsewhere},
                                            {"*: real index *: map", elsewhere},
                                            {"*: real index *: first page", elsewhere},
                                            {"*: real index *: pages", elsewhere},
                                            {"*: long-value maps", elsewhere}})),
            "");
  expectSoundAndReadable(path);
}

// What Access adds when it first opens a new database, and what it changes then.
const std::vector<Allowed> kAccessFirstOpen = {
    {"catalogue row DataAccessPages: only in the model", "a container of Access's own objects"},
    {"catalogue row Forms: only in the model", "a container of Access's own objects"},
    {"catalogue row Modules: only in the model", "a container of Access's own objects"},
    {"catalogue row Reports: only in the model", "a container of Access's own objects"},
    {"catalogue row Scripts: only in the model", "a container of Access's own objects"},
    {"catalogue row SysRel: only in the model", "a container of Access's own objects"},
    {"catalogue row AccessLayout: only in the model", "Access's documents"},
    {"catalogue row SummaryInfo: only in the model", "Access's documents"},
    {"catalogue row UserDefined: only in the model", "Access's documents"},
    {"catalogue row MSysAccessStorage: only in the model", "Access's own tables"},
    {"catalogue row MSysNavPane*: only in the model", "Access's own tables"},
    {"catalogue row MSysResources: only in the model", "Access's own tables"},
    {"catalogue row MSysWSDP*: only in the model", "Access's own tables"},
    {"catalogue row f_*_Data: only in the model", "the attachment table of MSysResources"},
    {"catalogue row MSysDb: long values", "Access keeps the database's properties in MSysDb.LvProp"},
    {"permission DataAccessPages|*", "rights on Access's own objects"},
    {"permission AccessLayout|*", "rights on Access's documents"},
    {"permission SummaryInfo|*", "rights on Access's documents"},
    {"permission UserDefined|*", "rights on Access's documents"},
    {"permission Forms|*", "rights on Access's own objects"},
    {"permission Modules|*", "rights on Access's own objects"},
    {"permission Reports|*", "rights on Access's own objects"},
    {"permission Scripts|*", "rights on Access's own objects"},
    {"permission SysRel|*", "rights on Access's own objects"},
    {"permission MSysAccessStorage|*", "rights on Access's own objects"},
    {"permission MSysNavPane*|*", "rights on Access's own objects"},
    {"permission MSysResources|*", "rights on Access's own objects"},
    {"permission MSysWSDP*|*", "rights on Access's own objects"},
    {"permission f_*_Data|*", "rights on Access's own objects"},
    {"permission 0x*", "rights on Access's documents (no catalogue row of their own)"},
    {"permission *|a workgroup account|*: only in the model",
     "the rights of the Admins group of the workgroup Access ran in"},
    {"permission Tables|the Admin user|1048319|inheritable: only in the model",
     "Access raises the Admin user's rights on the Tables container when it opens a database"},
    {"permission Tables|the Admin user|393217|-: only in ours", "the engine's grant, which Access raises"},
    {"permissions: order of rows", "Access rewrites the permission rows when it adds its own"},
    {"catalogue row MSysComplex*: Id",
     "the Id of a table is the page of its definition, and Access's own objects take pages first"},
    {"MSysObjects: row count", "the rows of Access's own objects"},
    {"MSysObjects: real index *: distinct keys", "the rows of Access's own objects"},
    {"MSysACEs: row count", "the rows of Access's own objects"},
    {"MSysACEs: real index *: distinct keys", "the rows of Access's own objects"},
    {"MSysRelationships: row count", "relationships among Access's own tables"},
    {"MSysRelationships: real index *: distinct keys", "relationships among Access's own tables"},
    {"MSysComplexColumns: row count", "the attachment column of Access's MSysResources"},
    {"MSysComplexColumns: autonumber", "the attachment column of Access's MSysResources"},
    {"MSysComplexColumns: real index *: distinct keys", "the attachment column of Access's MSysResources"},
    {"page 0: commit counters", "the two counters Access advanced while it used the file"},
    {"page *", "Access's own objects take pages among the system tables'"},
    {"number of pages: *", "Access's own objects take pages among the system tables'"},
    {"file: pages", "Access's own objects take pages among the system tables'"},
    {"*: owned-pages map", "Access's own objects take pages among the system tables'"},
    {"*: free-space map", "Access's own objects take pages among the system tables'"},
    {"*: owned pages", "Access's own objects take pages among the system tables'"},
    {"*: free-space pages", "Access's own objects take pages among the system tables'"},
    {"*: real index *: map", "Access's own objects take pages among the system tables'"},
    {"*: real index *: first page", "Access's own objects take pages among the system tables'"},
    {"*: real index *: pages", "Access's own objects take pages among the system tables'"},
    {"*: long-value maps", "Access's own objects take pages among the system tables'"},
};

TEST(JetNewDatabase, AccdbHasWhatAccessMadeEmptyFilesHave) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  struct Model {
    Format format;
    const char* file;
  };
  for (const Model& m : {Model{Format::kAce12, "empty-v2007.accdb"}, Model{Format::kAce14, "empty-v2010.accdb"},
                         Model{Format::kAce16, "empty-v2016.accdb"}, Model{Format::kAce17, "empty-v2019.accdb"}}) {
    SCOPED_TRACE(m.file);
    const std::string path = dir.file(std::string("new-") + m.file);
    createDatabase(path, m.format)->close();
    EXPECT_EQ(compareWithModel(path, test::testdataDir() + "/access/jackcess-created/" + m.file,
                               with(kAlways, kAccessFirstOpen)),
              "");
    expectSoundAndReadable(path);
  }
}

// The encryption description with its values (salts, encrypted keys) taken out.
std::string descriptionShape(const std::vector<uint8_t>& storedPage0) {
  const uint32_t length = storedPage0[0x299] | storedPage0[0x29A] << 8;
  std::string d(storedPage0.begin() + 0x29B, storedPage0.begin() + 0x29B + std::min<uint32_t>(length, 0xB00));
  for (const char* attribute :
       {"saltValue=\"", "encryptedVerifierHashInput=\"", "encryptedVerifierHashValue=\"", "encryptedKeyValue=\""})
    for (size_t at = d.find(attribute); at != std::string::npos; at = d.find(attribute, at + 1)) {
      const size_t start = at + std::string(attribute).size();
      d.replace(start, d.find('"', start) - start, "...");
    }
  return d;
}

TEST(JetNewDatabase, EncryptedAccdbHeaderIsAsAccessWritesIt) {
  QV_REQUIRE_TESTDATA();
  test::TempDir dir;
  const std::string path = dir.file("secret.accdb");
  OpenOptions options;
  options.password = "sesam";
  createDatabase(path, Format::kAce14, options)->close();
  const std::string model = test::testdataDir() + "/access/mdb-reader/encryption/data/office-agile-4.4.accdb";
  RawFile ours(path), theirs(model);
  Comparison c;
  compareHeaders(c, ours, theirs);
  c.expect("page 0: encryption description without its values", descriptionShape(ours.storedHeader()),
           descriptionShape(theirs.storedHeader()));
  // The password area holds the low byte of the encoding key throughout, masked with
  // the creation date's day.
  auto filled = [](const RawFile& f) {
    const std::vector<uint8_t> h = f.header();
    double date;
    std::memcpy(&date, h.data() + 0x72, 8);
    const auto day = static_cast<uint32_t>(static_cast<int32_t>(std::floor(date)));
    for (uint32_t i = 0; i < 40; ++i)
      if ((h[0x42 + i] ^ static_cast<uint8_t>(day >> (8 * (i % 4)))) != h[0x3E]) return "no";
    return "yes";
  };
  c.expect("page 0: password area holds the key's low byte", filled(ours), filled(theirs));
  EXPECT_EQ(c.unexplained(
                with(kAlways, {{"page 0: encoding key", "a random key of each file"},
                               {"page 0: encryption description", "the salts and keys of each file"},
                               {"page 0: commit counters", "the two counters Access advanced while it used the file"},
                               {"page 0: sort order",
                                "the model keeps the legacy General sort order it was made with; a new "
                                "ACE 14 file takes the 2010 one, as Access 2010's new files do"}})),
            "");
  // Both readers and our check open it with the password.
  EXPECT_EQ(checkDatabase(path, options), std::vector<std::string>{});
  auto db = openDatabase(path, options);
  if (test::mdbReaderAvailable()) {
    EXPECT_EQ(test::compareWithMdbReader(path, *db, {}, "sesam"), "");
  } else if (test::underCi()) {
    ADD_FAILURE() << "mdb-reader is not installed";
  }
  db->close();
}

}  // namespace
}  // namespace qv::jet
