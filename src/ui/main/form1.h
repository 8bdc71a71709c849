#pragma once
// The main window: the Paradox folder, the Access database and its password, the SQL
// preview choice, and the commands around them. Every field is stored in the user's
// settings the moment it changes and restored when the window loads.
//
// The controls keep the names the rest of the program knows them by (Text1, Check1,
// PushButton7, ...); they are public because the conversion run and the preview windows
// read and write them directly, as they read and write the two connections.

#include <QWidget>
#include <functional>
#include <memory>

#include "engine/access_catalog.h"
#include "engine/conversion_host.h"
#include "ui/appearance.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace qv::ado {
class Connection;
}

namespace qv::ui {

class Form1 : public QWidget {
  Q_OBJECT

 public:
  explicit Form1(QWidget* parent = nullptr);
  ~Form1() override;

  // The start-up sequence; false when the data-access layer is unusable and the program
  // must end without showing the window.
  bool Form_Load();

  // The commands of the buttons.
  void PushButton1_Click();  // browse for the Access database
  void PushButton2_Click();  // browse for the Paradox folder
  void PushButton3_Click();  // Test Connection
  void PushButton4_Click();  // sample Access database
  void PushButton5_Click();  // Help
  void PushButton6_Click();  // sample Paradox folder
  void PushButton7_Click();  // Start Converting

  void Check1_Click();
  void Option_Click();

  // The Access fields as they stand (for the connection string).
  engine::AccessFields accessFields() const;
  QString GetAccessConnString(const QString& path = QString(), const QString& password = QString()) const;
  // CopyDB on Text1 (replacing Text1, and so its setting, when the copy is made).
  void CopyDB(bool sample);
  // HasParadoxTables / LoadParadoxTables on Text1; the list gets the table names.
  bool HasParadoxTables() const;
  void LoadParadoxTables(QListWidget* list) const;
  // Fills the list with the user tables of the database; "Unable to access the database"
  // when the file does not exist.
  void LoadAccessTables(QListWidget* list, const QString& databasePath);

  int MousePointer() const { return pointer_.state(); }
  void setMousePointer(int state) { pointer_.set(state); }
  bool hasHandCursor() const { return pointer_.hasCustomCursor(); }

  // The folder the program was started from (Samples/, x/o.cjs and HAND-M.CUR lie there).
  QString programFolder;

  // Called when the window closes, before the connections are closed: a run in progress
  // puts what it has read into the database. (Declared first, it outlives the run that
  // startConversion may own, which clears it when it goes.)
  std::function<void()> finishConversion;
  // "Start Converting": the conversion run installs itself here. Until it does, the
  // button does nothing.
  std::function<void(Form1&)> startConversion;

  // Start-up draws a number from 1 to 100; on 7 it opens the maker's home page.
  // Tests replace the draw.
  static std::function<int()> startupDraw;
  // Ends the process at once when the window closes while something runs (tests replace it).
  static std::function<void()> terminateProcess;

  QPushButton* PushButton5;
  QGroupBox* Frame3;
  QLabel* Label1;
  QLineEdit* Text1;
  QPushButton* PushButton2;
  QPushButton* PushButton6;
  QPushButton* PushButton3;
  QGroupBox* Frame1;
  QLabel* Label5;
  QLineEdit* Text5;
  QPushButton* PushButton1;
  QLabel* lblPassword;
  QLineEdit* Text6;
  QPushButton* PushButton4;
  QGroupBox* Frame2;
  QCheckBox* Check1;
  QRadioButton* Option1;
  QRadioButton* Option2;
  QPushButton* PushButton7;
  QProgressBar* ProgressBar1;
  QListWidget* List1;
  QListWidget* List2;

  // The two connections every conversion run replaces, opens and closes (the preview
  // executes through access_conn), and the flags by which the preview tells the run how
  // it was left: the names the program knows are views of the run's own slots.
  engine::ConnectionSlots connections;
  engine::PreviewFlags previewFlags;
  std::unique_ptr<ado::Connection>& Paradox_conn = connections.paradox;
  std::unique_ptr<ado::Connection>& access_conn = connections.access;
  bool& SQLFormOK = previewFlags.sqlFormOK;
  bool ConversionRunning = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void buildControls();
  void connectBehaviour();
  void closeConnections() noexcept;

  WindowPointer pointer_{this};
};

}  // namespace qv::ui
