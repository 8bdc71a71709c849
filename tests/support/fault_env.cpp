#include "support/fault_env.h"

namespace qv::io {
namespace {

class FaultFile final : public File {
 public:
  FaultFile(FaultEnv& env, std::unique_ptr<File> base) : env_(env), base_(std::move(base)) {}

  size_t readAt(uint64_t offset, void* buffer, size_t n) override { return base_->readAt(offset, buffer, n); }

  void writeAt(uint64_t offset, const void* data, size_t n) override {
    bool drop = false;
    size_t allowed = env_.beforeWrite(path(), offset, n, &drop);
    if (drop) return;
    if (allowed < n) {
      if (allowed > 0) base_->writeAt(offset, data, allowed);
      throw DbError(kErrDiskFull, "'" + path() + "': cannot write: No space left on device");
    }
    base_->writeAt(offset, data, n);
  }

  uint64_t size() override { return base_->size(); }

  void truncate(uint64_t length) override {
    bool drop = false;
    env_.beforeWrite(path(), length, 0, &drop);
    if (!drop) base_->truncate(length);
  }

  void sync() override { base_->sync(); }
  const std::string& path() const override { return base_->path(); }
  bool tryLockExclusive() override { return base_->tryLockExclusive(); }

 private:
  FaultEnv& env_;
  std::unique_ptr<File> base_;
};

}  // namespace

std::unique_ptr<File> FaultEnv::open(const std::string& path, OpenMode mode) {
  return std::make_unique<FaultFile>(*this, base_.open(path, mode));
}

void FaultEnv::remove(const std::string& path) {
  if (!crashed_) base_.remove(path);
}

void FaultEnv::rename(const std::string& from, const std::string& to) {
  if (!crashed_) base_.rename(from, to);
}

void FaultEnv::renameNoReplace(const std::string& from, const std::string& to) {
  bool drop = false;
  const size_t allowed = beforeWrite(to, 0, 1, &drop);
  if (drop) return;
  if (allowed < 1) throw DbError(kErrDiskFull, "'" + to + "': cannot move into place: No space left on device");
  base_.renameNoReplace(from, to);
}

size_t FaultEnv::beforeWrite(const std::string& path, uint64_t offset, size_t n, bool* dropSilently) {
  *dropSilently = false;
  if (crashed_) {
    *dropSilently = true;
    return 0;
  }
  ++writes_;
  if (fault_ == Fault::kNone || writes_ != failAt_) return n;
  fired_ = true;
  switch (fault_) {
    case Fault::kDiskFull: throw DbError(kErrDiskFull, "'" + path + "': cannot write: No space left on device");
    case Fault::kIoError: throw DbError(kErrIo, "'" + path + "': cannot write: Input/output error");
    case Fault::kShortWrite: {
      uint64_t end = (offset + n / 2) / unit_ * unit_;
      return end > offset ? static_cast<size_t>(end - offset) : 0;
    }
    case Fault::kCrash:
      crashed_ = true;
      *dropSilently = true;
      return 0;
    case Fault::kNone: break;
  }
  return n;
}

}  // namespace qv::io
