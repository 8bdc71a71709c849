#include "engine/conversion_host.h"

#include "shell/error_report.h"

namespace qv::engine {

void ConversionHost::reportFailure(const QString& location, int step, const QString& description, const QString&, long) {
  shell::reportApplicationError(location, step, description);
}

}  // namespace qv::engine
