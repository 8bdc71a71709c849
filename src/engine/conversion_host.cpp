#include "engine/conversion_host.h"

#include "engine/connection_strings.h"
#include "shell/error_report.h"

namespace qv::engine {

QString ConversionHost::paradoxConnectionString() const { return ParadoxConnString(paradoxFolder()); }

void ConversionHost::reportFailure(const QString& location, int step, const QString& description, const QString&,
                                   long) {
  shell::reportApplicationError(location, step, description);
}

}  // namespace qv::engine
