#pragma once
// Listing folders and files for the table discovery: every folder below a starting folder
// (breadth-first), and the files of one folder that match a pattern.
//
// Folder paths in a folder list end with the platform separator "/". The picker that lets
// the user choose a folder (BrowseForFolder) needs widgets and lives in ui/.

#include <QString>
#include <QStringList>

namespace qv::shell {

// True when the path is a folder (a link to a folder counts); never throws.
bool IsFolder(const QString& path);

// True when the path names an existing file (not a folder) that can be opened; never throws.
bool IsOpenableFile(const QString& path);

// True when the name holds a character whose code in the Western single-byte code page
// (Windows-1252) is below 32, from 127 to 159, or "?" — which is also what a character
// that code page cannot represent becomes.
bool HasUnsafeChars(const QString& name);

// The names (no folder part) of the files of the folder that match the pattern
// ("*.db"; case-insensitive; hidden files included; folders left out), sorted by name
// without regard to case. A folder that does not exist gives no names; one that cannot
// be read throws ado::Error 70 naming it.
QStringList ListFiles(const QString& folder, const QString& pattern);

// Appends to the folder list every folder below its entries, in walk order (see
// db/ado/folder_listing.h): the sub-folders of the first entry (sorted by name) before
// those of the second, and so on; with recurse set, then the next level below those.
// Links to folders are walked; a folder whose real path was walked already (a loop, or a
// second way to the same folder) is not. A sub-folder is skipped, with everything below
// it, when its name is 260 characters or longer or holds an unsafe character
// (HasUnsafeChars); folders of 260 characters or more are not looked into. A folder
// whose contents cannot be read is removed from the list. Unexpected failures are
// reported as Application Errors of "AddFolder.GetSubDirectories2016" and the walk goes on.
void GetSubDirectories2016(QStringList& folders, bool recurse);

}  // namespace qv::shell
