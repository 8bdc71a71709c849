#include "shell/add_folder.h"

#include "db/ado/folder_listing.h"
#include "shell/error_report.h"
#include "shell/event_yield.h"
#include "shell/step_trap.h"

namespace qv::shell {

namespace {

constexpr int kErrPermissionDenied = 70;
constexpr int kErrPathNotFound = 76;

// The walk below the folders of the list, with the real paths of the folders taken so far
// (those of the list itself and those found at the levels above).
void walkBelow(QStringList& folders, bool recurse, ado::WalkedFolders& walked) {
  StepTrap trap(
      locationString(QStringLiteral("AddFolder"), QStringLiteral("GetSubDirectories2016"), QStringLiteral("Kestrune")));
  QStringList newFolders;  // (100-104)

  // (106) Each folder of the list, in order; an entry removed while it is looked at
  // leaves the index on the entry that followed it.
  qsizetype index = 0;
  while (index < folders.size()) {
    const QString folder = folders.at(index);
    bool removed = false;
    YieldToUi();  // (114)
    if (!trap.test(108, [&] { return IsFolder(folder); })) {
      ++index;
      continue;
    }
    if (trap.test(110, [&] { return folder.size() >= ado::kMaxWalkPath; })) {
      ++index;
      continue;
    }
    // (116) No folder here carries both the hidden and the system attribute, so none is
    // passed over for its attributes. (116-136) The listing of the folder's sub-folders:
    // a failure ends it without a report; a folder that cannot be read leaves the list.
    try {
      for (const QString& sub : ado::walkableSubFolders(folder, walked)) {
        YieldToUi();
        newFolders.push_back(sub);
      }
    } catch (const ado::FolderListingFailure& failure) {
      if (failure.number == kErrPermissionDenied || failure.number == kErrPathNotFound) {  // (138-148)
        folders.removeAt(index);
        removed = true;
      }
    } catch (...) {
      // Any other failure of one listing is passed over; the walk goes on.
    }
    if (!removed) ++index;
  }

  // (150) The deeper levels, below the folders just found.
  if (recurse && !newFolders.isEmpty()) {
    trap.run(150, [&] { walkBelow(newFolders, true, walked); });
  }
  // (152-160) Append what was found (and is still a folder) to the caller's list.
  for (const QString& sub : newFolders) {
    trap.run(154, [&] {
      YieldToUi();
      if (IsFolder(sub)) folders.push_back(sub);
    });
  }
}

}  // namespace

bool IsFolder(const QString& path) { return ado::isFolder(path); }

bool IsOpenableFile(const QString& path) { return ado::isOpenableFile(path); }

bool HasUnsafeChars(const QString& name) { return ado::hasUnsafeChars(name); }

QStringList ListFiles(const QString& folder, const QString& pattern) { return ado::listFiles(folder, pattern); }

void GetSubDirectories2016(QStringList& folders, bool recurse) {
  ado::WalkedFolders walked;
  for (const QString& folder : folders) walked.take(folder);
  walkBelow(folders, recurse, walked);
}

}  // namespace qv::shell
