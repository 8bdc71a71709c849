#include "engine/connection_strings.h"

namespace qv::engine {

QString ParadoxConnString(const QString& folder) {
  return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") + folder +
         QStringLiteral("/;Dbq=") + folder + QStringLiteral("/;CollatingSequence=ASCII;");
}

QString AccessConnString(const QString& path, const QString& password) {
  const bool ace = path.right(5).toLower() == QLatin1String("accdb");
  return (ace ? QStringLiteral("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=")
              : QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=")) +
         path + QStringLiteral(";JET OLEDB:Database Password=") + password;
}

}  // namespace qv::engine
