#pragma once
// An Env for tests that wraps another one and makes writes fail on purpose.
// Writes are counted across every file it opened; when the count reaches the armed
// number, that write fails in the chosen way.

#include <atomic>
#include <cstdint>

#include "db/io/env.h"

namespace qv::io {

enum class Fault {
  kNone,
  kDiskFull,    // the write fails with "No space left on device"; nothing is written
  kIoError,     // the write fails with an I/O error; nothing is written
  kShortWrite,  // half the buffer is written (see setWriteUnit), then the write fails as a full disk
  kCrash,       // this write and every later one are silently dropped (the process "died")
};

class FaultEnv : public Env {
 public:
  explicit FaultEnv(Env& base) : base_(base) {}

  // Fails the n-th write from now on (1 = the next one) with the given fault.
  void arm(uint64_t n, Fault fault) {
    writes_ = 0;
    failAt_ = n;
    fault_ = fault;
    crashed_ = false;
    fired_ = false;
  }
  void disarm() {
    fault_ = Fault::kNone;
    crashed_ = false;
  }
  // A short write keeps only whole units of the file: with the page size of the
  // kernel's cache (4096), it stops where a real one can, at a page boundary (the
  // kernel never leaves part of a page's write). 1, the default, cuts anywhere.
  void setWriteUnit(uint64_t unit) { unit_ = unit == 0 ? 1 : unit; }
  uint64_t writes() const { return writes_; }
  // Whether the armed fault has struck since arm().
  bool fired() const { return fired_; }

  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
  bool exists(const std::string& path) override { return base_.exists(path); }
  void remove(const std::string& path) override;
  void rename(const std::string& from, const std::string& to) override;
  // Counts as a write: an armed fault makes it fail (a full disk) or, in crash mode, it
  // and everything after it are dropped.
  void renameNoReplace(const std::string& from, const std::string& to) override;

  // Called by the wrapped files before each write; returns how many bytes may be written
  // (n, 0 or a part) and throws for an injected failure after a partial write.
  size_t beforeWrite(const std::string& path, uint64_t offset, size_t n, bool* dropSilently);

 private:
  Env& base_;
  uint64_t writes_ = 0;
  uint64_t failAt_ = 0;
  Fault fault_ = Fault::kNone;
  bool crashed_ = false;
  bool fired_ = false;
  uint64_t unit_ = 1;
};

}  // namespace qv::io
