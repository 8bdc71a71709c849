#pragma once
// The line editor: one line of the preview script in a text box; OK writes the text back
// into the same line (tick mark kept), Cancel leaves the line as it was. What OK writes is
// the line as it was with exactly the user's change: line breaks and other characters the
// text box shows in its own way stay as they were.

#include <QDialog>

#include "ui/appearance.h"
#include "ui/preview/edited_text.h"

class QPlainTextEdit;
class QPushButton;

namespace qv::ui {

class ReportListModel;

class Form4 : public QDialog {
  Q_OBJECT

 public:
  Form4(ReportListModel& script, const QString& programFolder, QWidget* owner);

  // The number (1-based) of the line being edited.
  int ListLine = 0;

  // Puts the line's text into the text box.
  void setLineText(const QString& text);

  void PushButton1_Click();  // Cancel
  void PushButton2_Click();  // OK

  QPlainTextEdit* Text1;
  QPushButton* PushButton2;
  QPushButton* PushButton1;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Form_Load(const QString& programFolder);

  ReportListModel& script_;
  EditedText lineText_;
  WindowPointer pointer_{this};
};

}  // namespace qv::ui
