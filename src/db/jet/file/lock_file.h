#pragma once
// The lock file that sits beside a database while a program has it open for writing:
// "name.laccdb" for an .accdb, "name.ldb" for an .mdb (and any other name). It holds
// one 64-byte entry per user: the computer's name and the user's security name
// ("Admin" without a workgroup), each NUL-padded to 32 bytes, in the 8-bit code page.
//
// The file is only a sign for people and other programs. What keeps two writers apart
// is an exclusive lock on the database file itself (io::File::tryLockExclusive), which
// the operating system releases when the holder exits, so a lock file left behind by a
// crash never blocks anyone: the next writer takes it over.

#include <memory>
#include <string>

#include "db/io/env.h"

namespace qv::jet {

class LockFile {
 public:
  // The lock file's name for a database file.
  static std::string pathFor(const std::string& databasePath);

  // Takes the database file's lock and writes the lock file; nullptr when another
  // program (or another open in this one) holds the lock. Failing to write the lock
  // file (a read-only folder, a full disk) is not an error: the file lock alone
  // protects the database.
  static std::unique_ptr<LockFile> acquire(io::Env& env, const std::string& databasePath);
  // As acquire(), for a lock the caller already took: `held` is an open of the database
  // file whose tryLockExclusive() succeeded (under whatever name the file had then).
  static std::unique_ptr<LockFile> adopt(io::Env& env, std::unique_ptr<io::File> held, const std::string& databasePath);

  // Removes the lock file, then releases the database file's lock.
  ~LockFile();
  LockFile(const LockFile&) = delete;
  LockFile& operator=(const LockFile&) = delete;

  const std::string& path() const { return path_; }

 private:
  LockFile(io::Env& env, std::unique_ptr<io::File> held, std::string path)
      : env_(env), held_(std::move(held)), path_(std::move(path)) {}

  io::Env& env_;
  std::unique_ptr<io::File> held_;  // the database file, opened only to hold its lock
  std::string path_;
  bool written_ = false;
};

}  // namespace qv::jet
