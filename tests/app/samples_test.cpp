// The sample data the build puts next to the programs (Samples/): the tables must hold
// every Paradox field type, memos and pictures, sample.mdb must be an empty Access
// database, and the command-line converter must carry every sample row into it.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <filesystem>
#include <map>
#include <set>

#include "db/jet/database.h"
#include "db/paradox/table_reader.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv {
namespace {

using test::shellQuote;

namespace fs = std::filesystem;

fs::path samplesDir() { return fs::path(QV_BINARY_DIR) / "src/app/Samples"; }

// Every sample table (path relative to Samples/) with its rows as our reader reads them.
std::map<std::string, std::vector<std::vector<paradox::Value>>> readSamples(
    std::set<paradox::FieldType>* types, std::map<std::string, paradox::TableHeader>* headers) {
  std::map<std::string, std::vector<std::vector<paradox::Value>>> tables;
  for (const auto& entry : fs::recursive_directory_iterator(samplesDir())) {
    if (entry.path().extension() != ".DB") continue;
    paradox::TableReader reader(entry.path().string());
    for (const auto& f : reader.header().fields) types->insert(f.type);
    auto& rows = tables[fs::relative(entry.path(), samplesDir()).string()];
    std::vector<paradox::Value> row;
    while (reader.next(row)) rows.push_back(row);
    (*headers)[fs::relative(entry.path(), samplesDir()).string()] = reader.header();
  }
  return tables;
}

uint32_t le32(const std::string& s, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(s[at])) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 8 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

TEST(Samples, TablesHoldEveryFieldTypeMemosAndPictures) {
  ASSERT_TRUE(fs::is_directory(samplesDir())) << samplesDir() << " was not made by the build";
  std::set<paradox::FieldType> types;
  std::map<std::string, paradox::TableHeader> headers;
  const auto tables = readSamples(&types, &headers);
  EXPECT_GE(tables.size(), 4u);
  EXPECT_TRUE(tables.count("Archive/ORDERS97.DB")) << "a table in a sub-folder";
  for (uint8_t code = 0; code < 0x20; ++code) {
    if (auto type = paradox::fieldTypeFromCode(code)) {
      EXPECT_TRUE(types.count(*type)) << "no sample field of type " << paradox::fieldTypeName(*type);
    }
  }
  int pictures = 0, longMemos = 0, nulls = 0;
  for (const auto& [name, rows] : tables) {
    EXPECT_FALSE(rows.empty()) << name;
    const auto& fields = headers.at(name).fields;
    for (const auto& row : rows) {
      ASSERT_EQ(row.size(), fields.size()) << name;
      for (size_t i = 0; i < row.size(); ++i) {
        nulls += row[i].isNull();
        if (fields[i].type == paradox::FieldType::kGraphic && !row[i].isNull()) {
          const std::string& bmp = row[i].text;
          ASSERT_GE(bmp.size(), 54u) << name;
          EXPECT_EQ(bmp.substr(0, 2), "BM") << name;
          EXPECT_EQ(le32(bmp, 2), bmp.size()) << name << ": the bitmap's own size";
          ++pictures;
        }
        // A memo longer than its leader in the record lives partly in the .mb file.
        if (fields[i].type == paradox::FieldType::kMemo && !row[i].isNull() &&
            row[i].text.size() > fields[i].width - 10) {
          ++longMemos;
        }
      }
    }
  }
  EXPECT_GE(pictures, 3);
  EXPECT_GE(longMemos, 3);
  EXPECT_GT(nulls, 0) << "some sample values should be empty";

  jet::OpenOptions readOnly;
  readOnly.readOnly = true;
  auto db = jet::openDatabase((samplesDir() / "sample.mdb").string(), readOnly);
  EXPECT_EQ(db->format(), jet::Format::kJet4);
  for (const auto& entry : db->catalog()) EXPECT_NE(entry.kind, jet::ObjectKind::kUserTable) << entry.name;
  db->close();
}

TEST(Samples, ConvertIntoTheSampleDatabase) {
  QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "mdb-reader (tests/js)");
  std::set<paradox::FieldType> types;
  std::map<std::string, paradox::TableHeader> headers;
  const auto tables = readSamples(&types, &headers);
  test::TempDir dir;
  const std::string db = dir.file("sample.mdb");
  fs::copy_file(samplesDir() / "sample.mdb", db);
  std::string out;
  const int status =
      test::runCommand(std::string(QV_BINARY_DIR) + "/src/app/quorvane-cli convert " +
                           shellQuote(samplesDir().string()) + " " + shellQuote(db) + " --overwrite no 2>&1",
                       &out);
  ASSERT_EQ(status, 0) << out;
  EXPECT_NE(out.find("Tables converted: " + std::to_string(tables.size())), std::string::npos) << out;
  EXPECT_NE(out.find("Statements failed: 0"), std::string::npos) << out;

  std::string json;
  ASSERT_EQ(
      test::runCommand("node " + shellQuote(test::nodeToolsDir() + "/mdb_dump.mjs") + " " + shellQuote(db), &json), 0);
  const QJsonObject dump = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
  const QJsonObject data = dump.value("data").toObject();
  EXPECT_EQ(static_cast<size_t>(dump.value("tables").toArray().size()), tables.size());
  for (const auto& [path, rows] : tables) {
    const std::string name = fs::path(path).stem().string();
    const QJsonObject table = data.value(QString::fromStdString(name)).toObject();
    const QJsonArray got = table.value("rows").toArray();
    ASSERT_EQ(static_cast<size_t>(got.size()), rows.size()) << name;
    // Pictures and other binary values arrive byte for byte, rows in the table's order.
    const QJsonArray columns = table.value("columns").toArray();
    const auto& fields = headers.at(path).fields;
    for (size_t f = 0; f < fields.size(); ++f) {
      if (fields[f].type != paradox::FieldType::kGraphic && fields[f].type != paradox::FieldType::kBlob) continue;
      for (size_t r = 0; r < rows.size(); ++r) {
        const QJsonValue v = got[static_cast<qsizetype>(r)].toArray()[static_cast<qsizetype>(f)];
        if (rows[r][f].isNull()) {
          EXPECT_TRUE(v.isNull()) << name << " row " << r;
        } else {
          EXPECT_EQ(v.toObject().value("hex").toString().toStdString(),
                    QByteArray::fromStdString(rows[r][f].text).toHex().toStdString())
              << name << " row " << r << " field " << fields[f].name;
        }
      }
    }
    EXPECT_EQ(static_cast<size_t>(columns.size()), fields.size()) << name;
  }
}

}  // namespace
}  // namespace qv
