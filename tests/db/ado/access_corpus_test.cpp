// Every statement the converter makes for the corpus's Paradox tables passes the SQL
// front end (here over the in-memory engine; access_corpus_readback_test.cpp writes real
// files).

#include <gtest/gtest.h>

#include <cstdio>
#include <set>

#include "db/ado/corpus_script.h"
#include "db/sql/executor.h"
#include "support/memory_database.h"
#include "engine/connection_strings.h"
#include "support/testdata.h"

namespace qv::ado {
namespace {

using corpus::buildScript;
using corpus::TableScript;

// Every statement is accepted, and every row reaches the engine with values of its
// columns' kinds (the in-memory engine checks that).
TEST(AccessCorpus, GeneratedStatementsPassTheFrontEnd) {
  QV_REQUIRE_TESTDATA();
  const auto folders = corpus::paradoxFolders();
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
        std::printf("  (%s/%s: the Paradox table is not readable: %s)\n", folder.c_str(), name.toStdString().c_str(),
                    why.c_str());
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
