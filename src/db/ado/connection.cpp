#include "db/ado/connection.h"

#include "db/ado/error.h"
#include "db/ado/recordset.h"

namespace qv::ado {

std::unique_ptr<Connection> Connection::Create() {
  if (DriverRegistry::instance().empty()) {
    throw Error(kErrProviderNotFound, QStringLiteral("Provider cannot be found. It may not be properly installed."));
  }
  return std::make_unique<Connection>();
}

Connection::~Connection() {
  try {
    Close();
  } catch (...) {
    // A destructor cannot report; Close() is called explicitly where failures matter.
  }
}

void Connection::setCursorLocation(int location) {
  if (location != adUseClient && location != adUseServer) {
    throw Error(
        kErrUnspecified,
        QStringLiteral(
            "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another."));
  }
  cursorLocation_ = location;
}

void Connection::setMode(int mode) {
  if (session_) throw Error(kErrUnspecified, QStringLiteral("Operation is not allowed when the object is open."));
  mode_ = mode;
}

void Connection::Open(const QString& connectionString) {
  if (session_) throw Error(kErrUnspecified, QStringLiteral("Operation is not allowed when the object is open."));
  ado::ConnectionString cs(connectionString);
  auto driver = DriverRegistry::instance().find(cs);
  session_ = driver->open(cs, mode_);
  connectionString_ = connectionString;
}

Session& Connection::session() {
  if (!session_) throw Error(kErrObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
  return *session_;
}

long Connection::Execute(const QString& statement) { return session().execute(statement); }

int Connection::ExecuteBatch(const QStringList& statements, const std::function<bool(int, const Error&)>& onFailure) {
  return session().executeBatch(statements, onFailure);
}

int Connection::ExecuteBatch(std::span<const std::string_view> statements,
                             const std::function<bool(int, const Error&)>& onFailure) {
  return session().executeBatchUtf8(statements, onFailure);
}

int Session::executeBatchUtf8(std::span<const std::string_view> statements,
                              const std::function<bool(int, const Error&)>& onFailure) {
  QStringList texts;
  texts.reserve(static_cast<qsizetype>(statements.size()));
  for (std::string_view s : statements) texts.push_back(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())));
  return executeBatch(texts, onFailure);
}

int Session::executeBatch(const QStringList& statements, const std::function<bool(int, const Error&)>& onFailure) {
  for (int i = 0; i < statements.size(); ++i) {
    try {
      execute(statements[i]);
    } catch (const Error& e) {
      if (!onFailure(i, e)) return i + 1;
    }
  }
  return static_cast<int>(statements.size());
}

std::unique_ptr<Recordset> Connection::OpenSchema(int schema) {
  return std::make_unique<Recordset>(session().openSchema(schema));
}

void Connection::Close() {
  if (!session_) return;
  auto s = std::move(session_);
  s->close();
}

}  // namespace qv::ado
