#pragma once
// ADO's Connection with the members the program uses.

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

#include "db/ado/data_type.h"
#include "db/ado/driver.h"

namespace qv::ado {

class Recordset;

class Connection {
 public:
  // Creating a connection object fails (3706, "Provider cannot be found ...") when the
  // layer has no driver at all: that is what the start-up provider check looks for.
  static std::unique_ptr<Connection> Create();

  Connection() = default;
  ~Connection();
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  int CursorLocation() const { return cursorLocation_; }
  void setCursorLocation(int location);
  int Mode() const { return mode_; }
  void setMode(int mode);

  void Open(const QString& connectionString);
  // Runs one statement at once; returns the number of rows affected (or -1).
  long Execute(const QString& statement);
  // Runs statements in order, each with the outcome Execute would give it, but lets the
  // database write a run of rows at once. onFailure(i, error) is called for a statement
  // that fails once the statements before it have had their effect; it returns true to
  // go on with the next one, false to stop. When the call returns, every statement it
  // ran that did not fail is in the database. Returns how many statements were run:
  // all, or up to and including the one whose failure stopped the batch.
  int ExecuteBatch(const QStringList& statements, const std::function<bool(int, const Error&)>& onFailure);
  // The same for statements in UTF-8, the form the conversion builds its rows in and the
  // Access provider reads: they reach the SQL front end without another conversion.
  int ExecuteBatch(std::span<const std::string_view> statements,
                   const std::function<bool(int, const Error&)>& onFailure);
  std::unique_ptr<Recordset> OpenSchema(int schema);
  void Close();

  int State() const { return session_ ? adStateOpen : adStateClosed; }
  const QString& ConnectionString() const { return connectionString_; }

  // The open session; throws 3704 when the connection is closed.
  Session& session();

 private:
  int cursorLocation_ = adUseServer;
  int mode_ = adModeUnknown;
  QString connectionString_;
  std::unique_ptr<Session> session_;
};

}  // namespace qv::ado
