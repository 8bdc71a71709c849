#pragma once
// The datatype conversion window: for every field the conversion run has mapped since it
// last emptied the record, its table, its name, the Paradox datatype word recognised and
// the Access datatype chosen. Read-only.

#include <QDialog>

#include "ui/appearance.h"

class QPushButton;
class QTableView;

namespace qv::ui {

class ReportListModel;

class Form5 : public QDialog {
  Q_OBJECT

 public:
  Form5(const QString& programFolder, QWidget* owner);

  // The datatype conversion record; fails (91) when the window came up without its list.
  ReportListModel& record() const;

  void PushButton5_Click();  // < Back

  QPushButton* PushButton5;
  QTableView* ListView1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Form_Load(const QString& programFolder);

  ReportListModel* record_;
  WindowPointer pointer_{this};
};

}  // namespace qv::ui
