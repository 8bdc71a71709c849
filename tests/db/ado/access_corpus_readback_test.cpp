// Every statement the converter makes for the corpus's Paradox tables executes on a new
// Access database written by the Jet engine, and mdb-reader reads back exactly what the
// literals say.

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <filesystem>
#include <map>
#include <set>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "db/jet/database.h"
#include "db/sql/literal_conversion.h"
#include "db/sql/parser.h"
#include "db/ado/corpus_script.h"
#include "engine/connection_strings.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::ado {
namespace {

using corpus::buildScript;
using corpus::TableScript;

// The value mdb-reader should show for a literal in a column of the CREATE statement.
QJsonValue expected(const sql::Literal& lit, const jet::ColumnDef& column, std::string_view sql) {
  if (lit.kind == sql::Literal::Kind::kNull) return QJsonValue::Null;
  jet::Value v;
  sql::convertLiteral(sql, lit, column, v);
  switch (v.kind) {
    case jet::Value::Kind::kInteger: return QJsonValue(static_cast<qint64>(v.i));
    case jet::Value::Kind::kDouble: return QJsonValue(v.d);
    case jet::Value::Kind::kDecimal: return QJsonValue(QString::fromStdString(v.s));
    case jet::Value::Kind::kText: return QJsonValue(QString::fromUtf8(v.s.data(), static_cast<qsizetype>(v.s.size())));
    case jet::Value::Kind::kBinary:
      return QJsonObject{
          {"hex", QString::fromLatin1(QByteArray(v.s.data(), static_cast<qsizetype>(v.s.size())).toHex())}};
    default: return QJsonValue(QStringLiteral("unexpected kind"));
  }
}

TEST(AccessCorpus, GeneratedStatementsExecuteAndReadBack) {
  QV_REQUIRE_TESTDATA();
  QV_REQUIRE_TOOL(!test::nodeToolsDir().empty(), "node with mdb-reader");
  // The folders that hold Paradox tables.
  const auto folders = corpus::paradoxFolders();
  ASSERT_FALSE(folders.empty());
  test::TempDir dir;
  int tables = 0, statements = 0, values = 0, folderIndex = 0;
  for (const auto& [folder, names] : folders) {
    SCOPED_TRACE(folder);
    const std::string target = dir.file("corpus" + std::to_string(folderIndex++) + ".mdb");
    jet::createDatabase(target, jet::Format::kJet4)->close();

    auto paradox = Connection::Create();
    paradox->setCursorLocation(adUseClient);
    paradox->Open(engine::ParadoxConnString(QString::fromStdString(folder)));
    auto access = Connection::Create();
    access->setCursorLocation(adUseClient);
    access->setMode(adModeReadWrite);
    access->Open(engine::AccessConnString(QString::fromStdString(target), QString()));

    std::vector<TableScript> scripts;
    std::set<QString> seen;
    for (const QString& name : names) {
      if (!seen.insert(name.toLower()).second) continue;  // NAME.DB and name.db in one folder
      TableScript s;
      std::string why;
      if (!buildScript(*paradox, name, s, why)) {
        std::printf("  (%s: the Paradox table is not readable: %s)\n", name.toStdString().c_str(), why.c_str());
        continue;
      }
      // Every statement executes.
      try {
        access->Execute(s.create);
      } catch (const Error& e) {
        ADD_FAILURE() << s.create.toStdString() << "\n  " << e.what();
        continue;
      }
      for (const QString& insert : s.inserts) {
        try {
          EXPECT_EQ(access->Execute(insert), 1);
        } catch (const Error& e) {
          ADD_FAILURE() << insert.left(300).toStdString() << "\n  " << e.what();
        }
      }
      statements += 1 + static_cast<int>(s.inserts.size());
      scripts.push_back(std::move(s));
    }
    access->Close();
    paradox->Close();

    // Read back through mdb-reader and compare with the literals.
    std::string json;
    ASSERT_EQ(test::runCommand("node '" + test::nodeToolsDir() + "/mdb_dump.mjs' '" + target + "' 2>&1", &json), 0)
        << json;
    const QJsonObject data = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object()["data"].toObject();
    for (const TableScript& s : scripts) {
      SCOPED_TRACE(s.table.toStdString());
      ++tables;
      const QJsonArray rows = data[s.table].toObject()["rows"].toArray();
      ASSERT_EQ(rows.size(), static_cast<qsizetype>(s.inserts.size()));
      const QByteArray createText = s.create.toUtf8();
      sql::Statement create;
      sql::parseStatement(createText.toStdString(), create);
      for (size_t r = 0; r < s.inserts.size(); ++r) {
        const QByteArray text = s.inserts[r].toUtf8();
        const std::string_view sqlText(text.constData(), static_cast<size_t>(text.size()));
        sql::Statement insert;
        sql::parseStatement(sqlText, insert);
        const QJsonArray row = rows[static_cast<qsizetype>(r)].toArray();
        ASSERT_EQ(row.size(), static_cast<qsizetype>(insert.values.size()));
        for (size_t c = 0; c < insert.values.size(); ++c) {
          const QJsonValue want = expected(insert.values[c], create.columns[c].def, sqlText);
          EXPECT_EQ(row[static_cast<qsizetype>(c)], want)
              << "row " << r << " column " << c << " of " << text.left(200).toStdString();
          ++values;
        }
      }
    }
  }
  std::printf("%d tables, %d statements, %d values compared\n", tables, statements, values);
  EXPECT_GT(tables, 10);
}

}  // namespace
}  // namespace qv::ado
