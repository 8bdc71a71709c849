#include <gtest/gtest.h>

#include <QRegularExpression>

#include "db/ado/data_type.h"
#include "support/memory_driver.h"
#include "engine/connection_strings.h"
#include "engine/conversion_run.h"
#include "shell/messages.h"
#include "support/hooked_driver.h"

namespace qv::engine {
namespace {

using ado::FieldInfo;
using ado::Value;

// Stands in for the Paradox driver: the run's Paradox string reaches the store "paradox".
class FakeParadoxDriver final : public ado::Driver {
 public:
  QString name() const override { return QStringLiteral("FakeParadox"); }
  bool accepts(const ado::ConnectionString& cs) const override {
    return cs.valueOr(QStringLiteral("Driver")) == QLatin1String("{Microsoft Paradox Driver (*.db )}");
  }
  std::unique_ptr<ado::Session> open(const ado::ConnectionString& cs, int mode) override {
    lastFolder = cs.valueOr(QStringLiteral("Dbq"));
    auto session = ado::makeMemoryDriver()->open(
        ado::ConnectionString(QStringLiteral("Provider=Memory;Data Source=paradox")), mode);
    if (failFetchAt <= 0) return session;
    return std::make_unique<test::HookedSession>(std::move(session), [failAt = failFetchAt](int fetch) {
      if (fetch == failAt) throw ado::Error(-1, QStringLiteral("Disk error while reading"));
    });
  }
  QString lastFolder;
  int failFetchAt = 0;  // every table's fetch of this number fails
};

struct Failure {
  int step;
  QString description;
  QString table;
  long row;
};

class TestHost final : public ConversionHost {
 public:
  QString folder = QStringLiteral("/data/px");
  bool preview = false, perFile = true, perTable = false;
  QStringList tables;
  std::function<void(PreviewFlags&, const QStringList& script)> onPreview;
  std::function<void()> onYield;

  QString paradoxFolder() const override { return folder; }
  bool previewMode() const override { return preview; }
  bool perFilePreview() const override { return perFile; }
  bool perTablePreview() const override { return perTable; }
  QString accessConnectionString() const override { return QStringLiteral("Provider=Memory;Data Source=access"); }
  void copyDB() override { ++copyDBCalls; }
  bool hasParadoxTables() override { return !folder.isEmpty() && !tables.isEmpty(); }
  QStringList loadParadoxTables() override { return tables; }
  QStringList loadAccessTables() override {
    QStringList names;
    for (const auto& t : ado::memoryStore(QStringLiteral("access")).tables) names << t.name;
    return names;
  }
  ConnectionSlots& connections() override { return conns; }
  PreviewFlags& previewFlags() override { return flags; }
  void setBusyPointer(bool busy) override { busyChanges.push_back(busy); }
  void setProgressText(const QString& text) override { progressTexts << text; }
  void setProgressValue(double value) override { progressValues.push_back(value); }
  void clearPreviewScript() override { script.clear(); }
  void appendPreviewLine(const QString& statement) override { script << statement; }
  void clearDatatypeRecord() override { record.clear(); }
  void appendDatatypeRow(const DatatypeRow& row) override { record.push_back(row); }
  void showPreview() override {
    previews.push_back(script);
    if (onPreview) onPreview(flags, script);
  }
  void yield() override {
    if (onYield) onYield();
  }
  void executed(const QString&) override { ++executedCount; }
  void reportFailure(const QString&, int step, const QString& description, const QString& table, long row) override {
    failures.push_back({step, description, table, row});
  }

  ConnectionSlots conns;
  PreviewFlags flags;
  int copyDBCalls = 0;
  int executedCount = 0;
  std::vector<bool> busyChanges;
  QStringList progressTexts;
  std::vector<double> progressValues;
  QStringList script;
  std::vector<DatatypeRow> record;
  std::vector<QStringList> previews;
  std::vector<Failure> failures;
};

class ConversionRunSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    ado::resetMemoryStores();
    auto& registry = ado::DriverRegistry::instance();
    registry.clear();
    registry.add(ado::makeMemoryDriver());
    registry.add(paradoxDriver);
    addParadoxTable(QStringLiteral("A"), 3);
    addParadoxTable(QStringLiteral("B"), 1);
    addParadoxTable(QStringLiteral("C"), 0);
    host.tables = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")};
  }
  void TearDown() override {
    ado::DriverRegistry::instance().restoreBuiltins();
    ado::resetMemoryStores();
  }

  void addParadoxTable(const QString& name, int rows) {
    ado::MemoryTable t;
    t.name = name;
    t.fields = {FieldInfo{QStringLiteral("ID"), ado::adInteger, 4},
                FieldInfo{QStringLiteral("NAME"), ado::adVarChar, 20},
                FieldInfo{QStringLiteral("WHEN"), ado::adDBDate, 8}};
    for (int i = 0; i < rows; ++i) {
      t.rows.push_back({Value::integer(i + 1), i == 1 ? Value::null() : Value::text(QStringLiteral("O'Row %1").arg(i)),
                        Value::dateTime(QDate(2021, 1, 3 + i))});
    }
    ado::memoryStore(QStringLiteral("paradox")).tables.push_back(t);
  }

  QStringList executed() const {
    QStringList out;
    for (const auto& s : ado::memoryStore(QStringLiteral("access")).executed) out << s;
    return out;
  }

  std::shared_ptr<FakeParadoxDriver> paradoxDriver = std::make_shared<FakeParadoxDriver>();
  TestHost host;
  shell::RecordingMessages box;
};

TEST_F(ConversionRunSteps, DirectModeCopiesTablesLastFirstAndSaysDone) {
  ConversionRun run(host, QLocale(QStringLiteral("en_US")));
  run.start();
  EXPECT_TRUE(host.failures.empty());
  const QStringList want{QStringLiteral("CREATE TABLE `C` ([ID] INT,[NAME] TEXT,[WHEN] TEXT);"),
                         QStringLiteral("CREATE TABLE `B` ([ID] INT,[NAME] TEXT,[WHEN] TEXT);"),
                         QStringLiteral("INSERT INTO `B` VALUES (1, 'O''Row 0', '01/03/2021');"),
                         QStringLiteral("CREATE TABLE `A` ([ID] INT,[NAME] TEXT,[WHEN] TEXT);"),
                         QStringLiteral("INSERT INTO `A` VALUES (1, 'O''Row 0', '01/03/2021');"),
                         QStringLiteral("INSERT INTO `A` VALUES (2,NULL, '01/04/2021');"),
                         QStringLiteral("INSERT INTO `A` VALUES (3, 'O''Row 2', '01/05/2021');")};
  EXPECT_EQ(executed(), want);
  EXPECT_EQ(host.executedCount, 7);
  // B's single row shows 100; A's three rows 50, 75, 100; then the reset.
  EXPECT_EQ(host.progressValues, (std::vector<double>{100, 50, 75, 100, 0}));
  EXPECT_EQ(host.progressTexts.first(), QStringLiteral("Please wait.. Processing table C"));
  EXPECT_EQ(host.progressTexts.last(), QStringLiteral("Progress Bar"));
  ASSERT_EQ(box.shown.size(), 1u);
  EXPECT_EQ(box.shown[0].text, QStringLiteral("Done."));
  EXPECT_EQ(paradoxDriver->lastFolder, QStringLiteral("/data/px/"));
  EXPECT_EQ(host.record.size(), 9u);
  EXPECT_EQ(host.record[0], (DatatypeRow{"C", "ID", "int", "INT"}));
  EXPECT_EQ(host.copyDBCalls, 1);
  EXPECT_FALSE(run.running());
  EXPECT_EQ(ado::memoryStore(QStringLiteral("access")).closes, 1);
}

TEST_F(ConversionRunSteps, NothingHappensWithoutTablesInTheFolder) {
  host.folder.clear();
  ConversionRun run(host, QLocale::c());
  run.start();
  EXPECT_TRUE(box.shown.empty());
  EXPECT_TRUE(executed().isEmpty());
  EXPECT_FALSE(run.running());
}

TEST_F(ConversionRunSteps, OverwriteQuestionDropsOrSkipsTablesOfAnyCase) {
  ado::memoryStore(QStringLiteral("access")).tables.push_back({QStringLiteral("c"), QStringLiteral("TABLE"), {}, {}});
  ado::memoryStore(QStringLiteral("access")).tables.push_back({QStringLiteral("a"), QStringLiteral("TABLE"), {}, {}});
  box.answer(shell::MsgAnswer::Yes);  // C
  box.answer(shell::MsgAnswer::No);   // A
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_GE(box.shown.size(), 3u);
  EXPECT_EQ(box.shown[0].title, QStringLiteral("Overwrite?"));
  EXPECT_EQ(box.shown[0].text, QStringLiteral("Would you like to overwrite C?"));
  EXPECT_EQ(box.shown[1].text, QStringLiteral("Would you like to overwrite A?"));
  QStringList ex = executed();
  EXPECT_EQ(ex.value(0), QStringLiteral("DROP TABLE `C`;"));
  EXPECT_EQ(ex.value(1), QStringLiteral("CREATE TABLE `C` ([ID] INT,[NAME] TEXT,[WHEN] TEXT);"));
  EXPECT_FALSE(ex.join(u'\n').contains(QStringLiteral("`A`")));
  // The list of existing tables is updated by the exact lower-case name only.
  EXPECT_TRUE(run.accessTables().contains(QStringLiteral("a")));
  EXPECT_FALSE(run.accessTables().contains(QStringLiteral("c")));
}

TEST_F(ConversionRunSteps, PerFilePreviewGathersEveryTableAndExecutesNothing) {
  host.preview = true;
  ConversionRun run(host, QLocale::c());
  run.start();
  EXPECT_TRUE(executed().isEmpty());
  ASSERT_EQ(host.previews.size(), 1u);
  EXPECT_EQ(host.previews[0].size(), 7);
  EXPECT_TRUE(host.previews[0][0].startsWith(QStringLiteral("CREATE TABLE `C`")));
  EXPECT_TRUE(host.previews[0][6].startsWith(QStringLiteral("INSERT INTO `A`")));
  // Left without executing: the connections are closed at once, and the run says Done.
  EXPECT_EQ(ado::memoryStore(QStringLiteral("access")).closes, 1);
  EXPECT_EQ(box.shown.back().text, QStringLiteral("Done."));
}

TEST_F(ConversionRunSteps, PerTablePreviewSkipGoesOnAndAnythingElseStops) {
  host.preview = true;
  host.perFile = false;
  host.perTable = true;
  host.onPreview = [](PreviewFlags& f, const QStringList&) { f.stopAfterTable = false; };  // Skip Table
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_EQ(host.previews.size(), 3u);
  EXPECT_EQ(host.previews[2].size(), 4);  // only A's statements: the script is emptied per table
  host.previews.clear();
  host.onPreview = nullptr;  // closed without skipping
  run.start();
  EXPECT_EQ(host.previews.size(), 1u);
}

TEST_F(ConversionRunSteps, AFailingRowIsReportedWithTableAndRowAndTheRunGoesOn) {
  ado::memoryStore(QStringLiteral("access")).failWhen = [](const QString& s) -> std::optional<QString> {
    if (s.contains(QStringLiteral("(2,NULL"))) return QStringLiteral("SQL error: value out of range");
    return std::nullopt;
  };
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_EQ(host.failures.size(), 1u);
  EXPECT_EQ(host.failures[0].step, 406);
  EXPECT_EQ(host.failures[0].table, QStringLiteral("A"));
  EXPECT_EQ(host.failures[0].row, 2);
  EXPECT_EQ(host.executedCount, 6);
  EXPECT_TRUE(executed().last().startsWith(QStringLiteral("INSERT INTO `A` VALUES (3,")));
}

TEST_F(ConversionRunSteps, AFailedEndOfRowsTestCountsAsNoRows) {
  // A table the driver cannot open: its record set stays closed, so every step that
  // reads it fails. The end-of-rows test is one of them; failed, it holds: no rows.
  host.tables = {QStringLiteral("NOT-A")};
  for (bool preview : {false, true}) {
    SCOPED_TRACE(preview);
    host.failures.clear();
    host.progressValues.clear();
    host.preview = preview;
    ConversionRun run(host, QLocale::c());
    run.start();
    std::vector<int> steps;
    for (const auto& f : host.failures) steps.push_back(f.step);
    EXPECT_EQ(steps, (std::vector<int>{176, 184, 190, 192, 194, 306, 412})) << ::testing::PrintToString(steps);
    const QStringList statements = preview ? host.previews.back() : executed();
    EXPECT_TRUE(statements.filter(QStringLiteral("INSERT")).isEmpty()) << statements.join(u'\n').toStdString();
    EXPECT_EQ(host.progressValues, std::vector<double>{0});  // only the reset at the end
    EXPECT_EQ(box.shown.back().text, QStringLiteral("Done."));
  }
}

TEST_F(ConversionRunSteps, QueuedRowsAreReportedBeforeAnyLaterStep) {
  // Row 2 of A is rejected by the database while it waits in the queue; then reading
  // the row after it fails. The row's report comes first, as its step came first.
  ado::memoryStore(QStringLiteral("access")).failWhen = [](const QString& s) -> std::optional<QString> {
    if (s.contains(QStringLiteral("(2,NULL"))) return QStringLiteral("SQL error: value out of range");
    return std::nullopt;
  };
  host.tables = {QStringLiteral("A")};
  paradoxDriver->failFetchAt = 3;  // the move after row 2
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_GE(host.failures.size(), 2u);
  EXPECT_EQ(host.failures[0].step, 406);
  EXPECT_EQ(host.failures[0].row, 2);
  EXPECT_EQ(host.failures[1].step, 408);
  EXPECT_EQ(host.failures[1].row, 2);
  // Row 1 went in before either report was shown.
  EXPECT_TRUE(executed().contains(QStringLiteral("INSERT INTO `A` VALUES (1, 'O''Row 0', '01/03/2021');")));
}

TEST_F(ConversionRunSteps, QueuedRowsGoInWhenTheProgramEndsMidRun) {
  // The main window closes while the run yields: every row read so far must be in the
  // database before the connections close, failing ones reported by nobody.
  addParadoxTable(QStringLiteral("BIG"), 40);
  host.tables = {QStringLiteral("BIG")};
  ado::memoryStore(QStringLiteral("access")).failWhen = [](const QString& s) -> std::optional<QString> {
    if (s.startsWith(QStringLiteral("INSERT INTO `BIG` VALUES (5,"))) return QStringLiteral("SQL error: rejected");
    return std::nullopt;
  };
  ConversionRun run(host, QLocale::c());
  long readAtClose = -1;
  qsizetype executedAtClose = -1;
  host.onYield = [&] {
    if (readAtClose >= 0 || run.currentRow() != 30) return;
    readAtClose = run.rowsDone();  // before the rows queued
    run.finishQueuedRows();
    executedAtClose = executed().size();
  };
  run.start();
  EXPECT_LT(readAtClose, 29) << "the rows were not queued: nothing to show";
  // The CREATE statement and rows 1 to 29 (row 30 is being read), row 5 rejected.
  EXPECT_EQ(executedAtClose, 1 + 28);
  EXPECT_TRUE(host.failures.empty()) << "a program that ends shows no report";
}

// Rows go to the database in batches of a thousand.
TEST_F(ConversionRunSteps, RowsOfManyBatchesAreReportedInTheOrderOfTheRows) {
  addParadoxTable(QStringLiteral("BIG"), 2600);
  host.tables = {QStringLiteral("BIG")};
  ado::memoryStore(QStringLiteral("access")).failWhen = [](const QString& s) -> std::optional<QString> {
    for (int row : {500, 1100, 2400})
      if (s.startsWith(QStringLiteral("INSERT INTO `BIG` VALUES (%1,").arg(row))) return QStringLiteral("rejected");
    return std::nullopt;
  };
  // Reading the row after 1200 fails while rows 1001 to 1200 wait in the queue: every
  // report before it, in row order. The failed move still moves on (here the source
  // gives the row at the second try), so no row goes in twice and none is lost.
  paradoxDriver->failFetchAt = 1201;
  ConversionRun run(host, QLocale::c());
  run.start();
  std::vector<std::pair<int, long>> reports;
  for (const auto& f : host.failures) reports.emplace_back(f.step, f.row);
  EXPECT_EQ(reports, (std::vector<std::pair<int, long>>{{406, 500}, {406, 1100}, {408, 1200}, {406, 2400}}))
      << ::testing::PrintToString(reports);
  // In the database in the order they were read.
  QStringList want;
  for (int id = 1; id <= 2600; ++id) {
    if (id == 500 || id == 1100 || id == 2400) continue;
    want << QStringLiteral("INSERT INTO `BIG` VALUES (%1,").arg(id);
  }
  QStringList statements = executed();
  ASSERT_FALSE(statements.isEmpty());
  statements.removeFirst();  // CREATE TABLE
  for (QString& statement : statements) statement.truncate(statement.indexOf(u',') + 1);
  EXPECT_EQ(statements, want);
  EXPECT_EQ(run.rowsDone(), 2600);
}

TEST_F(ConversionRunSteps, AnUnopenedDatabaseFailsEachStatementButPreviewStillFills) {
  ado::memoryStore(QStringLiteral("access")).failOpen = true;
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_FALSE(host.failures.empty());
  EXPECT_EQ(host.failures[0].step, 132);
  // One report per statement that could not be executed (3 CREATE + 4 INSERT), and the
  // two closes at the end.
  int executes = 0;
  for (const auto& f : host.failures) executes += (f.step == 302 || f.step == 406);
  EXPECT_EQ(executes, 7);
  EXPECT_EQ(box.shown.back().text, QStringLiteral("Done."));

  host.failures.clear();
  host.preview = true;
  run.start();
  EXPECT_EQ(host.previews.back().size(), 7);
}

TEST_F(ConversionRunSteps, ASecondStartWhileRunningIsIgnored) {
  ConversionRun run(host, QLocale::c());
  int nested = 0;
  host.onYield = [&] {
    if (nested++ == 0) run.start();
  };
  run.start();
  long creates = executed().filter(QRegularExpression(QStringLiteral("^CREATE"))).size();
  EXPECT_EQ(creates, 3);
  EXPECT_EQ(box.shown.size(), 1u);
}

TEST_F(ConversionRunSteps, ATableNameFoundTwiceIsConvertedOnce) {
  // ORDERS.DB in the folder and orders.db in a folder below it: both entries name the
  // same table, so converting both would add its rows twice.
  host.tables = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("a")};
  for (bool preview : {false, true}) {
    SCOPED_TRACE(preview);
    ado::memoryStore(QStringLiteral("access")) = ado::MemoryStore();
    box.shown.clear();
    host.preview = preview;
    ConversionRun run(host, QLocale::c());
    run.start();
    const QStringList statements = preview ? host.previews.back() : executed();
    EXPECT_EQ(statements.filter(QRegularExpression(QStringLiteral("^CREATE TABLE `[aA]`"))).size(), 1);
    EXPECT_EQ(statements.filter(QRegularExpression(QStringLiteral("^INSERT INTO `[aA]`"))).size(), 3);
    EXPECT_EQ(statements.filter(QRegularExpression(QStringLiteral("^CREATE TABLE `B`"))).size(), 1);
    ASSERT_EQ(box.shown.size(), 2u);
    EXPECT_EQ(box.shown[0].text, duplicateTableMessage(QStringLiteral("A"), FirstEntry::kConverted));
    EXPECT_EQ(box.shown[1].text, QStringLiteral("Done."));
    EXPECT_TRUE(host.failures.empty());
  }
}

TEST_F(ConversionRunSteps, ADuplicateNameSaysWhatBecameOfTheFirstEntry) {
  // A is listed twice; the run comes to the later entry first.
  host.tables = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("a")};
  ado::memoryStore(QStringLiteral("access")).tables.push_back({QStringLiteral("A"), QStringLiteral("TABLE"), {}, {}});
  box.answer(shell::MsgAnswer::No);  // do not overwrite A
  ConversionRun run(host, QLocale::c());
  run.start();
  ASSERT_EQ(box.shown.size(), 3u);
  EXPECT_EQ(box.shown[1].text, duplicateTableMessage(QStringLiteral("A"), FirstEntry::kDeclined));
  EXPECT_TRUE(box.shown[1].text.contains(QStringLiteral("You chose not to overwrite it, so it is not converted")));
  EXPECT_FALSE(executed().join(u'\n').contains(QStringLiteral("`A`")));

  // Per-table preview, the first entry skipped.
  box.shown.clear();
  ado::memoryStore(QStringLiteral("access")) = ado::MemoryStore();
  host.preview = true;
  host.perFile = false;
  host.perTable = true;
  host.onPreview = [](PreviewFlags& f, const QStringList&) { f.stopAfterTable = false; };
  run.start();
  ASSERT_EQ(box.shown.size(), 2u);
  EXPECT_EQ(box.shown[0].text, duplicateTableMessage(QStringLiteral("A"), FirstEntry::kSkipped));
  EXPECT_TRUE(box.shown[0].text.contains(QStringLiteral("You skipped it in the SQL preview")));
  EXPECT_NE(duplicateTableMessage(QStringLiteral("A"), FirstEntry::kSkipped),
            duplicateTableMessage(QStringLiteral("A"), FirstEntry::kConverted));
}

TEST(ConnectionStrings, ParadoxAndAccessStrings) {
  EXPECT_EQ(ParadoxConnString(QStringLiteral("/data")),
            QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox "
                           "5.X;DefaultDir=/data/;Dbq=/data/;CollatingSequence=ASCII;"));
  EXPECT_EQ(AccessConnString(QStringLiteral("/d/Shop.ACCDB"), QString()),
            QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/d/Shop.ACCDB;JET OLEDB:Database Password="));
  EXPECT_EQ(AccessConnString(QStringLiteral("/d/old.mdb"), QStringLiteral("a;b")),
            QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/d/old.mdb;JET OLEDB:Database Password=a;b"));
  EXPECT_TRUE(
      AccessConnString(QStringLiteral("/db/myaccdb"), QString()).startsWith(QStringLiteral("Provider=Microsoft.ACE")));
  EXPECT_TRUE(
      AccessConnString(QStringLiteral("/d/x.accdb "), QString()).startsWith(QStringLiteral("PROVIDER=Microsoft.Jet")));
  EXPECT_EQ(AccessConnString(QString(), QStringLiteral("pw")),
            QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=;JET OLEDB:Database Password=pw"));
}

}  // namespace
}  // namespace qv::engine
