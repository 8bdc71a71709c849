#pragma once
// Every window of the program that is opened modally is shown through here. By default
// that is QDialog::exec(); a test installs a runner that drives the window itself (clicks
// its buttons, types into it) and returns when it has closed it, so no test waits on a
// real event loop.

#include <functional>

class QDialog;

namespace qv::ui {

using ModalRunner = std::function<void(QDialog& window)>;

// Installs a runner (an empty one restores QDialog::exec).
void setModalRunner(ModalRunner runner);

// Shows the window modally and returns when it has been closed.
void showModal(QDialog& window);

}  // namespace qv::ui
