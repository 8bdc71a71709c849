#pragma once
// ADO's Recordset, Fields and Field with the members the program uses. Rows stream from
// the driver's cursor one at a time; the current row is the only one held.

#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

#include "db/ado/data_type.h"
#include "db/ado/driver.h"

namespace qv::ado {

class Connection;
class Recordset;

class Field {
 public:
  const QString& name() const { return info_->name; }
  int Type() const { return info_->type; }
  int DefinedSize() const { return info_->definedSize; }
  // The current row's value; throws 3021 at EOF or BOF.
  const ado::Value& Value() const;

 private:
  friend class Fields;
  Field(const Recordset* rs, const FieldInfo* info, int index) : rs_(rs), info_(info), index_(index) {}
  const Recordset* rs_;
  const FieldInfo* info_;
  int index_;
};

class Fields {
 public:
  int Count() const;
  // By index from 0; throws 3265 when out of range.
  Field operator()(int index) const;
  // By name, without regard to case; throws 3265 when there is none.
  Field operator()(const QString& name) const;

 private:
  friend class Recordset;
  explicit Fields(const Recordset* rs) : rs_(rs) {}
  const Recordset* rs_;
};

class Recordset {
 public:
  Recordset() = default;
  // Wraps an already open cursor (OpenSchema uses it).
  explicit Recordset(std::unique_ptr<Cursor> cursor);
  ~Recordset();
  Recordset(const Recordset&) = delete;
  Recordset& operator=(const Recordset&) = delete;

  void Open(const QString& source, Connection& connection, int cursorType = adOpenForwardOnly,
            int lockType = adLockReadOnly);
  ado::Fields Fields() const { return ado::Fields(this); }
  bool eof() const;
  bool bof() const;
  long recordcount() const;
  // Moves to the next record. One that cannot be read is left out: the record set moves
  // on to the next it can read (or to its end), then throws the failure, which counts the
  // records after it that failed too.
  void MoveNext();
  void Close();
  // The source's messages about the rows read so far that are no failure (our own
  // member: ADO puts such warnings in the connection's Errors collection).
  QStringList Notices() const;
  int State() const { return cursor_ ? adStateOpen : adStateClosed; }

  // Internal, for Field.
  const std::vector<FieldInfo>& fieldInfos() const;
  const ado::Value& valueAt(int index) const;

 private:
  void start();
  void requireOpen() const;

  std::unique_ptr<Cursor> cursor_;
  std::vector<ado::Value> row_;
  bool eof_ = true;
  bool bof_ = true;
  mutable long recordCount_ = -2;  // -2: not asked yet
};

}  // namespace qv::ado
