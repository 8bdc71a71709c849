#pragma once
// An in-memory driver for tests: "Provider=Memory;Data Source=NAME" opens the store NAME.
// Tables are put in by the test; queries "SELECT * FROM [T]" read them; OpenSchema(20)
// lists them; Execute logs every statement and understands just enough DDL
// (CREATE TABLE `T`, DROP TABLE `T`) to keep the catalogue honest. A test can make
// chosen statements fail.
//
// The programs do not know this driver: a test adds it to the registry with
// installMemoryDriver(), again after restoreBuiltins().

#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "db/ado/driver.h"

namespace qv::ado {

struct MemoryTable {
  QString name;
  QString tableType = QStringLiteral("TABLE");
  std::vector<FieldInfo> fields;
  std::vector<std::vector<Value>> rows;
};

struct MemoryStore {
  std::vector<MemoryTable> tables;
  std::vector<QString> executed;
  // Returns an error description for a statement that is to fail.
  std::function<std::optional<QString>(const QString&)> failWhen;
  bool failOpen = false;
  int opens = 0;
  int closes = 0;

  MemoryTable* find(const QString& name);
};

// The named store (created on first use); reset() forgets every store.
MemoryStore& memoryStore(const QString& name);
void resetMemoryStores();

std::shared_ptr<Driver> makeMemoryDriver();
// Adds the in-memory driver to DriverRegistry::instance() (once: a second call does nothing
// while it is there).
void installMemoryDriver();

}  // namespace qv::ado
