#include "ui/dialog_look.h"

#include <QApplication>
#include <QWidget>

#include "shell/main_helpers.h"
#include "shell/step_trap.h"
#include "ui/appearance.h"

namespace qv::ui {

void LoadDialogLook(shell::StepTrap& trap, int colourStep, QWidget* dialog, WindowPointer& pointer,
                    const QString& caption, const QString& programFolder) {
  trap.run(colourStep, [&] { ApplySystemColors(dialog); });
  trap.run(104, [&] { dialog->setWindowIcon(QApplication::windowIcon()); });
  trap.run(106, [&] { dialog->setWindowTitle(caption + QStringLiteral(" - ") + QLatin1String(shell::kProductName)); });
  const QString cursorFile = handCursorPath(programFolder);
  if (trap.test(108, [&] { return shell::FileExists(cursorFile); })) {
    trap.run(110, [&] { pointer.setCustomCursor(loadCursorFile(cursorFile)); });
  }
}

}  // namespace qv::ui
