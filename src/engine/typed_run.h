#pragma once
// The typed conversion (quorvane-cli convert --typed), beyond the desktop program's
// rules: every Paradox table of the folder and its sub-folders becomes an Access table
// whose columns have the types that hold its values as they are (typed_columns.h),
// with the table's primary key and secondary indexes as Access indexes.
//
// For each table, from the last listed to the first as the default run goes, it asks
// before replacing a table of the same name (DROP TABLE), then writes
//   CREATE TABLE `T` ([field] TYPE, ..., CONSTRAINT [PrimaryKey] PRIMARY KEY ([key], ...))
//   CREATE [UNIQUE] INDEX [name] ON `T` ([field] [DESC], ...)      one per secondary index
//   INSERT INTO `T` VALUES (literal, ...)                            one per record
// and executes them on the database, or (--sql) writes them to the script, one per
// line: running that script gives the same database.
//
// Before a table's statements are made, its records are read once to find what its
// types and keys cannot hold: a column with values its type cannot keep becomes the
// nearest type that loses nothing, and a unique key (the primary key, a unique secondary
// index) that two records share -- as Access compares keys, texts without regard to
// case -- or whose fields a record leaves blank (a primary key) is left out, naming the
// records. An index file that is missing, damaged or another table's is left out
// too, naming the file (paradox/table_keys.h). Each such note is shown as a message;
// the table is converted all the same.

#include <QSet>
#include <QString>
#include <QStringList>

#include "db/jet/key_probe.h"
#include "db/paradox/code_page.h"
#include "engine/conversion_host.h"

namespace qv::engine {

class TypedRun {
 public:
  // database and password: the Access database the statements are for (its sort order
  // decides which keys Access takes for equal).
  TypedRun(ConversionHost& host, QString database, QString password)
      : host_(host), database_(std::move(database)), password_(std::move(password)) {}
  void start();

 private:
  void convertTable(const QString& table);

  ConversionHost& host_;
  QString database_, password_;
  jet::KeyOrder keyOrder_;
  paradox::TextOptions text_;  // which code page the tables are read in, as the Paradox driver reads them
  QStringList list1_, list2_;
  QSet<QString> seen_;
  QString currentTable_;
};

}  // namespace qv::engine
