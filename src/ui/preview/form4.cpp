#include "ui/preview/form4.h"

#include <QApplication>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>

#include "shell/error_report.h"
#include "shell/main_helpers.h"
#include "shell/step_trap.h"
#include "ui/dialog_look.h"
#include "ui/preview/report_list_model.h"
#include "ui/preview/twips.h"

namespace qv::ui {

namespace {
shell::StepTrap trapOf(const char* procedure) {
  return shell::StepTrap(shell::locationString(QStringLiteral("Form4"), QLatin1String(procedure)));
}
}  // namespace

Form4::Form4(ReportListModel& script, const QString& programFolder, QWidget* owner) : QDialog(owner), script_(script) {
  setClientTwips(this, 8040, 2580);
  Text1 = new QPlainTextEdit(this);
  placeTwips(Text1, 120, 120, 7800, 1905);
  PushButton2 = new QPushButton(QStringLiteral("OK"), this);
  placeTwips(PushButton2, 120, 2130, 3840, 405);
  PushButton1 = new QPushButton(QStringLiteral("Cancel"), this);
  placeTwips(PushButton1, 4080, 2130, 3840, 405);
  connect(PushButton2, &QPushButton::clicked, this, &Form4::PushButton2_Click);
  connect(PushButton1, &QPushButton::clicked, this, &Form4::PushButton1_Click);
  Text1->installEventFilter(this);
  followPointer(pointer_, this, {PushButton1, PushButton2}, {this});
  Form_Load(programFolder);
}

void Form4::Form_Load(const QString& programFolder) {
  shell::StepTrap trap = trapOf("Form_Load");
  LoadDialogLook(trap, 102, this, pointer_, QStringLiteral("Edit Line"), programFolder);
}

bool Form4::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Text1 && event->type() == QEvent::FocusIn) {
    Text1->selectAll();  // the whole text, ready to be typed over
  }
  return QDialog::eventFilter(watched, event);
}

void Form4::setLineText(const QString& text) { lineText_.show(*Text1, text); }

void Form4::PushButton1_Click() {
  shell::StepTrap trap = trapOf("PushButton1_Click");
  trap.run(100, [&] { close(); });
}

void Form4::PushButton2_Click() {
  shell::StepTrap trap = trapOf("PushButton2_Click");
  trap.run(100, [&] { script_.setText(ListLine - 1, 0, lineText_.text(*Text1)); });
  trap.run(102, [&] { close(); });
}

}  // namespace qv::ui
