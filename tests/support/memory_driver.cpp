#include "support/memory_driver.h"

#include <QRegularExpression>

#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "db/ado/row_list_cursor.h"

namespace qv::ado {
namespace {

std::map<QString, MemoryStore>& stores() {
  static std::map<QString, MemoryStore> s;
  return s;
}

QString nameIn(const QString& statement, const QString& verb) {
  static const QRegularExpression re(
      QStringLiteral("^\\s*(CREATE|DROP)\\s+TABLE\\s+(?:`([^`]*)`|\\[([^\\]]*)\\]|(\\S+))"),
      QRegularExpression::CaseInsensitiveOption);
  auto m = re.match(statement);
  if (!m.hasMatch() || m.captured(1).compare(verb, Qt::CaseInsensitive) != 0) return {};
  for (int i = 2; i <= 4; ++i) {
    if (m.capturedLength(i) > 0) return m.captured(i);
  }
  return {};
}

class MemorySession final : public Session {
 public:
  explicit MemorySession(MemoryStore& store) : store_(store) {}

  long execute(const QString& statement) override {
    if (store_.failWhen) {
      if (auto why = store_.failWhen(statement)) throw Error(kErrUnspecified, *why);
    }
    store_.executed.push_back(statement);
    if (QString t = nameIn(statement, QStringLiteral("CREATE")); !t.isEmpty()) {
      if (store_.find(t)) throw Error(kErrUnspecified, QStringLiteral("SQL error: Table '%1' already exists.").arg(t));
      store_.tables.push_back(MemoryTable{t, QStringLiteral("TABLE"), {}, {}});
    } else if (QString d = nameIn(statement, QStringLiteral("DROP")); !d.isEmpty()) {
      auto& ts = store_.tables;
      auto before = ts.size();
      std::erase_if(ts, [&](const MemoryTable& x) { return x.name.compare(d, Qt::CaseInsensitive) == 0; });
      if (ts.size() == before)
        throw Error(kErrUnspecified, QStringLiteral("SQL error: Table '%1' does not exist.").arg(d));
    } else if (statement.trimmed().startsWith(QStringLiteral("INSERT"), Qt::CaseInsensitive)) {
      return 1;
    }
    return 0;
  }

  std::unique_ptr<Cursor> query(const QString& source) override {
    static const QRegularExpression re(QStringLiteral("^SELECT \\* FROM \\[(.*)\\]$"));
    auto m = re.match(source);
    if (!m.hasMatch()) throw Error(kErrUnspecified, QStringLiteral("SQL error: unsupported query: ") + source);
    MemoryTable* t = store_.find(m.captured(1));
    if (!t) throw Error(kErrUnspecified, QStringLiteral("The table '%1' does not exist.").arg(m.captured(1)));
    return std::make_unique<RowListCursor>(t->fields, t->rows);
  }

  std::unique_ptr<Cursor> openSchema(int schema) override {
    if (schema != adSchemaTables)
      throw Error(kErrUnspecified,
                  QStringLiteral("Object or provider is not capable of performing requested operation."));
    std::vector<FieldInfo> fields{{QStringLiteral("TABLE_NAME"), adVarWChar, 64},
                                  {QStringLiteral("TABLE_TYPE"), adVarWChar, 64}};
    std::vector<std::vector<Value>> rows;
    for (const auto& t : store_.tables) rows.push_back({Value::text(t.name), Value::text(t.tableType)});
    return std::make_unique<RowListCursor>(std::move(fields), std::move(rows));
  }

  void close() override { ++store_.closes; }

 private:
  MemoryStore& store_;
};

class MemoryDriver final : public Driver {
 public:
  QString name() const override { return QStringLiteral("Memory"); }
  bool accepts(const ConnectionString& cs) const override {
    return cs.valueOr(QStringLiteral("Provider")).compare(QStringLiteral("Memory"), Qt::CaseInsensitive) == 0;
  }
  std::unique_ptr<Session> open(const ConnectionString& cs, int) override {
    MemoryStore& store = memoryStore(cs.valueOr(QStringLiteral("Data Source")));
    if (store.failOpen) throw Error(kErrUnspecified, QStringLiteral("Could not open the in-memory store."));
    ++store.opens;
    return std::make_unique<MemorySession>(store);
  }
};

}  // namespace

MemoryTable* MemoryStore::find(const QString& name) {
  for (auto& t : tables) {
    if (t.name.compare(name, Qt::CaseInsensitive) == 0) return &t;
  }
  return nullptr;
}

MemoryStore& memoryStore(const QString& name) { return stores()[name]; }
void resetMemoryStores() { stores().clear(); }

std::shared_ptr<Driver> makeMemoryDriver() { return std::make_shared<MemoryDriver>(); }

void installMemoryDriver() {
  DriverRegistry& registry = DriverRegistry::instance();
  try {
    if (registry.find(ConnectionString(QStringLiteral("Provider=Memory")))->name() == QStringLiteral("Memory")) return;
  } catch (const Error&) {
    // not there yet
  }
  registry.add(makeMemoryDriver());
}

}  // namespace qv::ado
