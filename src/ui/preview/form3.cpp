#include "ui/preview/form3.h"

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/error_report.h"
#include "shell/event_yield.h"
#include "shell/main_helpers.h"
#include "shell/messages.h"
#include "shell/step_trap.h"
#include "ui/dialog_look.h"
#include "ui/preview/preview_texts.h"
#include "ui/preview/report_list_model.h"
#include "ui/preview/twips.h"

namespace qv::ui {

namespace {
shell::StepTrap trapOf(const char* procedure) {
  return shell::StepTrap(shell::locationString(QStringLiteral("Form3"), QLatin1String(procedure)));
}
}  // namespace

Form3::Form3(ReportListModel& script, const QString& programFolder, QWidget* owner) : QDialog(owner), script_(script) {
  setClientTwips(this, 8040, 1500);
  Label2 = new QLabel(QStringLiteral("Find what:"), this);
  placeTwips(Label2, 120, 165, 1215, 255);
  Text1 = new QLineEdit(this);
  placeTwips(Text1, 1560, 120, 6360, 345);
  Label6 = new QLabel(QStringLiteral("Replace with:"), this);
  placeTwips(Label6, 120, 645, 1215, 255);
  Text2 = new QLineEdit(this);
  placeTwips(Text2, 1560, 600, 6360, 345);
  PushButton2 = new QPushButton(QStringLiteral("Replace"), this);
  placeTwips(PushButton2, 120, 1050, 3840, 405);
  PushButton1 = new QPushButton(QStringLiteral("Cancel"), this);
  placeTwips(PushButton1, 4080, 1050, 3840, 405);
  connect(PushButton2, &QPushButton::clicked, this, &Form3::PushButton2_Click);
  connect(PushButton1, &QPushButton::clicked, this, &Form3::PushButton1_Click);
  followPointer(pointer_, this, {PushButton1, PushButton2}, {this});
  Form_Load(programFolder);
}

void Form3::Form_Load(const QString& programFolder) {
  shell::StepTrap trap = trapOf("Form_Load");
  LoadDialogLook(trap, 102, this, pointer_, QStringLiteral("Find and Replace"), programFolder);
}

void Form3::PushButton1_Click() {
  shell::StepTrap trap = trapOf("PushButton1_Click");
  trap.run(100, [&] { close(); });
}

void Form3::PushButton2_Click() {
  shell::StepTrap trap = trapOf("PushButton2_Click");
  if (!trap.test(100, [&] { return script_.count() > 0; })) {
    trap.run(128, [&] { shell::msgBox(QStringLiteral("No SQL to run.")); });
    return;
  }
  trap.run(102, [&] { pointer_.set(kPointerBusy); });
  int n = 0;
  int i = 1;
  const auto start = trap.loopHead(104, [&] {
    n = script_.count();
    return i <= n;
  });
  if (start != shell::StepTrap::LoopStart::kSkip) {
    do {
      trap.run(106, [&] { shell::YieldToUi(); });
      bool changed = false;
      QString replaced;
      // Steps 108 to 116: find the first occurrence of the find text in line i.
      trap.run(108,
               [&] { replaced = replaceFirstOccurrence(script_.text(i - 1), Text1->text(), Text2->text(), &changed); });
      if (changed) trap.run(120, [&] { script_.setText(i - 1, 0, replaced); });
      if (start == shell::StepTrap::LoopStart::kOnce) break;
    } while (trap.advance(122, [&] { return ++i <= n; }));
  }
  trap.run(124, [&] { shell::msgBox(QStringLiteral("Done.")); });
  trap.run(126, [&] { close(); });
}

}  // namespace qv::ui
