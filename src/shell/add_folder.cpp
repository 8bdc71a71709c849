#include "shell/add_folder.h"

#include <QRegularExpression>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "db/ado/error.h"
#include "shell/error_report.h"
#include "shell/event_yield.h"
#include "shell/step_trap.h"

namespace qv::shell {
namespace fs = std::filesystem;

namespace {

constexpr qsizetype kMaxPath = 260;
constexpr int kErrPermissionDenied = 70;
constexpr int kErrPathNotFound = 76;

fs::path toPath(const QString& text) { return fs::path(text.toStdString()); }
QString fromPath(const fs::path& p) { return QString::fromStdString(p.string()); }

// A folder listing that failed, with the number the walk decides on.
struct ListingFailure {
  int number;
};

int failureNumber(const std::error_code& ec) {
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) return kErrPermissionDenied;
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return kErrPathNotFound;
  return 0;
}

bool lessIgnoringCase(const QString& a, const QString& b) {
  int c = a.compare(b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

// The names of the real sub-folders of one folder (links are left out), sorted.
// Throws ListingFailure when the folder cannot be read.
QStringList subFolderNames(const QString& folder) {
  std::error_code ec;
  fs::directory_iterator it(toPath(folder), ec);
  if (ec) throw ListingFailure{failureNumber(ec)};
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) throw ListingFailure{failureNumber(ec)};
    std::error_code typeEc;
    const fs::file_status status = it->symlink_status(typeEc);
    if (typeEc || !fs::is_directory(status)) continue;  // files, links, vanished entries
    names.push_back(fromPath(it->path().filename()));
  }
  if (ec) throw ListingFailure{failureNumber(ec)};
  std::sort(names.begin(), names.end(), lessIgnoringCase);
  return names;
}

}  // namespace

bool IsFolder(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code ec;
  return fs::is_directory(toPath(path), ec);
}

bool IsOpenableFile(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code ec;
  return fs::is_regular_file(toPath(path), ec);
}

bool HasUnsafeChars(const QString& name) {
  // Windows-1252 agrees with Latin-1 from 160 to 255 and with ASCII below 128; the
  // characters it places at 128-159 are all unsafe, and so is everything it lacks.
  for (QChar ch : name) {
    const char16_t c = ch.unicode();
    const bool safe = (c >= 32 && c < 127 && c != u'?') || (c >= 160 && c <= 255);
    if (!safe) return true;
  }
  return false;
}

QStringList ListFiles(const QString& folder, const QString& pattern) {
  QString dir = folder;
  if (!dir.endsWith(u'/')) dir += u'/';
  const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern),
                                 QRegularExpression::CaseInsensitiveOption);
  std::error_code ec;
  fs::directory_iterator it(toPath(dir), ec);
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return {};
  auto fail = [&dir](const std::error_code& code) {
    const int number = failureNumber(code) == kErrPermissionDenied ? kErrPermissionDenied : kErrPathNotFound;
    return ado::Error(number, QStringLiteral("Cannot list the folder %1: %2").arg(dir, QString::fromStdString(code.message())));
  };
  if (ec) throw fail(ec);
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) throw fail(ec);
    const QString name = fromPath(it->path().filename());
    if (match.match(name).hasMatch() && IsOpenableFile(dir + name)) names.push_back(name);
  }
  if (ec) throw fail(ec);
  std::sort(names.begin(), names.end(), lessIgnoringCase);
  return names;
}

void GetSubDirectories2016(QStringList& folders, bool recurse) {
  StepTrap trap(locationString(QStringLiteral("AddFolder"), QStringLiteral("GetSubDirectories2016"), QStringLiteral("Kestrune")));
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
    if (trap.test(110, [&] { return folder.size() >= kMaxPath; })) {
      ++index;
      continue;
    }
    // (116) No folder here carries both the hidden and the system attribute, so none is
    // passed over for its attributes. (116-136) The listing of the folder's sub-folders:
    // a failure ends it without a report; a folder that cannot be read leaves the list.
    try {
      const QStringList names = subFolderNames(folder);
      for (const QString& name : names) {
        YieldToUi();
        if (name.size() < kMaxPath && !HasUnsafeChars(name) && !name.contains(u'?') && name != QStringLiteral(".") &&
            name != QStringLiteral("..")) {
          newFolders.push_back(folder + name + u'/');
        }
      }
    } catch (const ListingFailure& failure) {
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
    trap.run(150, [&] { GetSubDirectories2016(newFolders, true); });
  }
  // (152-160) Append what was found (and is still a folder) to the caller's list.
  for (const QString& sub : newFolders) {
    trap.run(154, [&] {
      YieldToUi();
      if (IsFolder(sub)) folders.push_back(sub);
    });
  }
}

}  // namespace qv::shell
