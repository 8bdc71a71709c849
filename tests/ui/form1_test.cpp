#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <filesystem>

#include "db/ado/connection.h"
#include "db/ado/driver.h"
#include "support/memory_driver.h"
#include "engine/provider_check.h"
#include "shell/settings_store.h"
#include "support/temp_dir.h"
#include "shell/error_report.h"
#include "ui/appearance.h"
#include "ui/main/form1.h"
#include "ui/message_box_sink.h"
#include "ui/ui_test_env.h"

namespace qv::ui {
namespace {

QString setting(const char* key) { return shell::GetSetting(QString::fromLatin1(key), QStringLiteral("<absent>")); }
void store(const char* key, const char* value) {
  shell::SaveSetting(QString::fromLatin1(key), QString::fromLatin1(value));
}

class Form1Window : public test::UiTest {
 protected:
  void SetUp() override {
    UiTest::SetUp();
    Form1::startupDraw = [] { return 50; };
  }
  void TearDown() override {
    ado::DriverRegistry::instance().restoreBuiltins();
    UiTest::TearDown();
  }
  std::unique_ptr<Form1> load(bool expectShown = true) {
    auto form = std::make_unique<Form1>();
    form->programFolder = QString::fromStdString(programDir.path());
    EXPECT_EQ(form->Form_Load(), expectShown);
    return form;
  }
  void writeProgramFile(const QString& relative, const QByteArray& content) {
    const QString path = QString::fromStdString(programDir.path()) + u'/' + relative;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
  }
  test::TempDir programDir;
};

TEST_F(Form1Window, FirstStartComesUpEmptyWithPreviewPerFile) {
  auto form = load();
  EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorvane"));
  EXPECT_TRUE(form->Text1->text().isEmpty());
  EXPECT_TRUE(form->Text5->text().isEmpty());
  EXPECT_TRUE(form->Text6->text().isEmpty());
  EXPECT_EQ(form->Text6->echoMode(), QLineEdit::Password);
  EXPECT_TRUE(form->Check1->isChecked());
  EXPECT_TRUE(form->Option1->isEnabled());
  EXPECT_TRUE(form->Option2->isEnabled());
  EXPECT_TRUE(form->Option1->isChecked());
  EXPECT_FALSE(form->Option2->isChecked());
  EXPECT_EQ(setting("Check1"), QStringLiteral("1"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(opened.isEmpty());
  // The settings file holds the password: only its owner may read it.
  namespace fs = std::filesystem;
  EXPECT_EQ(fs::status(shell::settingsFilePath().toStdString()).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_FALSE(form->hasHandCursor());
}

TEST_F(Form1Window, StoredValuesAreRestored) {
  store("ParadoxFolder", "/data/paradox");
  store("AccessMDBFile", "/data/shop.accdb");
  store("AccessPassword", "s3cret");
  store("Check1", "0");
  store("Option1", "False");
  store("Option2", "True");
  auto form = load();
  EXPECT_EQ(form->Text1->text(), QStringLiteral("/data/paradox"));
  EXPECT_EQ(form->Text5->text(), QStringLiteral("/data/shop.accdb"));
  EXPECT_EQ(form->Text6->text(), QStringLiteral("s3cret"));
  EXPECT_FALSE(form->Check1->isChecked());
  // Preview off: both options disabled but keep their selection.
  EXPECT_FALSE(form->Option1->isEnabled());
  EXPECT_FALSE(form->Option2->isEnabled());
  EXPECT_TRUE(form->Option2->isChecked());
  EXPECT_FALSE(form->Option1->isChecked());
  EXPECT_EQ(setting("Check1"), QStringLiteral("0"));
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(form->GetAccessConnString(),
            QStringLiteral(
                "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/shop.accdb;JET OLEDB:Database Password=s3cret"));
}

TEST_F(Form1Window, ACheckValueThatIsNoNumberIsReportedAtLine128) {
  store("Check1", "yes please");
  store("Option1", "maybe");
  auto form = load();
  ASSERT_EQ(messages.shown.size(), 2u);
  for (const auto& m : messages.shown) {
    EXPECT_EQ(m.title, QStringLiteral("Application Error"));
    EXPECT_EQ(m.icon, shell::MsgIcon::Warning);
    EXPECT_TRUE(m.text.contains(QStringLiteral("\r\nin Quorvane2021/08/31.Form1.Form_Load at line ")));
  }
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("at line 128\r\r")));
  EXPECT_TRUE(messages.shown[1].text.contains(QStringLiteral("at line 130\r\r")));
  // The controls keep their initial state (check box clear, the first option selected),
  // and start-up goes on to the end.
  EXPECT_FALSE(form->Check1->isChecked());
  EXPECT_TRUE(form->Option1->isChecked());
  EXPECT_FALSE(form->Option1->isEnabled());
  EXPECT_EQ(setting("Check1"), QStringLiteral("0"));
}

TEST_F(Form1Window, EveryChangeIsStoredAtOnce) {
  auto form = load();
  form->show();
  QTest::keyClicks(form->Text6, QStringLiteral("ab"));
  EXPECT_EQ(setting("AccessPassword"), QStringLiteral("ab"));
  QTest::keyClick(form->Text6, Qt::Key_Backspace);
  EXPECT_EQ(setting("AccessPassword"), QStringLiteral("a"));
  form->Text6->clear();
  EXPECT_EQ(setting("AccessPassword"), QString());
  form->Text1->setText(QStringLiteral("/p"));
  form->Text5->setText(QStringLiteral("/q.mdb"));
  EXPECT_EQ(setting("ParadoxFolder"), QStringLiteral("/p"));
  EXPECT_EQ(setting("AccessMDBFile"), QStringLiteral("/q.mdb"));

  QTest::mouseClick(form->Option2, Qt::LeftButton);
  EXPECT_EQ(setting("Option1"), QStringLiteral("False"));
  EXPECT_EQ(setting("Option2"), QStringLiteral("True"));
  QTest::mouseClick(form->Check1, Qt::LeftButton);
  EXPECT_EQ(setting("Check1"), QStringLiteral("0"));
  EXPECT_FALSE(form->Option1->isEnabled());

  // The next start selects the second option.
  auto again = load();
  EXPECT_TRUE(again->Option2->isChecked());
  EXPECT_FALSE(again->Check1->isChecked());
  EXPECT_EQ(again->Text1->text(), QStringLiteral("/p"));
}

TEST_F(Form1Window, AFieldThatGetsTheFocusSelectsItsText) {
  store("ParadoxFolder", "/data/paradox");
  auto form = load();
  form->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
  form->Text5->setFocus();
  form->Text1->setFocus();
  QTRY_COMPARE(form->Text1->selectedText(), QStringLiteral("/data/paradox"));
}

TEST_F(Form1Window, AMissingProviderEndsStartUpAfterItsMessage) {
  ado::DriverRegistry::instance().clear();
  messages.answer(shell::MsgAnswer::Yes);
  load(false);
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].text, engine::missingProviderText());
  EXPECT_EQ(opened, (QStringList{engine::kEngine2010Page, engine::kEngine2016Page}));

  messages.answer(shell::MsgAnswer::No);
  load(false);
  EXPECT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(opened.size(), 2);
}

TEST_F(Form1Window, OneStartInAHundredOpensTheHomePage) {
  Form1::startupDraw = [] { return 7; };
  load();
  EXPECT_EQ(opened, QStringList{QString::fromLatin1(shell::kHomePage)});
  Form1::startupDraw = [] { return 8; };
  load();
  EXPECT_EQ(opened.size(), 1);
}

TEST_F(Form1Window, HandCursorIsLoadedWhenPresentAndABadOneIsReported) {
  writeProgramFile(QStringLiteral("HAND-M.CUR"), test::handCursorFileBytes(5, 3));
  auto form = load();
  EXPECT_TRUE(messages.shown.empty());
  ASSERT_TRUE(form->hasHandCursor());
  const QCursor cursor = loadCursorFile(handCursorPath(QString::fromStdString(programDir.path())));
  EXPECT_EQ(cursor.hotSpot(), QPoint(5, 3));

  writeProgramFile(QStringLiteral("HAND-M.CUR"), QByteArray("not a cursor at all"));
  auto bad = load();
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Form_Load at line 106")));
  EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("HAND-M.CUR")));
  EXPECT_FALSE(bad->hasHandCursor());
}

TEST_F(Form1Window, PointerIsAHandOverButtonsUnlessBusy) {
  writeProgramFile(QStringLiteral("HAND-M.CUR"), test::handCursorFileBytes(5, 3));
  auto form = load();
  form->show();
  auto hand = [&form] { return form->MousePointer() == kPointerCustom && form->cursor().shape() == Qt::BitmapCursor; };
  test::moveMouseOnto(form->PushButton3);
  EXPECT_TRUE(hand());
  test::moveMouseOnto(form->PushButton3, QPoint(3, 3));  // on over the same button
  EXPECT_TRUE(hand());
  test::moveMouseOnto(form->Frame1, QPoint(4, form->Frame1->height() - 4));  // the frame itself
  EXPECT_EQ(form->MousePointer(), kPointerDefault);
  EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
  test::moveMouseOnto(form->PushButton7);
  EXPECT_TRUE(hand());
  test::moveMouseOnto(form->Text6);
  EXPECT_EQ(form->MousePointer(), kPointerDefault);
  test::moveMouseOnto(form->PushButton4);
  EXPECT_TRUE(hand());
  test::moveMouseOnto(form.get(), QPoint(2, 2));  // the window's background
  EXPECT_EQ(form->MousePointer(), kPointerDefault);

  // Busy: moves change nothing; the next move after the reset shows the hand again.
  test::moveMouseOnto(form->PushButton1);
  form->setMousePointer(kPointerBusy);
  EXPECT_EQ(form->cursor().shape(), Qt::WaitCursor);
  test::moveMouseOnto(form->PushButton1, QPoint(2, 2));
  test::moveMouseOnto(form.get(), QPoint(2, 2));
  test::moveMouseOnto(form->PushButton1);
  EXPECT_EQ(form->MousePointer(), kPointerBusy);
  form->setMousePointer(kPointerDefault);
  test::moveMouseOnto(form->PushButton1, QPoint(3, 3));
  EXPECT_TRUE(hand());
}

TEST_F(Form1Window, ThePasswordShowsAStarForEveryCharacter) {
  auto form = load();
  form->Text6->setText(QStringLiteral("p\u00e4ss"));
  EXPECT_EQ(form->Text6->displayText(), QStringLiteral("****"));
  EXPECT_EQ(form->Text6->text(), QStringLiteral("p\u00e4ss"));
}

TEST_F(Form1Window, TheApplicationErrorReportCanBeSelectedAndCopied) {
  MessageBoxSink boxes;
  shell::setMessages(&boxes);
  const QString location = shell::locationString(QStringLiteral("Form1"), QStringLiteral("PushButton7_Click"));
  bool selectable = false;
  QString copied;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (!box) return;
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    selectable = label && (label->textInteractionFlags() & Qt::TextSelectableByMouse) &&
                 (label->textInteractionFlags() & Qt::TextSelectableByKeyboard);
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(box->button(QMessageBox::Ok), Qt::Key_C, Qt::ControlModifier);  // where the focus is
    copied = QGuiApplication::clipboard()->text();
    box->accept();
  });
  shell::reportApplicationError(location, 118, QStringLiteral("Disk full"));
  shell::setMessages(&messages);
  EXPECT_TRUE(selectable);
  EXPECT_EQ(copied, displayText(shell::applicationErrorText(QStringLiteral("Disk full"), location, 118)));
}

TEST_F(Form1Window, WhiteWithoutSkinButtonFaceWithIt) {
  auto plain = load();
  EXPECT_EQ(plain->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(plain->Frame2->palette().color(QPalette::Window), QColor(Qt::white));
  writeProgramFile(QStringLiteral("x/o.cjs"), QByteArray("skin"));
  auto skinned = load();
  EXPECT_EQ(skinned->palette().color(QPalette::Window), buttonFaceColor());
  for (QWidget* w :
       std::initializer_list<QWidget*>{skinned->Frame1, skinned->Label5, skinned->Check1, skinned->Option2}) {
    EXPECT_EQ(w->palette().color(QPalette::Window), buttonFaceColor()) << w->objectName().toStdString();
  }
  EXPECT_NE(buttonFaceColor(), QColor(Qt::white));
}

TEST_F(Form1Window, ControlsAreInTheirPlaces) {
  auto form = load();
  EXPECT_EQ(form->size(), QSize(536, 413));
  const QStringList order{"PushButton5", "Frame3", "Frame1", "Frame2", "PushButton7", "ProgressBar1"};
  int lastTop = -1;
  for (const QString& name : order) {
    auto* w = form->findChild<QWidget*>(name);
    ASSERT_NE(w, nullptr) << name.toStdString();
    EXPECT_GT(w->y(), lastTop) << name.toStdString();
    EXPECT_EQ(w->width(), 520) << name.toStdString();
    EXPECT_EQ(w->x(), 8) << name.toStdString();
    EXPECT_LE(w->geometry().bottom(), form->height());
    lastTop = w->y();
  }
  for (QListWidget* list : {form->List1, form->List2}) EXPECT_GE(list->y(), form->height());
  EXPECT_EQ(form->Text1->parentWidget(), form->Frame3);
  EXPECT_EQ(form->Text6->parentWidget(), form->Frame1);
  EXPECT_EQ(form->Option2->parentWidget(), form->Frame2);
}

TEST_F(Form1Window, ClosingClosesTheConnectionsAndEndsARunningProgram) {
  int terminated = 0;
  auto savedTerminate = Form1::terminateProcess;
  Form1::terminateProcess = [&terminated] { ++terminated; };
  auto form = load();
  form->show();
  form->close();
  EXPECT_EQ(terminated, 0);  // nothing ran: the normal way out

  auto running = load();
  running->show();
  ado::resetMemoryStores();
  ado::installMemoryDriver();
  running->access_conn = ado::Connection::Create();
  running->access_conn->Open(QStringLiteral("Provider=Memory;Data Source=closing"));
  running->Paradox_conn = ado::Connection::Create();
  running->Paradox_conn->Open(QStringLiteral("Provider=Memory;Data Source=closing"));
  running->ConversionRunning = true;
  running->close();
  EXPECT_EQ(terminated, 1);
  EXPECT_EQ(ado::memoryStore(QStringLiteral("closing")).closes, 2);
  Form1::terminateProcess = savedTerminate;
}

}  // namespace
}  // namespace qv::ui
