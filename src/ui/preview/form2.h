#pragma once
// The SQL preview window: the preview script, one statement per line, with the commands
// that execute it, edit it, copy it, and leave the window in one of the ways the
// conversion run reads back through SQLFormOK and StopAfterTable.

#include <QDialog>

#include "ui/appearance.h"
#include "ui/preview/edited_text.h"

class QGroupBox;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace qv::ui {

class PreviewWindows;
class ProgressDisplay;
class ReportListModel;

class Form2 : public QDialog {
  Q_OBJECT

 public:
  Form2(PreviewWindows& windows, QWidget* owner);
  ~Form2() override;

  // The line of the last statement that failed with an SQL error (0: none yet). It
  // belongs to the window's code, not to a window: it outlives every window.
  static inline int ErrorLine = 0;

  // The preview script; fails (91) when the window came up without its list.
  ReportListModel& script() const;
  ProgressDisplay& progress() const { return *progress_; }
  WindowPointer& pointer() { return pointer_; }

  // The selected line (1-based), 0 when none.
  int selectedLine() const;
  // Selects the line, and scrolls the list to show it; both fail outside the script.
  void selectLine(int line);
  void showLine(int line);

  // The commands.
  void PushButton1_Click();  // Execute SQL
  void PushButton2_Click();  // Copy SQL To Clipboard
  void PushButton3_Click();  // Find and Replace
  void PushButton4_Click();  // Copy Error Message To Clipboard
  void PushButton5_Click();  // < Back
  void PushButton6_Click();  // Jump To Error Line
  void PushButton7_Click();  // View Datatype Conversion
  void PushButton8_Click();  // Email Error Message
  void PushButton9_Click();  // Skip Table / Do Not Execute SQL
  // A click on a line: the line editor with that line's text.
  void ListView1_Click();

  QPushButton* PushButton5;
  QPushButton* PushButton9;
  QTreeView* ListView1;
  QPushButton* PushButton1;
  QPushButton* PushButton3;
  QPushButton* PushButton2;
  QGroupBox* Frame2;
  QPlainTextEdit* Text1;
  QPushButton* PushButton6;
  QPushButton* PushButton4;
  QPushButton* PushButton8;
  QPushButton* PushButton7;
  QProgressBar* ProgressBar1;

  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Load();
  void buildControls();

  PreviewWindows& windows_;
  ReportListModel* script_ = nullptr;
  ProgressDisplay* progress_ = nullptr;
  EditedText errorText_;  // the error box's text as the database gave it
  WindowPointer pointer_{this};
  bool closed_ = false;
  bool checkToggled_ = false;
};

}  // namespace qv::ui
