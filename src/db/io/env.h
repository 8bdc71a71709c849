#pragma once
// The I/O seam. Every read and write of a table or database file goes through an
// io::File obtained from an io::Env, so tests can swap in an Env that fails the N-th
// write, writes only part of a buffer, reports a full disk, or "crashes" (drops every
// write after a point). Production code uses io::defaultEnv(), which tests may replace
// for a scope with io::ScopedDefaultEnv.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "db/io/error.h"

namespace qv::io {

enum class OpenMode {
  kRead,             // existing file, read only
  kReadWrite,        // existing file, read and write
  kCreateExclusive,  // new file; fails when it exists
  kCreateTruncate,   // new or emptied file
};

// A random-access file. Failures throw qv::DbError naming the file.
class File {
 public:
  virtual ~File() = default;
  // Reads up to n bytes at offset; returns how many were read (fewer only at end of file).
  virtual size_t readAt(uint64_t offset, void* buffer, size_t n) = 0;
  // Writes all n bytes at offset or throws (a short write is retried, then reported).
  virtual void writeAt(uint64_t offset, const void* data, size_t n) = 0;
  // Writes the parts one after the other from offset: what writeAt of their
  // concatenation writes, failures included. Files that can gather without the copy
  // say so; this one joins the parts and makes one writeAt.
  virtual void writeGatherAt(uint64_t offset, std::span<const std::span<const uint8_t>> parts);
  virtual uint64_t size() = 0;
  virtual void truncate(uint64_t length) = 0;
  // Makes everything written so far durable on the device.
  virtual void sync() = 0;
  // Asks the system to start writing what was written so far to the device, without
  // waiting for it, so that a later sync() has less left to wait for. Only a hint: an
  // Env may ignore it, and a write that fails shows at sync().
  virtual void startWriteback() {}
  virtual const std::string& path() const = 0;
  // Takes an exclusive advisory lock on the whole file, held until this File is
  // destroyed, without waiting. False when another open of the file (in this or any
  // other process) holds it. Where the file system cannot lock, it succeeds.
  virtual bool tryLockExclusive() { return true; }

  // Reads exactly n bytes or throws a format error that names the file.
  void readExact(uint64_t offset, void* buffer, size_t n);
};

class Env {
 public:
  virtual ~Env() = default;
  virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
  virtual bool exists(const std::string& path) = 0;
  virtual void remove(const std::string& path) = 0;  // no error when absent
  virtual void rename(const std::string& from, const std::string& to) = 0;
  // Gives the file `from` the name `to` unless something exists at `to`: then throws
  // (saying `to` already exists) and leaves both as they are. The real file system does
  // it in one step, so a file that appears at `to` meanwhile is never replaced; this
  // default, for Envs with a single user, checks and then renames.
  virtual void renameNoReplace(const std::string& from, const std::string& to);
};

// The process's real file system (POSIX pread/pwrite).
Env& posixEnv();

// The Env production code uses: posixEnv() unless a test has replaced it.
Env& defaultEnv();

class ScopedDefaultEnv {
 public:
  explicit ScopedDefaultEnv(Env& env);
  ~ScopedDefaultEnv();
  ScopedDefaultEnv(const ScopedDefaultEnv&) = delete;
  ScopedDefaultEnv& operator=(const ScopedDefaultEnv&) = delete;

 private:
  Env* previous_;
};

}  // namespace qv::io
