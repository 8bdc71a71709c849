#pragma once
// How the Paradox folder and the folders below it are listed. The table discovery makes
// the list of tables from this listing, and the Paradox driver finds the file of a table
// name in it, so the table the run opens is the file the list named: the first one of
// that name in walk order.
//
// Walk order: the folder itself, then the folders below it level by level; the
// sub-folders of one folder in name order without regard to case (names equal but for
// case in their exact order). A link to a folder is walked like a folder, but a folder
// whose real path (every link resolved) was walked already is passed over: that breaks
// loops and keeps a folder reached twice from being listed twice. A sub-folder is passed
// over with everything below it when its name has 260 characters or more, or holds "?"
// or a character that is unsafe in the Western code page (HasUnsafeChars); a folder path
// of 260 characters or more is listed but not looked into.
//
// Folder paths in these lists end with "/".

#include <QSet>
#include <QString>
#include <QStringList>

namespace qv::ado {

// Paths and names from this length on are not walked.
inline constexpr qsizetype kMaxWalkPath = 260;

// True when the path is a folder (a link to a folder counts); never throws.
bool isFolder(const QString& path);

// True when the path names an existing file (not a folder) that can be opened; never throws.
bool isOpenableFile(const QString& path);

// True when the name holds a character whose code in the Western single-byte code page
// (Windows-1252) is below 32, from 127 to 159, or "?" — which is also what a character
// that code page cannot represent becomes.
bool hasUnsafeChars(const QString& name);

// The names (no folder part) of the files of the folder that match the pattern
// ("*.db"; case-insensitive; hidden files included; folders left out), sorted by name
// without regard to case. A folder that does not exist gives no names; one that cannot
// be read throws ado::Error 70 naming it.
QStringList listFiles(const QString& folder, const QString& pattern);

// A folder whose sub-folders could not be listed: number 70 (permission denied), 76
// (path not found) or 0 (anything else).
struct FolderListingFailure {
  int number;
};

// The real paths of the folders a walk has taken.
class WalkedFolders {
 public:
  // True, and the folder is taken, when no folder of the same real path was taken before.
  bool take(const QString& folder);

 private:
  QSet<QString> realPaths_;
};

// The sub-folders of the folder that the walk goes into, in walk order, as paths ending
// with "/"; each is taken in walked. Throws FolderListingFailure when the folder cannot
// be listed.
QStringList walkableSubFolders(const QString& folder, WalkedFolders& walked);

// The folder (given without its final "/") and every folder below it, in walk order;
// a folder that cannot be listed is left out, as the table discovery leaves it out.
QStringList walkFolders(const QString& folder);

}  // namespace qv::ado
