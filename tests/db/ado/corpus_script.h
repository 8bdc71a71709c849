#pragma once
// The statements of the corpus's Paradox tables, built the way the conversion run builds
// them (column mapping, then one INSERT per row with en_US value texts).

#include <QLocale>
#include <QString>
#include <QStringList>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "engine/column_mapping.h"
#include "engine/row_literal.h"
#include "support/testdata.h"

namespace qv::ado::corpus {

struct TableScript {
  QString table;
  QString create;
  std::vector<QString> inserts;
};

// The statements of one Paradox table, built the way the conversion run builds them.
inline bool buildScript(Connection& paradox, const QString& table, TableScript& out, std::string& why) {
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
      const std::string_view statement = insert.finish();
      out.inserts.push_back(QString::fromUtf8(statement.data(), static_cast<qsizetype>(statement.size())));
    }
    return true;
  } catch (const Error& e) {
    why = e.what();
    return false;
  }
}

// The corpus folders that hold Paradox tables, with the tables' names.
inline std::map<std::string, QStringList> paradoxFolders() {
  std::map<std::string, QStringList> folders;
  for (const auto& file : qv::test::corpusFiles("paradox", {".db"})) {
    std::filesystem::path p(file);
    folders[p.parent_path().string()] << QString::fromStdString(p.stem().string());
  }
  return folders;
}

}  // namespace qv::ado::corpus
