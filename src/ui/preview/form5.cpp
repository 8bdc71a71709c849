#include "ui/preview/form5.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <stdexcept>

#include "db/ado/error.h"
#include "shell/error_report.h"
#include "shell/main_helpers.h"
#include "shell/step_trap.h"
#include "ui/dialog_look.h"
#include "ui/preview/report_list_model.h"
#include "ui/preview/twips.h"

namespace qv::ui {

namespace {
shell::StepTrap trapOf(const char* procedure) {
  return shell::StepTrap(shell::locationString(QStringLiteral("Form5"), QLatin1String(procedure)));
}
}  // namespace

Form5::Form5(const QString& programFolder, QWidget* owner) : QDialog(owner) {
  setClientTwips(this, 8040, 8340);
  PushButton5 = new QPushButton(QStringLiteral("< Back"), this);
  placeTwips(PushButton5, 120, 120, 7800, 405);
  ListView1 = new QTableView(this);
  placeTwips(ListView1, 120, 630, 7800, 7605);
  ListView1->setToolTip(
      QStringLiteral("Click item to edit it. Move | line to right and out of window to reveal full names."));
  ListView1->setShowGrid(true);
  ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
  ListView1->setSelectionMode(QAbstractItemView::SingleSelection);
  ListView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  ListView1->setWordWrap(false);
  ListView1->verticalHeader()->hide();
  // Every row as high as the first: a million rows lay out and scroll at once.
  ListView1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  ListView1->verticalHeader()->setDefaultSectionSize(ListView1->fontMetrics().height() + 4);
  ListView1->horizontalHeader()->setStretchLastSection(false);
  record_ = new ReportListModel(false, this);
  ListView1->setModel(record_);
  connect(PushButton5, &QPushButton::clicked, this, &Form5::PushButton5_Click);
  followPointer(pointer_, this, {PushButton5}, {this, ListView1->viewport()});
  Form_Load(programFolder);
}

void Form5::Form_Load(const QString& programFolder) {
  shell::StepTrap trap = trapOf("Form_Load");
  LoadDialogLook(trap, 100, this, pointer_, QStringLiteral("Datatypes Conversion"), programFolder);
  trap.run(112, [&] { record_->addColumn(QStringLiteral("Paradox Table")); });
  trap.run(114, [&] { record_->addColumn(QStringLiteral("Paradox Table Field")); });
  trap.run(116, [&] { record_->addColumn(QStringLiteral("Paradox Field Datatype")); });
  trap.run(118, [&] { record_->addColumn(QStringLiteral("New MS Access Datatype")); });
  int step = 120;
  for (int column = 0; column < 4; ++column, step += 2) {
    trap.run(step, [&] {
      if (column >= record_->columnCount()) throw std::out_of_range("Index out of bounds");
      ListView1->setColumnWidth(column, twips(1700));
    });
  }
}

ReportListModel& Form5::record() const { return *record_; }

void Form5::showEvent(QShowEvent* event) {
  record_->publish();
  QDialog::showEvent(event);
}

void Form5::PushButton5_Click() {
  shell::StepTrap trap = trapOf("PushButton5_Click");
  trap.run(100, [&] { close(); });
}

}  // namespace qv::ui
