#include "db/ado/recordset.h"

#include "db/ado/connection.h"
#include "db/ado/error.h"

namespace qv::ado {

const Value& Field::Value() const { return rs_->valueAt(index_); }

int Fields::Count() const { return static_cast<int>(rs_->fieldInfos().size()); }

Field Fields::operator()(int index) const {
  const auto& infos = rs_->fieldInfos();
  if (index < 0 || static_cast<size_t>(index) >= infos.size()) {
    throw Error(
        kErrItemNotFound,
        QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
  }
  return Field(rs_, &infos[static_cast<size_t>(index)], index);
}

Field Fields::operator()(const QString& name) const {
  const auto& infos = rs_->fieldInfos();
  for (size_t i = 0; i < infos.size(); ++i) {
    if (infos[i].name.compare(name, Qt::CaseInsensitive) == 0) return Field(rs_, &infos[i], static_cast<int>(i));
  }
  throw Error(kErrItemNotFound,
              QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
}

Recordset::Recordset(std::unique_ptr<Cursor> cursor) : cursor_(std::move(cursor)) { start(); }

Recordset::~Recordset() = default;

void Recordset::Open(const QString& source, Connection& connection, int /*cursorType*/, int /*lockType*/) {
  if (cursor_) throw Error(kErrUnspecified, QStringLiteral("Operation is not allowed when the object is open."));
  cursor_ = connection.session().query(source);
  start();
}

void Recordset::start() {
  recordCount_ = -2;
  bool has = cursor_->fetch(row_);
  eof_ = !has;
  bof_ = !has;
}

void Recordset::requireOpen() const {
  if (!cursor_) throw Error(kErrObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
}

const std::vector<FieldInfo>& Recordset::fieldInfos() const {
  requireOpen();
  return cursor_->fields();
}

const Value& Recordset::valueAt(int index) const {
  requireOpen();
  if (eof_ || bof_) {
    throw Error(kErrNoCurrentRecord, QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                    "deleted. Requested operation requires a current record."));
  }
  return row_.at(static_cast<size_t>(index));
}

bool Recordset::eof() const {
  requireOpen();
  return eof_;
}

bool Recordset::bof() const {
  requireOpen();
  return bof_;
}

long Recordset::recordcount() const {
  requireOpen();
  if (recordCount_ == -2) recordCount_ = cursor_->recordCount();
  return recordCount_;
}

void Recordset::MoveNext() {
  requireOpen();
  if (eof_) {
    throw Error(kErrNoCurrentRecord, QStringLiteral("Either BOF or EOF is True, or the current record has been "
                                                    "deleted. Requested operation requires a current record."));
  }
  bof_ = false;
  try {
    if (!cursor_->fetch(row_)) eof_ = true;
  } catch (const Error& failure) {
    // A record that cannot be read is left out, and the record set moves on to the next
    // one it can read (or to its end) before the failure is reported: a caller that goes
    // on must neither see the record before it a second time nor meet the same damage
    // for ever. (A cursor passes a record it failed on, or ends.)
    long alsoUnread = 0;
    for (;;) {
      try {
        if (!cursor_->fetch(row_)) eof_ = true;
        break;
      } catch (const Error&) {
        ++alsoUnread;
      }
    }
    if (alsoUnread == 0) throw;
    QString description = failure.description();
    if (description.endsWith(u'.')) description.chop(1);
    throw Error(failure.number(), description + QStringLiteral("; %1 more record%2 after it could not be read either.")
                                                    .arg(alsoUnread)
                                                    .arg(alsoUnread == 1 ? QString() : QStringLiteral("s")));
  }
}

QStringList Recordset::Notices() const {
  requireOpen();
  return cursor_->notices();
}

void Recordset::Close() {
  requireOpen();
  cursor_.reset();
  row_.clear();
  eof_ = bof_ = true;
}

}  // namespace qv::ado
