#include "db/ado/paradox_driver.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include "db/ado/data_type.h"
#include "db/ado/error.h"
#include "db/ado/folder_listing.h"
#include "db/ado/row_list_cursor.h"
#include "db/ado/oem_code_page.h"
#include "db/io/env.h"
#include "db/io/error.h"
#include "db/paradox/code_page.h"
#include "db/paradox/table_reader.h"

namespace qv::ado {
namespace {

const QString kDriverName = QStringLiteral("Microsoft Paradox Driver (*.db )");

[[noreturn]] void rethrow(const DbError& e) { throw Error(e.number(), QString::fromStdString(e.what())); }

// Day 1 of the Paradox calendar, 1 January of year 1, is Julian day 1721426.
QDate toQDate(int64_t dayNumber) { return QDate::fromJulianDay(dayNumber + 1721425); }

QTime toQTime(int64_t ms) {
  if (ms < 0 || ms >= paradox::kMillisPerDay) return QTime();
  return QTime::fromMSecsSinceStartOfDay(static_cast<int>(ms));
}

class ParadoxCursor final : public Cursor {
 public:
  ParadoxCursor(const QString& path, const paradox::TextOptions& text)
      : reader_(path.toStdString(), io::defaultEnv(), text) {
    for (size_t i = 0; i < reader_.header().fields.size(); ++i) {
      const paradox::FieldDef& f = reader_.header().fields[i];
      FieldInfo info;
      info.name = QString::fromStdString(reader_.fieldName(i));
      info.type = adoTypeOf(f.type);
      info.definedSize = paradox::isBlobType(f.type)
                             ? 0
                             : static_cast<int>(f.type == paradox::FieldType::kAlpha ? f.sizeByte : f.width);
      fields_.push_back(std::move(info));
    }
  }

  const std::vector<FieldInfo>& fields() const override { return fields_; }

  long recordCount() override {
    if (count_ < 0) {
      try {
        count_ = static_cast<long>(reader_.recordCount());
      } catch (const DbError& e) {
        rethrow(e);
      }
    }
    return count_;
  }

  bool fetch(std::vector<Value>& row) override {
    try {
      if (!reader_.next(values_)) return false;
    } catch (const DbError& e) {
      rethrow(e);
    }
    row.resize(values_.size());
    for (size_t i = 0; i < values_.size(); ++i) {
      // Texts are copied into the row's own buffers, which serve row after row.
      if (values_[i].kind == paradox::Value::Kind::kText) {
        row[i].setUtf8Text(values_[i].text);
      } else {
        row[i] = toAdoValue(values_[i]);
      }
    }
    return true;
  }

  QStringList notices() const override {
    QStringList out;
    for (const std::string& n : reader_.textNotices()) out.push_back(QString::fromStdString(n));
    return out;
  }

 private:
  paradox::TableReader reader_;
  std::vector<FieldInfo> fields_;
  std::vector<paradox::Value> values_;
  long count_ = -1;
};

bool isTableFile(const QFileInfo& fi) {
  return fi.isFile() && fi.fileName().endsWith(QStringLiteral(".db"), Qt::CaseInsensitive);
}

// Whether a .db file name is the table's: its table name, or the name without ".db".
bool matches(const QString& name, const QString& table) {
  return name.left(name.size() - 3).compare(table, Qt::CaseInsensitive) == 0 ||
         paradoxTableName(name).compare(table, Qt::CaseInsensitive) == 0;
}

class ParadoxSession final : public Session {
 public:
  ParadoxSession(QString folder, const paradox::TextOptions& text) : folder_(std::move(folder)), text_(text) {}

  long execute(const QString& statement) override {
    throw Error(kErrUnspecified, QStringLiteral("SQL error: the Paradox driver only reads tables: ") + statement);
  }

  std::unique_ptr<Cursor> query(const QString& source) override {
    static const QRegularExpression re(QStringLiteral("^\\s*SELECT\\s+\\*\\s+FROM\\s+\\[([^\\]]*)\\]\\s*;?\\s*$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(source);
    if (!m.hasMatch()) throw Error(kErrUnspecified, QStringLiteral("SQL error: unsupported query: ") + source);
    const QString table = m.captured(1);
    const QString path = findParadoxTable(folder_, table);
    if (path.isEmpty())
      throw Error(
          kErrNotFound,
          QStringLiteral("The Paradox table '%1' was not found in '%2' or the folders below it.").arg(table, folder_));
    try {
      return std::make_unique<ParadoxCursor>(path, text_);
    } catch (const DbError& e) {
      rethrow(e);
    }
  }

  std::unique_ptr<Cursor> openSchema(int schema) override {
    if (schema != adSchemaTables)
      throw Error(kErrUnspecified,
                  QStringLiteral("Object or provider is not capable of performing requested operation."));
    std::vector<std::vector<Value>> rows;
    const auto entries = QDir(folder_).entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const auto& fi : entries) {
      if (isTableFile(fi))
        rows.push_back({Value::text(paradoxTableName(fi.fileName())), Value::text(QStringLiteral("TABLE"))});
    }
    return std::make_unique<RowListCursor>(std::vector<FieldInfo>{{QStringLiteral("TABLE_NAME"), adVarWChar, 64},
                                                                  {QStringLiteral("TABLE_TYPE"), adVarWChar, 64}},
                                           std::move(rows));
  }

  void close() override {}

 private:
  QString folder_;
  paradox::TextOptions text_;
};

class ParadoxDriver final : public Driver {
 public:
  QString name() const override { return kDriverName; }

  bool accepts(const ConnectionString& cs) const override {
    QString d = cs.valueOr(QStringLiteral("Driver")).trimmed();
    if (d.startsWith(u'{') && d.endsWith(u'}')) d = d.mid(1, d.size() - 2);
    return d.compare(kDriverName, Qt::CaseInsensitive) == 0;
  }

  std::unique_ptr<Session> open(const ConnectionString& cs, int) override {
    QString folder = cs.value(QStringLiteral("Dbq")).value_or(cs.valueOr(QStringLiteral("DefaultDir")));
    // The connection string puts a separator after the folder; on this platform a
    // backslash there is a separator too.
    if (folder.size() > 1 && (folder.endsWith(u'/') || folder.endsWith(u'\\'))) folder.chop(1);
    if (folder.isEmpty())
      throw Error(kErrUnspecified, QStringLiteral("The Paradox connection string names no folder (Dbq=)."));
    if (!QFileInfo(folder).isDir()) throw Error(kErrNotFound, QStringLiteral("'%1' is not a folder.").arg(folder));
    return std::make_unique<ParadoxSession>(folder, textOptions(cs));
  }
};

}  // namespace

paradox::TextOptions textOptions(const ConnectionString& cs) {
  paradox::TextOptions text;
  text.fallbackCodePage = paradoxFallbackCodePage();
  if (auto forced = cs.value(kCodePageKey)) {
    text.forcedCodePage = codePageNumber(forced->trimmed());
    if (text.forcedCodePage == 0)
      throw Error(kErrUnspecified,
                  QStringLiteral("The code page '%1' of the Paradox connection string is not one this system can "
                                 "convert; give the number of a DOS or Windows code page such as 437, 850, "
                                 "866 or 1252.")
                      .arg(forced->trimmed()));
  }
  return text;
}

unsigned codePageNumber(const QString& text) {
  bool ok = false;
  const unsigned n = text.toUInt(&ok);
  return ok && n > 0 && n < 65536 && !paradox::charsetOfCodePage(n).empty() ? n : 0;
}

int adoTypeOf(paradox::FieldType type) {
  using paradox::FieldType;
  switch (type) {
    case FieldType::kAlpha: return adVarChar;
    case FieldType::kDate: return adDBDate;
    case FieldType::kShort: return adSmallInt;
    case FieldType::kLong:
    case FieldType::kAutoInc: return adInteger;
    case FieldType::kMoney:
    case FieldType::kNumber:
    case FieldType::kBcd: return adDouble;
    case FieldType::kLogical: return adBoolean;
    case FieldType::kMemo: return adLongVarChar;
    case FieldType::kBlob:
    case FieldType::kFmtMemo:
    case FieldType::kOle:
    case FieldType::kGraphic: return adLongVarBinary;
    case FieldType::kTime:
    case FieldType::kTimestamp: return adDBTimeStamp;
    case FieldType::kBytes: return adBinary;
  }
  return adEmpty;
}

QString paradoxTableName(const QString& fileName) {
  QString name = fileName.toUpper();
  name.remove(QStringLiteral(".DB"), Qt::CaseSensitive);
  return name;
}

QString findParadoxTable(const QString& folder, const QString& table) {
  // The walk the table discovery lists from: the first file of the name in walk order is
  // the one the list named first.
  for (const QString& dir : walkFolders(folder)) {
    QStringList names;
    try {
      names = listFiles(dir, QStringLiteral("*.db"));
    } catch (const Error&) {
      continue;  // an unreadable folder lists no table either
    }
    for (const QString& name : names) {
      if (matches(name, table)) return dir + name;
    }
  }
  return {};
}

Value toAdoValue(const paradox::Value& v) {
  using K = paradox::Value::Kind;
  switch (v.kind) {
    case K::kNull: return Value::null();
    case K::kLogical: return Value::boolean(v.integer != 0);
    case K::kInteger: return Value::integer(v.integer);
    case K::kDouble: return Value::real(v.real);
    case K::kBcd: return Value::decimal(QString::fromStdString(v.text));
    case K::kText: return Value::utf8Text(v.text);
    case K::kDate: return Value::dateTime(toQDate(v.integer));
    case K::kTime: return Value::timeOnly(toQTime(v.integer));
    case K::kTimestamp: {
      const int64_t day = v.integer >= 0 ? v.integer / paradox::kMillisPerDay
                                         : -((-v.integer + paradox::kMillisPerDay - 1) / paradox::kMillisPerDay);
      return Value::dateTime(toQDate(day), toQTime(v.integer - day * paradox::kMillisPerDay));
    }
    case K::kBytes: return Value::bytes(QByteArray(v.text.data(), static_cast<qsizetype>(v.text.size())));
  }
  return Value::null();
}

std::shared_ptr<Driver> makeParadoxDriver() { return std::make_shared<ParadoxDriver>(); }

}  // namespace qv::ado
