#include "shell/event_yield.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace qv::shell {

void YieldToUi() {
  constexpr qint64 kSliceMs = 8;
  static QElapsedTimer sinceLast;
  if (!QCoreApplication::instance()) return;
  if (sinceLast.isValid() && sinceLast.elapsed() < kSliceMs) return;
  QCoreApplication::processEvents();
  sinceLast.start();
}

}  // namespace qv::shell
