#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "engine/access_catalog.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "ui/dialogs.h"
#include "ui/main/form1.h"
#include "ui/ui_test_env.h"

namespace qv::ui {
namespace {

QString setting(const char* key) { return shell::GetSetting(QString::fromLatin1(key), QStringLiteral("<absent>")); }

class Commands : public test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Form1::startupDraw = [] { return 50; };
    setOpenFileDialog([this](QWidget*, const OpenFileRequest& request) {
      fileRequests.push_back(request);
      return fileAnswer;
    });
    setFolderPicker([this](QWidget*, const QString& prompt, const QString& start) {
      folderRequests.push_back({prompt, start});
      return folderAnswer;
    });
    form = std::make_unique<Form1>();
    form->programFolder = QString::fromStdString(dir.path()) + QStringLiteral("/program");
    ASSERT_TRUE(form->Form_Load());
    QDir(engine::CopyDbTarget()).removeRecursively();
  }
  void TearDown() override {
    QDir(engine::CopyDbTarget()).removeRecursively();
    setOpenFileDialog({});
    setFolderPicker({});
    UiTest::TearDown();
  }
  QString makeFolder(const QString& name, const QStringList& files = {}) {
    const QString folder = QString::fromStdString(dir.path()) + u'/' + name;
    QDir().mkpath(folder);
    for (const QString& file : files) {
      QFile f(folder + u'/' + file);
      EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    }
    return folder;
  }
  QStringList texts() const {
    QStringList all;
    for (const auto& m : messages.shown) all.push_back(m.text);
    return all;
  }

  test::TempDir dir;
  std::unique_ptr<Form1> form;
  std::vector<OpenFileRequest> fileRequests;
  QString fileAnswer;
  std::vector<std::pair<QString, QString>> folderRequests;
  QString folderAnswer;
};

TEST_F(Commands, DatabaseBrowseCancelledChangesNothingChosenIsStored) {
  form->Text5->setText(QStringLiteral("/old.mdb"));
  form->Text6->setText(QStringLiteral("pw"));
  form->PushButton1->click();
  ASSERT_EQ(fileRequests.size(), 1u);
  EXPECT_EQ(fileRequests[0].title, QStringLiteral("Select Access Database"));
  EXPECT_EQ(fileRequests[0].flags, 0x280001);
  EXPECT_EQ(fileRequests[0].filter,
            QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
                           "Microsoft 2007 Database (*.accdb)|*.accdb|"));
  EXPECT_TRUE(fileRequests[0].fileName.isEmpty());
  EXPECT_EQ(form->Text5->text(), QStringLiteral("/old.mdb"));
  EXPECT_EQ(setting("AccessMDBFile"), QStringLiteral("/old.mdb"));

  fileAnswer = QStringLiteral("/data/new.accdb");
  form->PushButton1->click();
  EXPECT_EQ(form->Text5->text(), fileAnswer);
  EXPECT_EQ(setting("AccessMDBFile"), fileAnswer);
  EXPECT_EQ(form->Text6->text(), QStringLiteral("pw"));
  EXPECT_TRUE(messages.shown.empty());
}

TEST(DialogFilters, BecomeQtFiltersWithBothCases) {
  EXPECT_EQ(
      qtFilters(QStringLiteral("All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|")),
      (QStringList{"All Microsoft Databases (*.mdb,*.accdb) (*.*db *.*DB)",
                   "Microsoft Database (*.mdb) (*.mdb *.MDB)"}));
}

TEST_F(Commands, FolderBrowseStartsAtLastFolderDotAndCancelChangesNothing) {
  shell::SaveSetting(QStringLiteral("LastFolderDot"), QStringLiteral("/start/here"));
  form->Text1->setText(QStringLiteral("/kept"));
  form->PushButton2->click();
  ASSERT_EQ(folderRequests.size(), 1u);
  EXPECT_EQ(folderRequests[0].first, QStringLiteral("Please select folder:"));
  EXPECT_EQ(folderRequests[0].second, QStringLiteral("/start/here"));
  EXPECT_EQ(form->Text1->text(), QStringLiteral("/kept"));

  folderAnswer = makeFolder(QStringLiteral("plain"));
  form->PushButton2->click();
  EXPECT_EQ(form->Text1->text(), folderAnswer);
  EXPECT_EQ(setting("ParadoxFolder"), folderAnswer);
  EXPECT_TRUE(messages.shown.empty());  // no blank, no question
}

TEST_F(Commands, FolderBrowseWithABlankAsksAndNoKeepsTheChoice) {
  folderAnswer = makeFolder(QStringLiteral("my tables"), {QStringLiteral("a.db")});
  messages.answer(shell::MsgAnswer::No);
  form->PushButton2->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.endsWith(QStringLiteral(" and put Your db files in it?")));
  EXPECT_EQ(form->Text1->text(), folderAnswer);
}

TEST_F(Commands, TestConnectionLooksForTablesInTheFolderOnly) {
  form->Text1->setText(makeFolder(QStringLiteral("empty")));
  form->PushButton3->click();
  form->Text1->setText(makeFolder(QStringLiteral("one"), {QStringLiteral("Orders.db"), QStringLiteral("~Lock.db")}));
  form->PushButton3->click();
  form->LoadParadoxTables(form->List1);
  ASSERT_EQ(form->List1->count(), 1);
  EXPECT_EQ(form->List1->item(0)->text(), QStringLiteral("ORDERS"));
  EXPECT_EQ(texts(), (QStringList{"Could not connect.", "Connection successful."}));
  for (const auto& m : messages.shown) {
    EXPECT_EQ(m.buttons, shell::MsgButtons::Ok);
    EXPECT_EQ(m.icon, shell::MsgIcon::None);
  }
  EXPECT_EQ(form->MousePointer(), kPointerDefault);
  EXPECT_TRUE(form->Text5->text().isEmpty());
}

TEST_F(Commands, TestConnectionOnAFolderWithABlankCopiesFirstWhenAgreed) {
  const QString source = makeFolder(QStringLiteral("with blank"), {QStringLiteral("Orders.db")});
  form->Text1->setText(source);
  messages.answer(shell::MsgAnswer::Yes);
  form->PushButton3->click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_TRUE(messages.shown[0].text.startsWith(
      QStringLiteral("In some cases the software needs to use a folder without spaces.")));
  EXPECT_EQ(messages.shown[1].text, QStringLiteral("Connection successful."));
  EXPECT_EQ(form->Text1->text(), engine::CopyDbTarget());
  EXPECT_EQ(setting("ParadoxFolder"), engine::CopyDbTarget());
  EXPECT_TRUE(QFile::exists(engine::CopyDbTarget() + QStringLiteral("/Orders.db")));
}

TEST_F(Commands, AFailingFolderCheckIsReportedAndIsNoSuccess) {
  // A folder name longer than the file system allows makes the listing fail.
  form->Text1->setText(QString::fromStdString(dir.path()) + u'/' + QString(300, u'x'));
  form->PushButton3->click();
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].title, QStringLiteral("Application Error"));
  EXPECT_TRUE(
      messages.shown[0].text.contains(QStringLiteral("in Quorvane2021/08/31.Form1.PushButton3_Click at line 106")));
  EXPECT_EQ(messages.shown[1].text, QStringLiteral("Could not connect."));
  EXPECT_EQ(form->MousePointer(), kPointerDefault);
}

TEST_F(Commands, SampleButtonsPointNextToTheProgram) {
  form->Text6->setText(QStringLiteral("pw"));
  form->PushButton4->click();
  EXPECT_EQ(form->Text5->text(), form->programFolder + QStringLiteral("/Samples/sample.mdb"));
  EXPECT_EQ(setting("AccessMDBFile"), form->programFolder + QStringLiteral("/Samples/sample.mdb"));
  EXPECT_EQ(form->Text6->text(), QStringLiteral("pw"));
  form->PushButton6->click();
  EXPECT_EQ(form->Text1->text(), form->programFolder + QStringLiteral("/Samples"));
  EXPECT_TRUE(messages.shown.empty());

  // A program folder with a blank offers to copy the sample tables.
  form->programFolder = makeFolder(QStringLiteral("program files"));
  messages.answer(shell::MsgAnswer::No);
  form->PushButton6->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.endsWith(QStringLiteral(" and put sample db files in it?")));
  EXPECT_EQ(form->Text1->text(), form->programFolder + QStringLiteral("/Samples"));
}

TEST_F(Commands, HelpTextIsShownWordForWord) {
  form->PushButton5->click();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(
      messages.shown[0].text,
      QStringLiteral(
          "This software transfers text-based and numeric fields but does not handle binary / pictures fields.\r\n"
          "\r\n"
          "Use SQL Preview if your tables contains less than 32767 rows.\r\n"
          "\r\n"
          "Questions? Please contact Team Varnholt at https://varnholt.example/contact"));
  EXPECT_EQ(messages.shown[0].title, shell::applicationTitle());
  EXPECT_EQ(messages.shown[0].buttons, shell::MsgButtons::Ok);
}

TEST_F(Commands, StartConvertingHandsOverToTheRun) {
  form->PushButton7->click();  // no run installed: nothing happens
  EXPECT_TRUE(messages.shown.empty());
  int runs = 0;
  form->startConversion = [&runs](Form1& f) {
    ++runs;
    EXPECT_FALSE(f.ConversionRunning);
  };
  form->PushButton7->click();
  EXPECT_EQ(runs, 1);
}

TEST_F(Commands, AccessTablesFillTheHiddenList) {
  const QString missing = QString::fromStdString(dir.path()) + QStringLiteral("/none.mdb");
  form->List2->addItem(QStringLiteral("stale"));
  form->Text5->setText(missing);
  form->LoadAccessTables(form->List2, form->Text5->text());
  EXPECT_EQ(form->List2->count(), 0);
  EXPECT_EQ(texts(), QStringList{"Unable to access the database"});
}

}  // namespace
}  // namespace qv::ui
