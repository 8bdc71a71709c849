#include "ui/main/form1.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "db/ado/connection.h"
#include "engine/paradox_discovery.h"
#include "engine/provider_check.h"
#include "engine/sample_database.h"
#include "shell/error_report.h"
#include "shell/event_yield.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "shell/settings_store.h"
#include "shell/step_trap.h"
#include "shell/url_opener.h"
#include "ui/app_icon.h"
#include "ui/dialogs.h"

namespace qv::ui {
namespace {

// Geometry is laid out in twips, 15 to a pixel.
QRect twips(int left, int top, int width, int height) { return QRect(left / 15, top / 15, width / 15, height / 15); }

template <typename W>
W* place(W* widget, const QString& name, const QRect& geometry) {
  widget->setObjectName(name);
  widget->setGeometry(geometry);
  return widget;
}

// A stored check box value: "0" clear, "1" checked.
Qt::CheckState checkStateFromText(const QString& text) {
  bool ok = false;
  const int value = text.trimmed().toInt(&ok);
  if (!ok) throw std::runtime_error("Type mismatch");
  if (value == 0) return Qt::Unchecked;
  if (value == 1) return Qt::Checked;
  throw std::runtime_error("Invalid property value");
}

// A stored truth value: "True"/"False" in any case, or a number (0 is false).
bool truthFromText(const QString& text) {
  const QString t = text.trimmed();
  if (t.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0) return true;
  if (t.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0) return false;
  bool ok = false;
  const double value = t.toDouble(&ok);
  if (!ok) throw std::runtime_error("Type mismatch");
  return value != 0;
}

QString truthText(bool value) { return value ? QStringLiteral("True") : QStringLiteral("False"); }

shell::StepTrap trapFor(const char* procedure) {
  return shell::StepTrap(shell::locationString(QStringLiteral("Form1"), QString::fromLatin1(procedure)));
}

}  // namespace

std::function<int()> Form1::startupDraw = [] {
  QRandomGenerator generator(static_cast<quint32>(QDateTime::currentMSecsSinceEpoch()));
  return static_cast<int>(generator.generateDouble() * 100) + 1;
};

std::function<void()> Form1::terminateProcess = [] {
  std::fflush(nullptr);
  std::_Exit(0);
};

Form1::Form1(QWidget* parent) : QWidget(parent), programFolder(QCoreApplication::applicationDirPath()) {
  setObjectName(QStringLiteral("Form1"));
  buildControls();
  applyDesignColors(this);
  connectBehaviour();
}

Form1::~Form1() = default;

void Form1::buildControls() {
  setFixedSize(8040 / 15, 6195 / 15);

  PushButton5 =
      place(new QPushButton(QStringLiteral("Help"), this), QStringLiteral("PushButton5"), twips(120, 120, 7800, 375));

  Frame3 = place(new QGroupBox(QStringLiteral("Paradox Database"), this), QStringLiteral("Frame3"),
                 twips(120, 600, 7800, 1335));
  Label1 = place(new QLabel(QStringLiteral("Paradox Folder:"), Frame3), QStringLiteral("Label1"),
                 twips(180, 390, 2280, 285));
  Text1 = place(new QLineEdit(Frame3), QStringLiteral("Text1"), twips(2520, 345, 4590, 330));
  PushButton2 =
      place(new QPushButton(QStringLiteral("..."), Frame3), QStringLiteral("PushButton2"), twips(7170, 345, 480, 330));
  PushButton6 = place(new QPushButton(QStringLiteral("Load Sample/Example Database"), Frame3),
                      QStringLiteral("PushButton6"), twips(180, 840, 3660, 375));
  PushButton3 = place(new QPushButton(QStringLiteral("Test Connection"), Frame3), QStringLiteral("PushButton3"),
                      twips(3960, 840, 3660, 375));

  Frame1 = place(new QGroupBox(QStringLiteral("Access Database"), this), QStringLiteral("Frame1"),
                 twips(120, 2040, 7800, 1740));
  Label5 = place(new QLabel(QStringLiteral("MDB or ACCDB File:"), Frame1), QStringLiteral("Label5"),
                 twips(180, 390, 2280, 285));
  Text5 = place(new QLineEdit(Frame1), QStringLiteral("Text5"), twips(2520, 345, 4590, 330));
  PushButton1 =
      place(new QPushButton(QStringLiteral("..."), Frame1), QStringLiteral("PushButton1"), twips(7170, 345, 480, 330));
  lblPassword = place(new QLabel(QStringLiteral("Password (if required):"), Frame1), QStringLiteral("lblPassword"),
                      twips(180, 810, 2280, 285));
  Text6 = place(new QLineEdit(Frame1), QStringLiteral("Text6"), twips(2520, 765, 4590, 330));
  Text6->setEchoMode(QLineEdit::Password);
  Text6->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));  // "*" for every character
  PushButton4 = place(new QPushButton(QStringLiteral("Load Sample/Example Database"), Frame1),
                      QStringLiteral("PushButton4"), twips(180, 1200, 7440, 375));

  Frame2 =
      place(new QGroupBox(QStringLiteral("SQL Preview"), this), QStringLiteral("Frame2"), twips(120, 3885, 7800, 1125));
  Check1 =
      place(new QCheckBox(QStringLiteral("Enable SQL Preview mode to see SQL commands or check for errors"), Frame2),
            QStringLiteral("Check1"), twips(180, 330, 7440, 300));
  Option1 = place(new QRadioButton(QStringLiteral("Show SQL Preview For Each File"), Frame2), QStringLiteral("Option1"),
                  twips(180, 720, 3660, 300));
  Option2 = place(new QRadioButton(QStringLiteral("Show SQL Preview For Each Table"), Frame2),
                  QStringLiteral("Option2"), twips(3960, 720, 3660, 300));
  Option1->setChecked(true);

  PushButton7 = place(new QPushButton(QStringLiteral("Start Converting"), this), QStringLiteral("PushButton7"),
                      twips(120, 5115, 7800, 450));
  ProgressBar1 = place(new QProgressBar(this), QStringLiteral("ProgressBar1"), twips(120, 5670, 7800, 405));
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  ProgressBar1->setTextVisible(true);
  ProgressBar1->setAlignment(Qt::AlignCenter);
  ProgressBar1->setFormat(QStringLiteral("Progress Bar"));

  // The two working lists lie below the window's client area, out of sight.
  List1 = place(new QListWidget(this), QStringLiteral("List1"), twips(120, 6300, 3840, 1000));
  List2 = place(new QListWidget(this), QStringLiteral("List2"), twips(4080, 6300, 3840, 1000));
}

void Form1::connectBehaviour() {
  connect(PushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
  connect(PushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
  connect(PushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
  connect(PushButton4, &QPushButton::clicked, this, &Form1::PushButton4_Click);
  connect(PushButton5, &QPushButton::clicked, this, &Form1::PushButton5_Click);
  connect(PushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);
  connect(PushButton7, &QPushButton::clicked, this, &Form1::PushButton7_Click);

  // Every change of a field, typed or set by the program, is stored at once.
  connect(Text1, &QLineEdit::textChanged, this,
          [](const QString& t) { shell::SaveSetting(QStringLiteral("ParadoxFolder"), t); });
  connect(Text5, &QLineEdit::textChanged, this,
          [](const QString& t) { shell::SaveSetting(QStringLiteral("AccessMDBFile"), t); });
  connect(Text6, &QLineEdit::textChanged, this,
          [](const QString& t) { shell::SaveSetting(QStringLiteral("AccessPassword"), t); });
  // A change of the check box's value, by a click or by the program, is its click.
  connect(Check1, &QCheckBox::stateChanged, this, [this](int) { Check1_Click(); });
  connect(Option1, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Option_Click();
  });
  connect(Option2, &QRadioButton::toggled, this, [this](bool on) {
    if (on) Option_Click();
  });

  followPointer(pointer_, this,
                {PushButton1, PushButton2, PushButton3, PushButton4, PushButton5, PushButton6, PushButton7},
                {this, Frame1, Frame2, Frame3, Text1, Text5, Text6});
  for (QLineEdit* field : {Text1, Text5, Text6}) field->installEventFilter(this);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusIn) {
    // A field that receives the focus selects its whole text (after the click that
    // gave it the focus has placed the caret).
    if (auto* edit = qobject_cast<QLineEdit*>(watched)) QTimer::singleShot(0, edit, &QLineEdit::selectAll);
  }
  return QWidget::eventFilter(watched, event);
}

bool Form1::Form_Load() {
  shell::StepTrap trap = trapFor("Form_Load");
  trap.run(100, [&] { ApplySkin(this, programFolder); });
  if (trap.test(104, [&] { return shell::FileExists(handCursorPath(programFolder)); })) {
    trap.run(106, [&] { pointer_.setCustomCursor(loadCursorFile(handCursorPath(programFolder))); });
  }
  trap.run(108, [&] {
    if (startupDraw() == 7) shell::OpenUrl(QString::fromLatin1(shell::kHomePage));
  });
  trap.run(126, [&] {
    setWindowTitle(QString::fromLatin1(shell::kProductName));
    setWindowIcon(applicationIcon());
    shell::SetApplicationTitle();
  });
  trap.run(128, [&] {
    Check1->setCheckState(checkStateFromText(shell::GetSetting(QStringLiteral("Check1"), QStringLiteral("1"))));
  });
  trap.run(130, [&] {
    Option1->setChecked(truthFromText(shell::GetSetting(QStringLiteral("Option1"), QStringLiteral("1"))));
  });
  trap.run(132, [&] {
    Option2->setChecked(truthFromText(shell::GetSetting(QStringLiteral("Option2"), QStringLiteral("0"))));
  });
  trap.run(134, [&] { Text1->setText(shell::GetSetting(QStringLiteral("ParadoxFolder"))); });
  trap.run(136, [&] { Text5->setText(shell::GetSetting(QStringLiteral("AccessMDBFile"))); });
  trap.run(138, [&] { Text6->setText(shell::GetSetting(QStringLiteral("AccessPassword"))); });
  trap.run(140, [&] { Check1_Click(); });
  bool providerOk = false;
  trap.run(142, [&] { providerOk = engine::CheckProvider(); });
  return providerOk;
}

void Form1::Check1_Click() {
  const bool checked = Check1->checkState() == Qt::Checked;
  Option1->setEnabled(checked);
  Option2->setEnabled(checked);
  shell::SaveSetting(QStringLiteral("Check1"), checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void Form1::Option_Click() {
  shell::SaveSetting(QStringLiteral("Option1"), truthText(Option1->isChecked()));
  shell::SaveSetting(QStringLiteral("Option2"), truthText(Option2->isChecked()));
}

engine::AccessFields Form1::accessFields() const { return engine::AccessFields{Text5->text(), Text6->text()}; }

QString Form1::GetAccessConnString(const QString& path, const QString& password) const {
  return engine::GetAccessConnString(path, password, accessFields());
}

void Form1::CopyDB(bool sample) {
  engine::CopyDB(sample, Text1->text(), [this](const QString& folder) { Text1->setText(folder); });
}

bool Form1::HasParadoxTables() const { return engine::HasParadoxTables(Text1->text()); }

void Form1::LoadParadoxTables(QListWidget* list) const {
  list->clear();
  list->addItems(engine::LoadParadoxTables(Text1->text()));
}

void Form1::LoadAccessTables(QListWidget* list, const QString& databasePath) {
  list->clear();
  std::optional<QStringList> tables = engine::GetAccessTables(databasePath, accessFields());
  if (!tables) {
    shell::msgBox(QStringLiteral("Unable to access the database"));
    return;
  }
  list->clear();
  for (const QString& name : *tables) {
    shell::YieldToUi();
    list->addItem(name);
  }
}

void Form1::PushButton1_Click() {
  shell::StepTrap trap = trapFor("PushButton1_Click");
  OpenFileRequest dialog;
  QString chosen;
  trap.run(100, [&] { dialog.fileName.clear(); });
  trap.run(102, [&] { dialog.flags = 0x280001; });
  trap.run(104, [&] { dialog.title = QStringLiteral("Select Access Database"); });
  trap.run(106, [&] {
    dialog.filter = QStringLiteral(
        "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|Microsoft 2007 Database "
        "(*.accdb)|*.accdb|");
  });
  trap.run(108, [&] { chosen = ShowOpenFileDialog(this, dialog); });
  if (trap.test(110, [&] { return !chosen.isEmpty(); })) {
    trap.run(112, [&] { Text5->setText(chosen); });
  }
}

void Form1::PushButton2_Click() {
  shell::StepTrap trap = trapFor("PushButton2_Click");
  QString folder;
  trap.run(100, [&] {
    folder = BrowseForFolder(this, QStringLiteral("Please select folder:"),
                             shell::GetSetting(QStringLiteral("LastFolderDot")));
  });
  if (trap.test(102, [&] { return folder.isEmpty(); })) return;
  trap.run(104, [&] { Text1->setText(folder); });
  trap.run(106, [&] { CopyDB(false); });
}

void Form1::PushButton3_Click() {
  shell::StepTrap trap = trapFor("PushButton3_Click");
  trap.run(102, [&] { CopyDB(false); });
  trap.run(104, [&] { setMousePointer(kPointerBusy); });
  bool found = false;
  // A check that fails (an unreadable folder) is reported and then counts as no tables:
  // it must not be followed by "Connection successful.".
  trap.run(106, [&] { found = HasParadoxTables(); });
  if (found) {
    trap.run(108, [&] { shell::msgBox(QStringLiteral("Connection successful.")); });
  } else {
    trap.run(110, [&] { shell::msgBox(QStringLiteral("Could not connect.")); });
  }
  trap.run(112, [&] { setMousePointer(kPointerDefault); });
}

void Form1::PushButton4_Click() {
  shell::StepTrap trap = trapFor("PushButton4_Click");
  trap.run(100, [&] {
    Text5->setText(
        engine::SampleDatabasePath(programFolder, QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
  });
}

void Form1::PushButton5_Click() {
  shell::StepTrap trap = trapFor("PushButton5_Click");
  trap.run(100, [&] {
    shell::msgBox(
        QStringLiteral(
            "This software transfers text-based and numeric fields but does not handle binary / pictures fields.") +
        QStringLiteral("\r\n\r\n") + QStringLiteral("Use SQL Preview if your tables contains less than 32767 rows.") +
        QStringLiteral("\r\n\r\n") + QStringLiteral("Questions? Please contact Team Varnholt at ") +
        QString::fromLatin1(shell::kContactPage));
  });
}

void Form1::PushButton6_Click() {
  shell::StepTrap trap = trapFor("PushButton6_Click");
  trap.run(100, [&] { Text1->setText(programFolder + QStringLiteral("/Samples")); });
  trap.run(102, [&] { CopyDB(true); });
}

void Form1::PushButton7_Click() {
  // The conversion run lives with the preview windows; it installs itself in
  // startConversion and carries its own step traps.
  if (startConversion) startConversion(*this);
}

void Form1::closeConnections() noexcept {
  for (auto* connection : {&access_conn, &Paradox_conn}) {
    try {
      if (*connection) (*connection)->Close();
    } catch (...) {
      // Closing on the way out: nothing can be reported any more.
    }
  }
}

void Form1::closeEvent(QCloseEvent* event) {
  event->accept();
  // Statements run to their end before events are processed, so no statement is half
  // written here. The rows a run has queued go in first; closing the connections then
  // puts everything executed on disk.
  if (finishConversion) finishConversion();
  closeConnections();
  if (ConversionRunning || QThread::currentThread()->loopLevel() > 1) {
    // Something is suspended in a nested loop: end the process now, as closing the main
    // window must, instead of returning into it.
    terminateProcess();
    return;
  }
  QCoreApplication::quit();
}

}  // namespace qv::ui
