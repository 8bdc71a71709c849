// Every corpus table pxlib can read is read by us with the same values, cell by cell.
// Where pxlib 0.6.8 is known to be wrong the comparison says so and checks another way:
//   - it never unscrambles .mb blocks of encrypted tables: there the value must begin
//     with the field's leader, which holds a copy of the value's first bytes;
//   - a Bytes value whose first byte is 0 comes back as NULL: the raw bytes decide;
//   - NULL Long/Date/Time values may come back as numbers: the all-zero pattern decides;
//   - a Graphic kept in a shared .mb block comes back with its 8-byte prefix;
//   - BCD: pxlib prints every nibble, noise beyond the stored digits included, and reads
//     digits of a blank whose 0x40 bit is clear.
// Text is compared as bytes decoded with the table's character set, so that pxlib's own
// conversion (short buffers, raw memos) plays no part.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

#include "db/paradox/blob_file.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/table_writer.h"
#include "support/pxlib_table.h"
#include "support/temp_dir.h"
#include "support/testdata.h"
#include "writer_samples.h"

namespace qv::paradox {
namespace {

bool allZero(const char* p, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

std::string decoded(TableReader& r, const char* p, size_t n) {
  Transcoder t(r.charset(), "UTF-8");
  std::string out;
  t.convert(p, n, out);
  return out;
}

// Compares one table; returns the number of cells compared.
size_t compareTable(const std::string& path, std::string* skipped) {
  TableReader ours(path);
  const std::string mb = findBlobFile(path, io::defaultEnv());
  test::PxTable px(path, mb);
  if (!px.ok()) {
    *skipped += path + ": pxlib cannot open it (" + px.errors() + ")\n";
    return 0;
  }
  EXPECT_EQ(static_cast<uint64_t>(px.records()), ours.recordCount());
  EXPECT_EQ(px.fields(), static_cast<int>(ours.header().fields.size()));
  size_t cells = 0;
  std::vector<Value> row;
  std::vector<char> rec;
  for (int recno = 0; recno < px.records(); ++recno) {
    if (!ours.next(row)) {
      ADD_FAILURE() << path << ": we end before record " << recno;
      break;
    }
    if (!px.record(recno, rec)) {
      ADD_FAILURE() << path << ": pxlib cannot read record " << recno << ": " << px.errors();
      continue;
    }
    for (size_t i = 0; i < row.size(); ++i) {
      const FieldDef& f = ours.header().fields[i];
      pxfield_t* pf = px.field(static_cast<int>(i));
      char* data = rec.data() + f.offset;
      const Value& v = row[i];
      SCOPED_TRACE(path + " record " + std::to_string(recno) + " field " + f.name);
      ++cells;
      switch (f.type) {
        case FieldType::kAlpha: {
          char* s = nullptr;
          if (PX_get_data_alpha(px.doc(), data, pf->px_flen, &s) > 0 && s) {
            EXPECT_EQ(v.text, decoded(ours, s, std::strlen(s)));
            px.doc()->free(px.doc(), s);
          } else {
            EXPECT_TRUE(v.isNull());
          }
          break;
        }
        case FieldType::kShort: {
          short x = 0;
          if (PX_get_data_short(px.doc(), data, 2, &x) > 0) EXPECT_EQ(v.integer, x);
          else EXPECT_TRUE(v.isNull());
          break;
        }
        case FieldType::kLong:
        case FieldType::kAutoInc:
        case FieldType::kDate:
        case FieldType::kTime: {
          if (allZero(data, 4)) {
            EXPECT_TRUE(v.isNull());
            break;
          }
          long x = 0;
          EXPECT_GT(PX_get_data_long(px.doc(), data, 4, &x), 0);
          EXPECT_EQ(v.integer, static_cast<int32_t>(x));
          break;
        }
        case FieldType::kMoney:
        case FieldType::kNumber:
        case FieldType::kTimestamp: {
          double x = 0;
          if (PX_get_data_double(px.doc(), data, 8, &x) > 0) {
            if (f.type == FieldType::kTimestamp) EXPECT_EQ(v.integer, std::llround(x));
            else EXPECT_EQ(v.real, x);
          } else {
            EXPECT_TRUE(v.isNull());
          }
          break;
        }
        case FieldType::kLogical: {
          char x = 0;
          if (PX_get_data_byte(px.doc(), data, 1, &x) > 0) EXPECT_EQ(v.integer, x != 0 ? 1 : 0);
          else EXPECT_TRUE(v.isNull());
          break;
        }
        case FieldType::kBcd: {
          char* s = nullptr;
          const int r = PX_get_data_bcd(px.doc(), reinterpret_cast<unsigned char*>(data), pf->px_fdc, &s);
          std::string theirs = s ? s : "";
          if (s) px.doc()->free(px.doc(), s);
          if (r == 0 || (data[0] & 0x40) == 0) {
            // pxlib reads digits even where the 0x40 "value present" bit is clear.
            EXPECT_TRUE(v.isNull());
          } else if (r > 0 && !theirs.empty()) {
            theirs = theirs.substr(0, theirs.find_first_not_of("-0123456789."));
            if (!theirs.empty() && theirs.back() == '.') theirs.pop_back();
            if (v.text.find_first_not_of("0.") == std::string::npos && theirs[0] == '-') theirs.erase(0, 1);
            EXPECT_EQ(v.text, theirs);
          }
          break;
        }
        case FieldType::kBytes: {
          char* s = nullptr;
          if (PX_get_data_bytes(px.doc(), data, pf->px_flen, &s) > 0 && s) {
            EXPECT_EQ(v.text, std::string(s, static_cast<size_t>(pf->px_flen)));
            px.doc()->free(px.doc(), s);
          } else if (data[0] == 0 && !allZero(data, f.width)) {
            EXPECT_EQ(v.text, std::string(data, f.width)) << "pxlib reads a leading 0 byte as NULL";
          } else {
            EXPECT_TRUE(v.isNull());
          }
          break;
        }
        default: {  // blob types
          const uint32_t leader = f.width - 10;
          uint32_t length;
          std::memcpy(&length, data + leader + 4, 4);
          if (length == 0) {
            EXPECT_TRUE(v.isNull());
            break;
          }
          if (ours.encrypted() && length > leader) {
            // pxlib does not unscramble .mb blocks: the leader holds the value's start.
            const std::string start =
                f.type == FieldType::kMemo ? decoded(ours, data, leader) : std::string(data, leader);
            EXPECT_EQ(v.text.substr(0, start.size()), start);
            break;
          }
          int mod = 0, size = 0;
          char* s = nullptr;
          const int r = f.type == FieldType::kGraphic
                            ? PX_get_data_graphic(px.doc(), data, pf->px_flen, &mod, &size, &s)
                            : PX_get_data_blob(px.doc(), data, pf->px_flen, &mod, &size, &s);
          if (r <= 0 || !s) {
            ADD_FAILURE() << "pxlib cannot read the blob: " << px.errors();
            break;
          }
          std::string theirs(s, static_cast<size_t>(size));
          if (f.type == FieldType::kMemo) {
            EXPECT_EQ(v.text, decoded(ours, theirs.data(), theirs.size()));
          } else if (f.type == FieldType::kGraphic && v.text != theirs) {
            // In a shared block pxlib keeps the 8-byte prefix and drops the last 8 bytes.
            EXPECT_EQ(v.text, std::string(s + 8, static_cast<size_t>(size))) << "graphic of " << size << " bytes";
          } else {
            EXPECT_EQ(v.text, theirs);
          }
          px.doc()->free(px.doc(), s);
          break;
        }
      }
    }
  }
  EXPECT_FALSE(ours.next(row)) << "we deliver no more records than pxlib";
  return cells;
}

TEST(PxlibCrossCheck, EveryCorpusTableHasPxlibsValues) {
  QV_REQUIRE_TESTDATA();
  PX_boot();
  size_t cells = 0;
  int tables = 0;
  std::string skipped;
  for (const auto& path : test::corpusFiles("paradox", {".db"})) {
    if (path.find("not-a.DB") != std::string::npos) continue;   // not a table
    if (path.find("MEMBRE.DB") != std::string::npos) continue;  // its .mb is missing
    SCOPED_TRACE(path);
    const size_t n = compareTable(path, &skipped);
    if (n > 0) ++tables;
    cells += n;
  }
  PX_shutdown();
  EXPECT_GE(tables, 60) << skipped;
  EXPECT_GT(cells, 100000u);
  std::printf("compared %zu cells of %d tables with pxlib\n%s", cells, tables, skipped.c_str());
}

}  // namespace
}  // namespace qv::paradox

namespace qv::paradox {
namespace {

TEST(PxlibCrossCheck, TablesOfOurWriterReadTheSameThroughPxlib) {
  PX_boot();
  for (uint32_t key : {0u, 0x0A25E09Au}) {
    SCOPED_TRACE("key " + std::to_string(key));
    test::TempDir dir;
    WriterOptions options;
    options.encryption = key;
    const auto rows = test::sampleRows(120, 5);
    {
      TableWriter w(dir.file("sample.db"), test::sampleFields(), options);
      for (const auto& row : rows) w.append(row);
      w.finish();
    }
    std::string skipped;
    EXPECT_EQ(compareTable(dir.file("sample.db"), &skipped), rows.size() * test::sampleFields().size());
    EXPECT_EQ(skipped, "");
  }
  PX_shutdown();
}

// pxlib writes a table of every type it can put (its BCD writer reads before the start
// of a short text, so the texts it gets are padded inside a larger buffer).
TEST(PxlibCrossCheck, TablesPxlibWritesReadBackExactly) {
  PX_boot();
  test::TempDir dir;
  const std::string path = dir.file("pxlib.db");
  pxdoc_t* doc = PX_new();
  struct PxField {
    const char* name;
    char type;
    int len;
    int dc;
  };
  const PxField pxFields[] = {{"Name", pxfAlpha, 20, 0},  {"Born", pxfDate, 4, 0},      {"Count", pxfShort, 2, 0},
                              {"Big", pxfLong, 4, 0},     {"Price", pxfCurrency, 8, 0}, {"Ratio", pxfNumber, 8, 0},
                              {"Done", pxfLogical, 1, 0}, {"At", pxfTime, 4, 0},        {"Stamp", pxfTimestamp, 8, 0},
                              {"Id", pxfAutoInc, 4, 0},   {"Exact", pxfBCD, 17, 2},     {"Raw", pxfBytes, 6, 0}};
  const int n = static_cast<int>(std::size(pxFields));
  auto* fields = static_cast<pxfield_t*>(doc->malloc(doc, sizeof(pxfield_t) * n, "fields"));
  for (int i = 0; i < n; ++i) {
    fields[i].px_fname = PX_strdup(doc, pxFields[i].name);
    fields[i].px_ftype = pxFields[i].type;
    fields[i].px_flen = pxFields[i].len;
    fields[i].px_fdc = pxFields[i].dc;
  }
  ASSERT_EQ(PX_create_file(doc, fields, n, path.c_str(), pxfFileTypNonIndexDB), 0);
  const int recordSize = PX_get_recordsize(doc);
  std::vector<char> rec(static_cast<size_t>(recordSize));
  const int records = 700;
  for (int r = 0; r < records; ++r) {
    std::fill(rec.begin(), rec.end(), '\0');
    char* p = rec.data();
    const bool nulls = r % 9 == 4;
    std::string name = "row " + std::to_string(r) + (r % 2 ? " caf\xE9" : "");
    PX_put_data_alpha(doc, p, 20, nulls ? nullptr : name.data());
    p += 20;
    PX_put_data_long(doc, p, nulls ? 0 : 4, 700000 + r);
    p += 4;
    PX_put_data_short(doc, p, nulls ? 0 : 2, static_cast<short>(r - 350));
    p += 2;
    PX_put_data_long(doc, p, nulls ? 0 : 4, r * 100003 - 20000000);
    p += 4;
    PX_put_data_double(doc, p, nulls ? 0 : 8, r * 1.25 - 100);
    p += 8;
    PX_put_data_double(doc, p, nulls ? 0 : 8, r / 3.0);
    p += 8;
    PX_put_data_byte(doc, p, nulls ? 0 : 1, static_cast<char>(r % 2));
    p += 1;
    PX_put_data_long(doc, p, nulls ? 0 : 4, (r * 1234567) % 86400000);
    p += 4;
    PX_put_data_double(doc, p, nulls ? 0 : 8, (730000.0 + r) * 86400000.0 + r * 1000);
    p += 8;
    PX_put_data_long(doc, p, 4, r + 1);
    p += 4;
    char bcd[64] = {};
    std::snprintf(bcd, sizeof bcd, "%d.%02d", r - 300, r % 100);
    if (r < 300) std::snprintf(bcd, sizeof bcd, "-%d.%02d", 300 - r, r % 100);
    PX_put_data_bcd(doc, p, 2, nulls ? nullptr : bcd);
    p += 17;
    char raw[6] = {static_cast<char>(1 + r % 100), 2, 3, 4, 5, static_cast<char>(r)};
    PX_put_data_bytes(doc, p, 6, raw);
    ASSERT_GE(PX_put_record(doc, rec.data()), 0);
  }
  PX_close(doc);
  PX_delete(doc);
  PX_shutdown();

  TableReader ours(path);
  EXPECT_EQ(ours.recordCount(), static_cast<uint64_t>(records));
  std::vector<Value> row;
  for (int r = 0; r < records; ++r) {
    ASSERT_TRUE(ours.next(row)) << r;
    SCOPED_TRACE("record " + std::to_string(r));
    const bool nulls = r % 9 == 4;
    if (nulls) {
      for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 10}) EXPECT_TRUE(row[static_cast<size_t>(i)].isNull()) << i;
    } else {
      EXPECT_EQ(row[0].text, "row " + std::to_string(r) + (r % 2 ? " caf\xC3\xA9" : ""));
      EXPECT_EQ(row[1].integer, 700000 + r);
      EXPECT_EQ(row[2].integer, r - 350);
      EXPECT_EQ(row[3].integer, r * 100003 - 20000000);
      EXPECT_EQ(row[4].real, r * 1.25 - 100);
      EXPECT_EQ(row[5].real, r / 3.0);
      EXPECT_EQ(row[6].integer, r % 2);
      EXPECT_EQ(row[7].integer, (r * 1234567) % 86400000);
      EXPECT_EQ(row[8].integer, static_cast<int64_t>((730000.0 + r) * 86400000.0 + r * 1000));
      std::string bcd = r < 300 ? "-" + std::to_string(300 - r) : std::to_string(r - 300);
      bcd += "." + std::string(r % 100 < 10 ? "0" : "") + std::to_string(r % 100);
      if (bcd == "0.00") bcd = "0.00";
      EXPECT_EQ(row[10].text, bcd);
    }
    EXPECT_EQ(row[9].integer, r + 1);
    EXPECT_EQ(row[11].text, std::string({static_cast<char>(1 + r % 100), 2, 3, 4, 5, static_cast<char>(r)}));
  }
  EXPECT_FALSE(ours.next(row));
}

}  // namespace
}  // namespace qv::paradox
