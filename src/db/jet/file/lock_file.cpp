#include "db/jet/file/lock_file.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "db/io/error.h"

namespace qv::jet {
namespace {

constexpr size_t kNameField = 32;

bool endsWithNoCase(const std::string& s, const std::string& tail) {
  if (s.size() < tail.size()) return false;
  return std::equal(tail.begin(), tail.end(), s.end() - static_cast<std::ptrdiff_t>(tail.size()),
                    [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
}

void putName(uint8_t* field, const std::string& name) {
  // The entry is zeroed and at most kNameField - 1 bytes are copied: the name keeps its NUL.
  std::memcpy(field, name.data(),
              std::min(name.size(), kNameField - 1));  // NOLINT(bugprone-not-null-terminated-result)
}

}  // namespace

std::string LockFile::pathFor(const std::string& databasePath) {
  if (endsWithNoCase(databasePath, ".accdb")) return databasePath.substr(0, databasePath.size() - 6) + ".laccdb";
  size_t slash = databasePath.find_last_of('/');
  size_t dot = databasePath.find_last_of('.');
  bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? databasePath.substr(0, dot) : databasePath) + ".ldb";
}

std::unique_ptr<LockFile> LockFile::acquire(io::Env& env, const std::string& databasePath) {
  auto held = env.open(databasePath, io::OpenMode::kRead);
  if (!held->tryLockExclusive()) return nullptr;
  return adopt(env, std::move(held), databasePath);
}

std::unique_ptr<LockFile> LockFile::adopt(io::Env& env, std::unique_ptr<io::File> held,
                                          const std::string& databasePath) {
  std::unique_ptr<LockFile> lock(new LockFile(env, std::move(held), pathFor(databasePath)));
  const std::string& path = lock->path_;
  uint8_t entry[2 * kNameField] = {};
  char host[256] = {};
  if (::gethostname(host, sizeof host - 1) != 0 || host[0] == 0) std::strcpy(host, "localhost");
  putName(entry, host);
  putName(entry + kNameField, "Admin");
  try {
    auto file = env.open(path, io::OpenMode::kCreateTruncate);
    file->writeAt(0, entry, sizeof entry);
  } catch (const DbError&) {
    // Not written (or only partly): the database stays protected by its file lock.
    try {
      env.remove(path);
    } catch (const DbError&) {
    }
    return lock;
  }
  lock->written_ = true;
  return lock;
}

LockFile::~LockFile() {
  if (!written_) return;
  try {
    env_.remove(path_);
  } catch (const DbError&) {
  }
}

}  // namespace qv::jet
