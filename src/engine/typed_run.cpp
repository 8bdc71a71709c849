#include "engine/typed_run.h"

#include <QFileInfo>
#include <algorithm>
#include <cstdint>
#include <exception>
#include <memory>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/paradox_driver.h"
#include "db/io/error.h"
#include "db/jet/key_probe.h"
#include "db/paradox/table_keys.h"
#include "db/paradox/table_reader.h"
#include "db/paradox/text_codec.h"
#include "engine/conversion_run.h"
#include "engine/statement_batch.h"
#include "engine/typed_survey.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"

namespace qv::engine {
namespace {

// The steps of the default run that do the same things, so that failures read alike.
constexpr int kStepDrop = 170;
constexpr int kStepCreate = 302;
constexpr int kStepOpen = 176;
constexpr int kStepInsert = 406;
constexpr int kStepRead = 408;
constexpr int kStepConnect = 132;

// INSERT statements go to the database in batches of this many.
constexpr size_t kBatchRows = 1000;
constexpr size_t kMaxIndexColumns = 10;
constexpr size_t kMaxIndexes = 32;

const QString kLocation = QStringLiteral("in Quorvane.TypedRun ");

std::string bracketed(const std::string& name) { return "[" + name + "]"; }

bool sameName(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// The key order of the database the statements are for: the one it has, or the one a
// new database of its kind gets.
jet::KeyOrder keyOrderFor(const QString& database, const QString& password) {
  const bool accdb = database.endsWith(QStringLiteral(".accdb"), Qt::CaseInsensitive);
  jet::KeyOrder order = jet::keyOrderForNew(accdb ? jet::Format::kAce12 : jet::Format::kJet4);
  if (!QFileInfo(database).isFile()) return order;
  try {
    jet::OpenOptions options;
    options.readOnly = true;
    options.password = password.toStdString();
    auto db = jet::openDatabase(database.toStdString(), options);
    order = jet::keyOrderOf(*db);
  } catch (const DbError&) {
    // The run reports a database it cannot use when it connects.
  }
  return order;
}

}  // namespace

void TypedRun::start() {
  auto fail = [&](int step, const QString& description) {
    host_.reportFailure(kLocation, step, description, currentTable_, 0);
  };
  if (!host_.hasParadoxTables()) return;
  list1_ = host_.loadParadoxTables();
  list2_ = host_.loadAccessTables();
  seen_.clear();
  keyOrder_ = keyOrderFor(database_, password_);
  try {
    text_ = ado::textOptions(ado::ConnectionString(host_.paradoxConnectionString()));
  } catch (const ado::Error& e) {
    fail(kStepConnect, e.description());
    return;
  }
  ConnectionSlots& conns = host_.connections();
  if (!host_.previewMode()) {
    try {
      conns.access = ado::Connection::Create();
      conns.access->setCursorLocation(ado::adUseClient);
      conns.access->setMode(ado::adModeReadWrite);
      conns.access->Open(host_.accessConnectionString());
    } catch (const ado::Error& e) {
      fail(kStepConnect, e.description());
      return;
    }
  }
  host_.clearPreviewScript();
  for (qsizetype i = list1_.size() - 1; i >= 0; --i) convertTable(list1_.at(i));
  currentTable_.clear();
  if (host_.previewMode()) {
    try {
      host_.showPreview();
    } catch (const ado::Error& e) {
      fail(0, e.description());
    }
  } else if (conns.access) {
    try {
      conns.access->Close();
    } catch (const ado::Error& e) {
      fail(0, e.description());
    }
  }
  host_.setProgressValue(0);
  shell::msgBox(QStringLiteral("Done."));
}

void TypedRun::convertTable(const QString& table) {
  currentTable_ = table;
  auto fail = [&](int step, const QString& description, long row = 0) {
    host_.reportFailure(kLocation, step, description, table, row);
  };
  auto note = [&](const std::string& text) { shell::msgBox(QString::fromStdString(text)); };
  if (seen_.contains(table.toCaseFolded())) {
    shell::msgBox(duplicateTableMessage(table, FirstEntry::kConverted));
    return;
  }
  seen_.insert(table.toCaseFolded());
  ado::Connection* access = host_.connections().access.get();
  // Executes one statement or appends it to the script; false when it failed.
  auto deliver = [&](int step, const std::string& statement, bool counted) {
    const QString text = QString::fromStdString(statement);
    if (host_.previewMode()) {
      host_.appendPreviewLine(text);
      return true;
    }
    try {
      if (!access) throw ado::Error(91, QStringLiteral("Object variable not set"));
      access->Execute(text);
      if (counted) host_.executed(text);
      return true;
    } catch (const ado::Error& e) {
      fail(step, e.description());
      return false;
    }
  };

  if (shell::ListContains(list2_, table)) {
    if (shell::askYesNo(QStringLiteral("Would you like to overwrite ") + table + u'?', QStringLiteral("Overwrite?")) !=
        shell::MsgAnswer::Yes)
      return;
    deliver(kStepDrop, "DROP TABLE `" + table.toStdString() + "`;", false);
    shell::RemoveFromList(list2_, table.toLower());
  }
  host_.setProgressText(QStringLiteral("Please wait.. Processing table ") + table);

  const std::string path = ado::findParadoxTable(host_.paradoxFolder(), table).toStdString();
  std::unique_ptr<paradox::TableReader> reader;
  try {
    if (path.empty()) throw DbError(kErrNotFound, "The Paradox table '" + table.toStdString() + "' was not found.");
    reader = std::make_unique<paradox::TableReader>(path, io::defaultEnv(), text_);
  } catch (const DbError& e) {
    fail(kStepOpen, QString::fromUtf8(e.what()));
    host_.setProgressText(QString());
    return;
  }
  const std::string name = table.toStdString();
  const paradox::TableHeader& header = reader->header();
  paradox::Transcoder names(reader->charset(), "UTF-8");
  std::vector<TypedColumn> columns;
  for (const paradox::FieldDef& f : header.fields) {
    std::string fieldName;
    names.convert(f.name.data(), f.name.size(), fieldName);
    columns.push_back(typedColumn(f, fieldName));
  }

  // The keys the table declares, as Access indexes.
  paradox::TableKeys keys;
  try {
    keys = paradox::readTableKeys(path);
  } catch (const DbError& e) {
    keys.problems.push_back(std::string(e.what()) + "; table " + name + " is converted without its keys");
  }
  for (const std::string& p : keys.problems) note(p);
  std::vector<UniqueKey> unique;
  std::vector<jet::IndexDef> indexes;
  if (keys.primaryKeyFields > 0) {
    UniqueKey k;
    k.name = "PrimaryKey";
    k.primaryKey = true;
    for (size_t f = 0; f < keys.primaryKeyFields; ++f) {
      k.fields.push_back(f);
      k.columns.push_back({columns[f].column.name, true});
    }
    if (k.fields.size() > kMaxIndexColumns) {
      note("Table " + name + ": its primary key has " + std::to_string(k.fields.size()) +
           " fields, more than an Access index holds (10); the table is converted without it");
    } else {
      unique.push_back(k);
      jet::IndexDef d;
      d.name = k.name;
      d.columns = k.columns;
      d.primaryKey = true;
      indexes.push_back(std::move(d));
    }
  }
  for (const paradox::SecondaryIndex& x : keys.indexes) {
    jet::IndexDef d;
    d.name = x.name;
    for (int n = 1;
         std::any_of(indexes.begin(), indexes.end(), [&](const jet::IndexDef& o) { return sameName(o.name, d.name); });
         ++n)
      d.name = x.name + std::to_string(n);
    for (const paradox::KeyField& f : x.fields) d.columns.push_back({columns[f.field].column.name, !f.descending});
    d.unique = x.unique;
    if (d.columns.size() > kMaxIndexColumns || indexes.size() >= kMaxIndexes) {
      note("'" + x.file + "': index " + x.name +
           " has more fields, or comes after more indexes, than Access holds; table " + name +
           " is converted without it");
      continue;
    }
    if (d.unique) {
      UniqueKey k;
      k.name = d.name;
      k.columns = d.columns;
      for (const paradox::KeyField& f : x.fields) k.fields.push_back(f.field);
      unique.push_back(std::move(k));
    }
    indexes.push_back(std::move(d));
  }

  // What the records need: wider types, keys they break.
  try {
    const Survey survey = surveyTable(path, name, columns, unique, keyOrder_, text_);
    for (const std::string& n : survey.notes) note(n);
    for (size_t i = 0; i < unique.size(); ++i) {
      if (survey.keyKept[i]) continue;
      indexes.erase(std::remove_if(indexes.begin(), indexes.end(),
                                   [&](const jet::IndexDef& d) { return d.name == unique[i].name; }),
                    indexes.end());
    }
  } catch (const DbError& e) {
    fail(kStepRead, QString::fromUtf8(e.what()));
    host_.setProgressText(QString());
    return;
  }

  std::string create = "CREATE TABLE `" + name + "` (";
  for (size_t i = 0; i < columns.size(); ++i) {
    if (i) create += ", ";
    create += bracketed(columns[i].column.name) + " " + columns[i].sqlType;
  }
  std::vector<jet::IndexDef> secondary;
  for (const jet::IndexDef& d : indexes) {
    if (!d.primaryKey) {
      secondary.push_back(d);
      continue;
    }
    create += ", CONSTRAINT " + bracketed(d.name) + " PRIMARY KEY (";
    for (size_t k = 0; k < d.columns.size(); ++k) create += (k ? ", " : "") + bracketed(d.columns[k].name);
    create += ")";
  }
  create += ");";
  if (!deliver(kStepCreate, create, true)) {
    host_.setProgressText(QString());
    return;
  }
  for (const jet::IndexDef& d : secondary) {
    std::string s =
        std::string("CREATE ") + (d.unique ? "UNIQUE " : "") + "INDEX " + bracketed(d.name) + " ON `" + name + "` (";
    for (size_t k = 0; k < d.columns.size(); ++k)
      s += (k ? ", " : "") + bracketed(d.columns[k].name) + (d.columns[k].ascending ? "" : " DESC");
    deliver(kStepCreate, s + ");", false);
  }

  // The records.
  paradox::Transcoder memo(reader->charset(), "UTF-8");
  const uint64_t total = [&] {
    try {
      return reader->recordCount();
    } catch (const DbError&) {
      return uint64_t{0};
    }
  }();
  StatementBatch batch;  // each statement tagged with its record's number
  std::vector<bool> failed;
  auto flush = [&] {
    if (batch.empty()) return;
    failed.assign(batch.size(), false);
    batch.execute(access, [&](size_t i, const std::exception_ptr& failure) {
      failed[i] = true;
      try {
        std::rethrow_exception(failure);
      } catch (const ado::Error& e) {
        fail(kStepInsert, e.description(), batch.tag(i));
      }
      return true;
    });
    for (size_t i = 0; i < batch.size(); ++i)
      if (!failed[i]) host_.executedRow(batch.statement(i));
    batch.clear();
  };
  std::vector<paradox::Value> row;
  std::string statement;
  const std::string head = "INSERT INTO `" + name + "` VALUES (";
  long number = 0;
  try {
    while (reader->next(row)) {
      ++number;
      statement = head;
      for (size_t i = 0; i < row.size(); ++i) {
        if (i) statement += ", ";
        prepareValue(columns[i], row[i], memo);
        appendLiteral(columns[i], row[i], statement);
      }
      statement += ");";
      if (host_.previewMode()) {
        host_.appendPreviewLine(QString::fromStdString(statement));
      } else {
        batch.add(statement, number);
        if (batch.due(kBatchRows, SIZE_MAX)) flush();
      }
      if (number % 1024 == 0)
        host_.setProgressValue((static_cast<double>(number) + 1.0) / (static_cast<double>(total) + 1.0) * 100.0);
    }
  } catch (const DbError& e) {
    flush();
    fail(kStepRead, QString::fromUtf8(e.what()), number + 1);
  }
  flush();
  host_.setProgressText(QString());
}

}  // namespace qv::engine
