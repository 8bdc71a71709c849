#pragma once
// The common start of a dialog window's Form_Load: system colours, the program's icon,
// the caption "<caption> - <product>", and the hand cursor when its file is there.

#include <QString>

class QWidget;

namespace qv::shell {
class StepTrap;
}

namespace qv::ui {

class WindowPointer;

// Runs as steps colourStep (colours), 104 (icon), 106 (caption), 108 (cursor file there?)
// and 110 (cursor loaded) of the trap's procedure.
void LoadDialogLook(shell::StepTrap& trap, int colourStep, QWidget* dialog, WindowPointer& pointer,
                    const QString& caption, const QString& programFolder);

}  // namespace qv::ui
