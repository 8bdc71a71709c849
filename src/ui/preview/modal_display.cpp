#include "ui/preview/modal_display.h"

#include <QDialog>
#include <utility>

namespace qv::ui {
namespace {

ModalRunner& installed() {
  static ModalRunner runner;
  return runner;
}

}  // namespace

void setModalRunner(ModalRunner runner) { installed() = std::move(runner); }

void showModal(QDialog& window) {
  if (installed()) {
    window.setModal(true);
    window.show();
    // The runner may show another modal window from inside this one: it sees the
    // current runner, which stays installed.
    ModalRunner runner = installed();
    runner(window);
    if (window.isVisible()) window.hide();
  } else {
    window.exec();
  }
}

}  // namespace qv::ui
