#pragma once
// What a driver (Paradox reader, Access provider, in-memory test store) supplies to the
// data-access layer. Connection and Recordset are thin over these.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <span>
#include <string_view>
#include <vector>

#include "db/ado/connection_string.h"
#include "db/ado/error.h"
#include "db/ado/value.h"

namespace qv::ado {

struct FieldInfo {
  QString name;
  int type = 0;         // DataTypeEnum
  int definedSize = 0;  // characters or bytes; 0 when not meaningful
};

// A forward-only source of rows.
class Cursor {
 public:
  virtual ~Cursor() = default;
  virtual const std::vector<FieldInfo>& fields() const = 0;
  // The number of rows, or -1 when the source cannot tell.
  virtual long recordCount() = 0;
  // Fills row (one value per field) with the next row; false at the end. A fetch that
  // throws has passed the row it could not read, or the cursor is at its end: the next
  // fetch never meets the same row again.
  virtual bool fetch(std::vector<Value>& row) = 0;
  // What the user should know about the rows read so far that is no failure (text that
  // is not valid in its code page, ...), one message each.
  virtual QStringList notices() const { return {}; }
};

// An open connection of one driver.
class Session {
 public:
  virtual ~Session() = default;
  // Runs one statement; returns the number of rows it affected (or -1).
  virtual long execute(const QString& statement) = 0;
  // Runs statements in order with the outcome execute() has on each; see
  // Connection::ExecuteBatch. This one runs them one by one.
  virtual int executeBatch(const QStringList& statements, const std::function<bool(int, const Error&)>& onFailure);
  // The same for statements in UTF-8. This one hands them to executeBatch as QStrings.
  virtual int executeBatchUtf8(std::span<const std::string_view> statements,
                               const std::function<bool(int, const Error&)>& onFailure);
  virtual std::unique_ptr<Cursor> query(const QString& source) = 0;
  virtual std::unique_ptr<Cursor> openSchema(int schema) = 0;
  virtual void close() = 0;
};

class Driver {
 public:
  virtual ~Driver() = default;
  virtual QString name() const = 0;
  // True when the string's Driver= or Provider= names this driver.
  virtual bool accepts(const ConnectionString& cs) const = 0;
  virtual std::unique_ptr<Session> open(const ConnectionString& cs, int mode) = 0;
};

// The drivers the layer knows. Built-in drivers are registered on first use.
class DriverRegistry {
 public:
  static DriverRegistry& instance();
  void add(std::shared_ptr<Driver> driver);
  // Removes every driver (tests of the provider check use it); restoreBuiltins() undoes it.
  void clear();
  void restoreBuiltins();
  bool empty() const { return drivers_.empty(); }
  // The driver for the string; throws Error (3706, "Provider cannot be found...") when none.
  std::shared_ptr<Driver> find(const ConnectionString& cs) const;

 private:
  DriverRegistry();
  std::vector<std::shared_ptr<Driver>> drivers_;
};

// Registers the drivers compiled into the program (builtin_drivers.cpp).
void registerBuiltinDrivers(DriverRegistry& registry);

}  // namespace qv::ado
