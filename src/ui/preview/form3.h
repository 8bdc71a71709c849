#pragma once
// The find-and-replace dialog: in every line of the preview script that contains the
// find text (without regard to case), its first occurrence is replaced, once per click.

#include <QDialog>

#include "ui/appearance.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace qv::ui {

class ReportListModel;

class Form3 : public QDialog {
  Q_OBJECT

 public:
  Form3(ReportListModel& script, const QString& programFolder, QWidget* owner);

  void PushButton1_Click();  // Cancel
  void PushButton2_Click();  // Replace

  WindowPointer& pointer() { return pointer_; }

  QLabel* Label2;
  QLineEdit* Text1;
  QLabel* Label6;
  QLineEdit* Text2;
  QPushButton* PushButton2;
  QPushButton* PushButton1;

 private:
  void Form_Load(const QString& programFolder);

  ReportListModel& script_;
  WindowPointer pointer_{this};
};

}  // namespace qv::ui
