#pragma once
// The sample Access database that "Load Sample/Example Database" chooses.
//
// The sample sits in Samples/ next to the program. Where the program is installed for
// every user (its folder belongs to the system), that copy cannot be written, and a
// conversion into it would fail at its first statement. Such a user is given a copy of
// the sample in their own data folder instead, made the first time and kept after, so
// what they converted into it stays there.

#include <QString>

namespace qv::engine {

// The path to put into the database field: the program's own sample when this user may
// write it and its folder (the lock file goes beside it) or when it is missing (a
// missing sample is never an error), otherwise the user's copy in userDataFolder/Samples,
// made when it is not there yet. Should the copy fail, the program's own path is returned
// and the conversion reports the file it cannot write.
QString SampleDatabasePath(const QString& programFolder, const QString& userDataFolder);

}  // namespace qv::engine
