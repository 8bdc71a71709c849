#include "db/ado/access_provider.h"

#include <QByteArray>
#include <QStringEncoder>
#include <algorithm>
#include <array>

#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "db/ado/row_list_cursor.h"
#include "db/io/env.h"
#include "db/io/error.h"
#include "db/jet/storage/date.h"
#include "db/sql/executor.h"
#include "db/sql/lexer.h"

namespace qv::ado {
namespace {

constexpr std::array<const char*, 3> kProviders = {"Microsoft.ACE.OLEDB.12.0", "Microsoft.Jet.OLEDB.4.0",
                                                   "Microsoft.ACE.OLEDB.16.0"};

// Keys that may follow the password in a connection string.
constexpr std::array<const char*, 9> kKnownKeys = {
    "Provider",   "Data Source",      "User ID", "Password", "Mode", "Persist Security Info", "Extended Properties",
    "Jet OLEDB:", "Locale Identifier"};

// A failure of the engine or the front end as the layer reports it.
[[noreturn]] void rethrow(const DbError& e) { throw Error(e.number(), QString::fromUtf8(e.what())); }

int adoType(const jet::ColumnDef& c) {
  using jet::ColumnType;
  switch (c.type) {
    case ColumnType::kBoolean: return adBoolean;
    case ColumnType::kByte: return adUnsignedTinyInt;
    case ColumnType::kInteger: return adSmallInt;
    case ColumnType::kLong: return adInteger;
    case ColumnType::kCurrency: return adCurrency;
    case ColumnType::kSingle: return adSingle;
    case ColumnType::kDouble: return adDouble;
    case ColumnType::kDateTime: return adDate;
    case ColumnType::kBinary: return adVarBinary;
    case ColumnType::kText: return adVarWChar;
    case ColumnType::kOle: return adLongVarBinary;
    case ColumnType::kMemo: return adLongVarWChar;
    case ColumnType::kGuid: return adGUID;
    case ColumnType::kNumeric: return adNumeric;
  }
  return adVariant;
}

QString guidText(const std::string& raw) {
  if (raw.size() != 16) return QString::fromLatin1(QByteArray(raw.data(), static_cast<qsizetype>(raw.size())).toHex());
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  QByteArray ordered(16, '\0');
  for (int i = 0; i < 16; ++i) ordered[i] = raw[static_cast<size_t>(kOrder[i])];
  QString hex = QString::fromLatin1(ordered.toHex()).toUpper();
  return u'{' + hex.mid(0, 8) + u'-' + hex.mid(8, 4) + u'-' + hex.mid(12, 4) + u'-' + hex.mid(16, 4) + u'-' +
         hex.mid(20) + u'}';
}

Value toAdo(const jet::Value& v) {
  using Kind = jet::Value::Kind;
  switch (v.kind) {
    case Kind::kNull: return Value::null();
    case Kind::kBoolean: return Value::boolean(v.b);
    case Kind::kInteger: return Value::integer(v.i);
    case Kind::kDouble: return Value::real(v.d);
    case Kind::kCurrency: {
      // Ten-thousandths as an exact decimal with four places.
      const bool negative = v.i < 0;
      const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(v.i) : static_cast<uint64_t>(v.i);
      QString frac = QString::number(magnitude % 10000).rightJustified(4, u'0');
      return Value::decimal((negative ? QStringLiteral("-") : QString()) + QString::number(magnitude / 10000) + u'.' +
                            frac);
    }
    case Kind::kDecimal: return Value::decimal(QString::fromStdString(v.s));
    case Kind::kDateTime: {
      const jet::DateParts p = jet::partsFromOleDate(v.d);
      return Value::dateTime(QDate(p.year, p.month, p.day), QTime(p.hour, p.minute, p.second, p.millisecond));
    }
    case Kind::kText: return Value::utf8Text(v.s);
    case Kind::kBinary: return Value::bytes(QByteArray(v.s.data(), static_cast<qsizetype>(v.s.size())));
    case Kind::kGuid: return Value::text(guidText(v.s));
  }
  return Value::null();
}

class TableCursor final : public Cursor {
 public:
  explicit TableCursor(jet::Table& table) : rowCount_(table.rowCount()), rows_(table.scan()) {
    for (const auto& c : table.columns()) {
      int size = c.type == jet::ColumnType::kText || c.type == jet::ColumnType::kBinary ? c.length : 0;
      fields_.push_back({QString::fromStdString(c.name), adoType(c), size});
    }
  }
  const std::vector<FieldInfo>& fields() const override { return fields_; }
  long recordCount() override { return static_cast<long>(rowCount_); }
  bool fetch(std::vector<Value>& row) override {
    if (ended_) return false;
    try {
      if (!rows_->next(raw_)) return false;
    } catch (const DbError& e) {
      ended_ = true;  // where the next row would be is not known
      rethrow(e);
    }
    row.clear();
    row.reserve(raw_.size());
    for (const auto& v : raw_) row.push_back(toAdo(v));
    return true;
  }

 private:
  int64_t rowCount_;
  std::unique_ptr<jet::RowCursor> rows_;
  bool ended_ = false;
  std::vector<FieldInfo> fields_;
  std::vector<jet::Value> raw_;
};

// MSysObjects flags of objects the engine itself keeps; others marked system are Access's own.
constexpr uint32_t kEngineSystemFlag = 0x80000000u;
// MSysObjects types of linked tables: ODBC ones and ones in other Access files.
constexpr int16_t kOdbcLinkType = 4;

QString tableType(const jet::CatalogEntry& e) {
  switch (e.kind) {
    case jet::ObjectKind::kUserTable: return QStringLiteral("TABLE");
    case jet::ObjectKind::kSystemTable:
      return (static_cast<uint32_t>(e.flags) & kEngineSystemFlag) ? QStringLiteral("SYSTEM TABLE")
                                                                  : QStringLiteral("ACCESS TABLE");
    case jet::ObjectKind::kLinkedTable:
      return e.type == kOdbcLinkType ? QStringLiteral("PASS-THROUGH") : QStringLiteral("LINK");
    case jet::ObjectKind::kQuery:
      return e.flags == 0 ? QStringLiteral("VIEW") : QString();  // action queries are procedures
    case jet::ObjectKind::kOther: return QString();
  }
  return QString();
}

class AccessSession final : public Session {
 public:
  explicit AccessSession(std::unique_ptr<jet::Database> db) : db_(std::move(db)), executor_(*db_) {}
  ~AccessSession() override {
    try {
      close();
    } catch (...) {
      // Close() is called explicitly where a failure matters.
    }
  }

  long execute(const QString& statement) override {
    requireOpen();
    const QByteArray utf8 = statement.toUtf8();
    try {
      return executor_.execute(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
    } catch (const DbError& e) {
      rethrow(e);
    }
  }

  int executeBatch(const QStringList& statements, const std::function<bool(int, const Error&)>& onFailure) override {
    requireOpen();
    // Every statement's UTF-8 text back to back in one buffer, kept from batch to batch.
    batchText_.clear();
    batchEnds_.clear();
    for (const QString& s : statements) {
      appendUtf8(s, batchText_);
      batchEnds_.push_back(batchText_.size());
    }
    batchViews_.clear();
    size_t from = 0;
    for (size_t end : batchEnds_) {
      batchViews_.emplace_back(batchText_.data() + from, end - from);
      from = end;
    }
    const size_t run = executor_.executeBatch(batchViews_, [&](size_t index, const DbError& e) {
      return onFailure(static_cast<int>(index), Error(e.number(), QString::fromUtf8(e.what())));
    });
    return static_cast<int>(run);
  }

  int executeBatchUtf8(std::span<const std::string_view> statements,
                       const std::function<bool(int, const Error&)>& onFailure) override {
    requireOpen();
    const size_t run = executor_.executeBatch(statements, [&](size_t index, const DbError& e) {
      return onFailure(static_cast<int>(index), Error(e.number(), QString::fromUtf8(e.what())));
    });
    return static_cast<int>(run);
  }

  std::unique_ptr<Cursor> query(const QString& source) override {
    requireOpen();
    // "SELECT * FROM [T]" (or `T`, or T) is the one query the program makes.
    const QByteArray utf8 = source.toUtf8();
    const std::string_view text(utf8.constData(), static_cast<size_t>(utf8.size()));
    sql::Lexer lexer(text);
    sql::Token t[6];
    for (auto& tok : t) tok = lexer.next();
    const bool ok = t[0].kind == sql::TokenKind::kWord && sql::isKeyword(t[0].text, "SELECT") &&
                    t[1].kind == sql::TokenKind::kOther && t[1].text == "*" && t[2].kind == sql::TokenKind::kWord &&
                    sql::isKeyword(t[2].text, "FROM") &&
                    (t[3].kind == sql::TokenKind::kWord || t[3].kind == sql::TokenKind::kQuotedName) &&
                    (t[4].kind == sql::TokenKind::kEnd ||
                     (t[4].kind == sql::TokenKind::kSemicolon && t[5].kind == sql::TokenKind::kEnd));
    if (!ok) {
      throw Error(
          kErrSql,
          QStringLiteral("SQL error: only SELECT * FROM [table] can be read through this connection: ") + source);
    }
    try {
      jet::Table* table = db_->table(std::string(t[3].text));
      if (!table) {
        throw Error(kErrSql, QStringLiteral("SQL error: The table '%1' does not exist.")
                                 .arg(QString::fromUtf8(t[3].text.data(), static_cast<qsizetype>(t[3].text.size()))));
      }
      return std::make_unique<TableCursor>(*table);
    } catch (const DbError& e) {
      rethrow(e);
    }
  }

  std::unique_ptr<Cursor> openSchema(int schema) override {
    requireOpen();
    if (schema != adSchemaTables) {
      throw Error(kErrUnspecified,
                  QStringLiteral("Object or provider is not capable of performing requested operation."));
    }
    std::vector<jet::CatalogEntry> entries;
    try {
      entries = db_->catalog();
    } catch (const DbError& e) {
      rethrow(e);
    }
    std::vector<std::vector<Value>> rows;
    for (const auto& e : entries) {
      QString type = tableType(e);
      if (type.isEmpty()) continue;
      rows.push_back({Value::null(), Value::null(), Value::text(QString::fromStdString(e.name)), Value::text(type),
                      Value::null()});
    }
    // Schema rows come ordered by type, then name.
    std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) {
      int byType = a[3].asText().compare(b[3].asText());
      if (byType != 0) return byType < 0;
      return a[2].asText().compare(b[2].asText(), Qt::CaseInsensitive) < 0;
    });
    std::vector<FieldInfo> fields{{QStringLiteral("TABLE_CATALOG"), adVarWChar, 128},
                                  {QStringLiteral("TABLE_SCHEMA"), adVarWChar, 128},
                                  {QStringLiteral("TABLE_NAME"), adVarWChar, 128},
                                  {QStringLiteral("TABLE_TYPE"), adVarWChar, 128},
                                  {QStringLiteral("DESCRIPTION"), adVarWChar, 255}};
    return std::make_unique<RowListCursor>(std::move(fields), std::move(rows));
  }

  void close() override {
    if (closed_) return;
    closed_ = true;
    try {
      db_->close();
    } catch (const DbError& e) {
      rethrow(e);
    }
  }

 private:
  void requireOpen() const {
    if (closed_) throw Error(kErrObjectClosed, QStringLiteral("Operation is not allowed when the object is closed."));
  }

  void appendUtf8(const QString& text, std::string& out) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(utf8_.requiredSpace(text.size())));
    utf8_.resetState();
    char* end = utf8_.appendToBuffer(out.data() + at, text);
    out.resize(static_cast<size_t>(end - out.data()));
  }

  std::unique_ptr<jet::Database> db_;
  sql::Executor executor_;
  bool closed_ = false;
  QStringEncoder utf8_{QStringEncoder::Utf8};
  std::string batchText_;
  std::vector<size_t> batchEnds_;
  std::vector<std::string_view> batchViews_;
};

class AccessProvider final : public Driver {
 public:
  explicit AccessProvider(DatabaseOpener opener) : opener_(std::move(opener)) {}

  QString name() const override { return QStringLiteral("Access"); }

  bool accepts(const ConnectionString& cs) const override {
    const QString provider = cs.valueOr(QStringLiteral("Provider")).trimmed();
    return std::any_of(kProviders.begin(), kProviders.end(),
                       [&](const char* p) { return provider.compare(QLatin1String(p), Qt::CaseInsensitive) == 0; });
  }

  std::unique_ptr<Session> open(const ConnectionString& cs, int mode) override {
    const QString path = cs.valueOr(QStringLiteral("Data Source"));
    const std::string file = path.toStdString();
    jet::OpenOptions options;
    options.password = accessPassword(cs.text()).toStdString();
    options.readOnly = mode == adModeRead;
    // Asked to write (Mode 2 or 3), the open fails when the database cannot be changed,
    // rather than opening it for reading and failing every statement that changes it.
    options.requireWritable = (mode & adModeWrite) != 0;
    try {
      if (path.isEmpty() || !io::defaultEnv().exists(file)) {
        throw Error(kErrNotFound, QStringLiteral("Could not find file '%1'.").arg(path));
      }
      return std::make_unique<AccessSession>(opener_(file, options));
    } catch (const DbError& e) {
      rethrow(e);
    }
  }

 private:
  DatabaseOpener opener_;
};

}  // namespace

QString accessPassword(const QString& text) {
  static const QString key = QStringLiteral("JET OLEDB:Database Password");
  // Find the key where an entry begins (at the start or after ";"), then its "=".
  qsizetype at = -1;
  for (qsizetype from = 0; (from = text.indexOf(key, from, Qt::CaseInsensitive)) >= 0; from += key.size()) {
    qsizetype before = from - 1;
    while (before >= 0 && text[before] == u' ') --before;
    qsizetype after = from + key.size();
    while (after < text.size() && text[after] == u' ') ++after;
    if ((before < 0 || text[before] == u';') && after < text.size() && text[after] == u'=') {
      at = after + 1;
      break;
    }
  }
  if (at < 0) return QString();
  // The password runs to the end, or to a ";" that begins another known key.
  for (qsizetype semi = text.indexOf(u';', at); semi >= 0; semi = text.indexOf(u';', semi + 1)) {
    const QString rest = text.mid(semi + 1).trimmed();
    for (const char* k : kKnownKeys) {
      const QLatin1String known(k);
      if (!rest.startsWith(known, Qt::CaseInsensitive)) continue;
      const QString tail = rest.mid(known.size());
      if (known.endsWith(u':') || tail.trimmed().startsWith(u'=')) return text.mid(at, semi - at);
    }
  }
  return text.mid(at);
}

std::shared_ptr<Driver> makeAccessProvider(DatabaseOpener opener) {
  return std::make_shared<AccessProvider>(std::move(opener));
}

}  // namespace qv::ado
