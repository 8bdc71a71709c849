// "Start Converting" end to end: folders of real Paradox tables converted by the main
// window into a new Access database, in direct mode and through the preview windows
// driven by the test, the result read back by an independent reader (mdb-reader).

#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>

#include "db/ado/connection.h"
#include "db/ado/driver.h"
#include "db/ado/paradox_driver.h"
#include "db/jet/database.h"
#include "support/hooked_driver.h"
#include "support/temp_dir.h"
#include "support/testdata.h"
#include "ui/main/form1.h"
#include "ui/preview/desktop_conversion.h"
#include "ui/preview/form2.h"
#include "ui/preview/form4.h"
#include "ui/preview/preview_test_env.h"
#include "ui/preview/progress_display.h"
#include "ui/preview/report_list_model.h"
#include "ui/ui_test_env.h"

namespace qv::test {
namespace {

using ui::Form1;
using ui::Form2;
using ui::Form4;

// The three tables of the corpus folder used here, with their row counts.
const std::map<QString, int> kGeog{
    {QStringLiteral("COUNTY"), 3218}, {QStringLiteral("TBLAC"), 220}, {QStringLiteral("TBLSTTES"), 58}};

class StartConverting : public UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    QV_REQUIRE_TESTDATA();
    QV_REQUIRE_TOOL(!nodeToolsDir().empty(), "node with mdb-reader");
    Form1::startupDraw = [] { return 50; };
    ado::DriverRegistry::instance().restoreBuiltins();  // the program's drivers, the real Access engine among them
    form = std::make_unique<Form1>();
    form->programFolder = QString::fromStdString(dir.path()) + QStringLiteral("/program");
    form->Text1->setText(QString::fromStdString(testdataDir()) + QStringLiteral("/paradox/leonhad-paradoxdriver/geog"));
    database = QString::fromStdString(dir.file("converted.mdb"));
    jet::createDatabase(database.toStdString(), jet::Format::kJet4)->close();
    form->Text5->setText(database);
    form->Text6->clear();
    conversion = std::make_unique<ui::DesktopConversion>(*form, QLocale(QStringLiteral("en_US")));
    form->startConversion = [this](Form1&) { conversion->start(); };
  }
  void TearDown() override {
    conversion.reset();
    form.reset();
    UiTest::TearDown();
  }

  void previewMode(bool perTable) {
    form->Check1->setChecked(true);
    (perTable ? form->Option2 : form->Option1)->setChecked(true);
  }
  // Runs one SQL statement on the database through its own connection.
  void execute(const QString& statement) {
    auto c = ado::Connection::Create();
    c->Open(form->GetAccessConnString());
    c->Execute(statement);
    c->Close();
  }
  // The database as mdb-reader reads it.
  QJsonObject dump() const {
    std::string out;
    const std::string command = "node " + nodeToolsDir() + "/mdb_dump.mjs '" + database.toStdString() + "' 2>&1";
    EXPECT_EQ(runCommand(command, &out), 0) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
  }
  // Table name -> row count, as mdb-reader sees the database.
  std::map<QString, int> rowCounts() const {
    std::map<QString, int> counts;
    const QJsonObject d = dump();
    for (const auto& name : d.value(QStringLiteral("tables")).toArray()) {
      counts[name.toString()] =
          d.value(QStringLiteral("data"))[name.toString()][QStringLiteral("rows")].toArray().size();
    }
    return counts;
  }
  QStringList texts() const {
    QStringList all;
    for (const auto& m : messages.shown) all.push_back(m.text);
    return all;
  }
  void expectFinished() {
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("Done."));
    EXPECT_FALSE(form->ConversionRunning);
    EXPECT_EQ(conversion->progress().text(), QStringLiteral("Progress Bar"));
    EXPECT_EQ(conversion->progress().value(), 0);
    EXPECT_EQ(form->MousePointer(), ui::kPointerDefault);
    ASSERT_TRUE(form->access_conn);
    EXPECT_EQ(form->access_conn->State(), ado::adStateClosed);
    EXPECT_EQ(form->Paradox_conn->State(), ado::adStateClosed);
  }

  TempDir dir;
  QString database;
  std::unique_ptr<Form1> form;
  std::unique_ptr<ui::DesktopConversion> conversion;
  ModalScript modal;
};

TEST_F(StartConverting, DirectModeCopiesEveryTable) {
  form->PushButton7->click();
  EXPECT_EQ(texts(), QStringList{QStringLiteral("Done.")});
  expectFinished();
  EXPECT_EQ(form->List1->count(), 3);
  EXPECT_EQ(rowCounts(), kGeog);
  const QJsonObject states = dump()[QStringLiteral("data")][QStringLiteral("TBLSTTES")].toObject();
  EXPECT_EQ(states[QStringLiteral("columns")].toArray().size(), 13);
}

TEST_F(StartConverting, ClosingTheWindowMidRunKeepsEveryRowRead) {
  // The rows of a table go to the database in batches. The window closes while COUNTY's
  // row 1,500 has been read (at the move to the next row), with rows still waiting:
  // closing ends the program, and every row read must be in the database.
  constexpr int kRead = 1500;
  form->show();
  int terminated = 0;
  int64_t inDatabase = -1;
  const auto savedTerminate = Form1::terminateProcess;
  Form1::terminateProcess = [&] {
    ++terminated;
    jet::OpenOptions readOnly;
    readOnly.readOnly = true;
    auto db = jet::openDatabase(database.toStdString(), readOnly);  // its connections are closed now
    jet::Table* table = db->table("COUNTY");
    inDatabase = table ? table->rowCount() : -1;
  };
  auto& registry = ado::DriverRegistry::instance();
  registry.clear();
  registry.add(std::make_shared<HookedDriver>(ado::makeParadoxDriver(), [&](int fetch) {
    if (fetch == kRead + 1 && conversion->run().currentTable() == QStringLiteral("COUNTY")) form->close();
  }));
  ado::registerBuiltinDrivers(registry);
  form->PushButton7->click();
  Form1::terminateProcess = savedTerminate;
  registry.restoreBuiltins();
  ASSERT_EQ(terminated, 1);
  EXPECT_EQ(inDatabase, kRead);
}

TEST_F(StartConverting, ADatabaseAnotherProgramHoldsFailsAtTheOpenWithTheReason) {
  auto holder = jet::openDatabase(database.toStdString());  // a writer keeps it
  form->PushButton7->click();
  ASSERT_FALSE(messages.shown.empty());
  EXPECT_EQ(messages.shown[0].title, QStringLiteral("Application Error"));
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("is open in another program")))
      << messages.shown[0].text.toStdString();
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Form1.PushButton7_Click at line 132")))
      << messages.shown[0].text.toStdString();
  EXPECT_EQ(messages.shown.back().text, QStringLiteral("Done."));
  holder->close();
  EXPECT_TRUE(rowCounts().empty());
}

TEST_F(StartConverting, PerTablePreviewSkipEveryTableOrExecuteTheFirst) {
  previewMode(true);
  QStringList previewed;
  for (int i = 0; i < 3; ++i) {
    modal.then<Form2>([&](Form2& w) {
      const QString create = w.script().text(0);
      EXPECT_TRUE(create.startsWith(QStringLiteral("CREATE TABLE `"))) << qPrintable(create);
      const QString table = create.section(u'`', 1, 1);
      previewed << table;
      EXPECT_EQ(w.script().count(), kGeog.at(table) + 1);
      w.PushButton9->click();
    });
  }
  form->PushButton7->click();
  EXPECT_EQ(modal.shown(), 3);
  previewed.sort();
  EXPECT_EQ(previewed, (QStringList{QStringLiteral("COUNTY"), QStringLiteral("TBLAC"), QStringLiteral("TBLSTTES")}));
  expectFinished();
  EXPECT_TRUE(rowCounts().empty());

  // Execute on the first preview: that table is written and the run ends.
  messages.shown.clear();
  QString first;
  modal.then<Form2>([&](Form2& w) {
    first = w.script().text(0).section(u'`', 1, 1);
    w.PushButton1->click();
  });
  form->PushButton7->click();
  EXPECT_EQ(modal.shown(), 4);
  expectFinished();
  EXPECT_TRUE(form->SQLFormOK);
  EXPECT_EQ(rowCounts(), (std::map<QString, int>{{first, kGeog.at(first)}}));
}

TEST_F(StartConverting, PerFilePreviewExecuteBackAndCloseBox) {
  previewMode(false);
  modal.then<Form2>([](Form2& w) {
    EXPECT_EQ(w.script().count(), 3218 + 220 + 58 + 3);
    w.PushButton5->click();  // < Back
  });
  modal.then<Form2>([](Form2& w) { w.close(); });  // the close box
  form->PushButton7->click();
  expectFinished();
  form->PushButton7->click();
  expectFinished();
  EXPECT_FALSE(form->SQLFormOK);
  EXPECT_TRUE(rowCounts().empty());

  modal.then<Form2>([](Form2& w) { w.PushButton1->click(); });
  form->PushButton7->click();
  expectFinished();
  EXPECT_TRUE(form->SQLFormOK);
  EXPECT_EQ(rowCounts(), kGeog);
  EXPECT_EQ(modal.shown(), 3);
}

TEST_F(StartConverting, OverwriteQuestionOnATableOfAnotherLetterCase) {
  execute(QStringLiteral("CREATE TABLE `county` ([X] INT);"));
  execute(QStringLiteral("INSERT INTO `county` VALUES (1);"));
  messages.answer(shell::MsgAnswer::No);
  form->PushButton7->click();
  EXPECT_EQ(texts(), (QStringList{QStringLiteral("Would you like to overwrite COUNTY?"), QStringLiteral("Done.")}));
  EXPECT_EQ(messages.shown[0].title, QStringLiteral("Overwrite?"));
  EXPECT_EQ(rowCounts(),
            (std::map<QString, int>{
                {QStringLiteral("county"), 1}, {QStringLiteral("TBLAC"), 220}, {QStringLiteral("TBLSTTES"), 58}}));

  // Yes: the old table goes, the Paradox table takes its place. The other two exist now
  // in the same case and are asked about too.
  messages.shown.clear();
  messages.answer(shell::MsgAnswer::Yes);
  messages.answer(shell::MsgAnswer::Yes);
  messages.answer(shell::MsgAnswer::Yes);
  form->PushButton7->click();
  EXPECT_EQ(messages.shown.size(), 4u);
  expectFinished();
  EXPECT_EQ(rowCounts(), kGeog);
}

TEST_F(StartConverting, SqlErrorInTheMiddleCorrectedWithEditLine) {
  form->PushButton7->click();  // the tables exist afterwards: the preview drops them first
  messages.shown.clear();
  previewMode(false);
  messages.defaultAnswer = shell::MsgAnswer::Yes;
  int broken = 0;
  QString original;
  modal.then<Form2>([&](Form2& w) {
    // Break a statement of the second table: the first table is written, the second
    // stops at that line.
    const int count = w.script().count();
    int drops = 0;
    for (int i = 0; i < count && !broken; ++i) {
      if (w.script().text(i).startsWith(QStringLiteral("DROP TABLE"))) ++drops;
      if (drops == 2 && w.script().text(i).startsWith(QStringLiteral("INSERT INTO"))) broken = i + 5 + 1;
    }
    ASSERT_GT(broken, 0);
    original = w.script().text(broken - 1);
    w.script().setText(broken - 1, 0, original.left(original.size() - 3));
    w.PushButton1->click();
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(Form2::ErrorLine, broken);
    EXPECT_EQ(w.selectedLine(), broken);
    EXPECT_TRUE(w.Text1->toPlainText().startsWith(QStringLiteral("SQL error: "))) << qPrintable(w.Text1->toPlainText());
    EXPECT_EQ(texts().back(), QStringLiteral("Error found."));

    modal.then<Form4>([&](Form4& e) {
      EXPECT_EQ(e.Text1->toPlainText(), original.left(original.size() - 3));
      e.Text1->setPlainText(original);
      e.PushButton2->click();
    });
    w.ListView1_Click();
    w.PushButton1->click();
  });
  form->PushButton7->click();
  expectFinished();
  EXPECT_TRUE(form->SQLFormOK);
  EXPECT_EQ(rowCounts(), kGeog);
}

}  // namespace
}  // namespace qv::test
