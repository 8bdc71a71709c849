#pragma once
// The two connection strings of a conversion run.

#include <QString>

namespace qv::engine {

// The Paradox driver's string for a folder, the folder text exactly as it stands, each
// time followed by the path separator.
QString ParadoxConnString(const QString& folder);

// The Access provider's string: ACE when the path's last five characters are "accdb" in
// any case, Jet otherwise; the password clause is always there.
QString AccessConnString(const QString& path, const QString& password);

}  // namespace qv::engine
