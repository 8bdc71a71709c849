#pragma once
// The application's icon, drawn in code so the program needs no resource file.

#include <QIcon>

namespace qv::ui {

QIcon applicationIcon();

}  // namespace qv::ui
