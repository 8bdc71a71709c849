#include "db/ado/folder_listing.h"

#include <QRegularExpression>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "db/ado/error.h"

namespace qv::ado {
namespace fs = std::filesystem;

namespace {

constexpr int kErrPermissionDenied = 70;
constexpr int kErrPathNotFound = 76;

fs::path toPath(const QString& text) { return fs::path(text.toStdString()); }
QString fromPath(const fs::path& p) { return QString::fromStdString(p.string()); }

int failureNumber(const std::error_code& ec) {
  if (ec == std::errc::permission_denied || ec == std::errc::operation_not_permitted) return kErrPermissionDenied;
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return kErrPathNotFound;
  return 0;
}

bool lessIgnoringCase(const QString& a, const QString& b) {
  int c = a.compare(b, Qt::CaseInsensitive);
  return c != 0 ? c < 0 : a < b;
}

// The names of the sub-folders of one folder (links to folders among them), sorted.
// Throws FolderListingFailure when the folder cannot be read.
QStringList subFolderNames(const QString& folder) {
  std::error_code ec;
  fs::directory_iterator it(toPath(folder), ec);
  if (ec) throw FolderListingFailure{failureNumber(ec)};
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) throw FolderListingFailure{failureNumber(ec)};
    std::error_code typeEc;
    if (!it->is_directory(typeEc) || typeEc) continue;  // files, dangling links, vanished entries
    names.push_back(fromPath(it->path().filename()));
  }
  if (ec) throw FolderListingFailure{failureNumber(ec)};
  std::sort(names.begin(), names.end(), lessIgnoringCase);
  return names;
}

bool walkableName(const QString& name) {
  return name.size() < kMaxWalkPath && !hasUnsafeChars(name) && !name.contains(u'?') && name != QStringLiteral(".") &&
         name != QStringLiteral("..");
}

}  // namespace

bool isFolder(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code ec;
  return fs::is_directory(toPath(path), ec);
}

bool isOpenableFile(const QString& path) {
  if (path.isEmpty()) return false;
  std::error_code ec;
  return fs::is_regular_file(toPath(path), ec);
}

bool hasUnsafeChars(const QString& name) {
  // Windows-1252 agrees with Latin-1 from 160 to 255 and with ASCII below 128; the
  // characters it places at 128-159 are all unsafe, and so is everything it lacks.
  for (QChar ch : name) {
    const char16_t c = ch.unicode();
    const bool safe = (c >= 32 && c < 127 && c != u'?') || (c >= 160 && c <= 255);
    if (!safe) return true;
  }
  return false;
}

QStringList listFiles(const QString& folder, const QString& pattern) {
  QString dir = folder;
  if (!dir.endsWith(u'/')) dir += u'/';
  const QRegularExpression match(QRegularExpression::wildcardToRegularExpression(pattern),
                                 QRegularExpression::CaseInsensitiveOption);
  std::error_code ec;
  fs::directory_iterator it(toPath(dir), ec);
  if (ec == std::errc::no_such_file_or_directory || ec == std::errc::not_a_directory) return {};
  auto fail = [&dir](const std::error_code& code) {
    const int number = failureNumber(code) == kErrPermissionDenied ? kErrPermissionDenied : kErrPathNotFound;
    return Error(number,
                 QStringLiteral("Cannot list the folder %1: %2").arg(dir, QString::fromStdString(code.message())));
  };
  if (ec) throw fail(ec);
  QStringList names;
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) throw fail(ec);
    const QString name = fromPath(it->path().filename());
    if (match.match(name).hasMatch() && isOpenableFile(dir + name)) names.push_back(name);
  }
  if (ec) throw fail(ec);
  std::sort(names.begin(), names.end(), lessIgnoringCase);
  return names;
}

bool WalkedFolders::take(const QString& folder) {
  std::error_code ec;
  const fs::path real = fs::canonical(toPath(folder), ec);
  // A folder whose real path cannot be worked out counts by the path it was reached by.
  const QString key = ec ? folder : fromPath(real);
  if (realPaths_.contains(key)) return false;
  realPaths_.insert(key);
  return true;
}

QStringList walkableSubFolders(const QString& folder, WalkedFolders& walked) {
  QStringList out;
  for (const QString& name : subFolderNames(folder)) {
    if (!walkableName(name)) continue;
    const QString path = folder + name + u'/';
    if (walked.take(path)) out.push_back(path);
  }
  return out;
}

QStringList walkFolders(const QString& folder) {
  QStringList folders{folder + u'/'};
  WalkedFolders walked;
  walked.take(folders.front());
  for (qsizetype i = 0; i < folders.size();) {
    const QString current = folders.at(i);
    if (!isFolder(current) || current.size() >= kMaxWalkPath) {
      ++i;
      continue;
    }
    try {
      folders += walkableSubFolders(current, walked);
      ++i;
    } catch (const FolderListingFailure& failure) {
      if (failure.number == kErrPermissionDenied || failure.number == kErrPathNotFound) {
        folders.removeAt(i);
      } else {
        ++i;
      }
    }
  }
  return folders;
}

}  // namespace qv::ado
