// The real file system behind the I/O seam.

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "db/io/env.h"

namespace qv::io {
namespace {

[[noreturn]] void throwErrno(const std::string& path, const char* what, int err) {
  int number = kErrIo;
  if (err == ENOSPC || err == EDQUOT) number = kErrDiskFull;
  if (err == ENOENT) number = kErrNotFound;
  throw DbError(number, "'" + path + "': " + what + ": " + std::strerror(err));
}

class PosixFile final : public File {
 public:
  PosixFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  ~PosixFile() override {
    joinBackgroundSync();
    ::close(fd_);
  }
  PosixFile(const PosixFile&) = delete;
  PosixFile& operator=(const PosixFile&) = delete;

  size_t readAt(uint64_t offset, void* buffer, size_t n) override {
    auto* out = static_cast<char*>(buffer);
    size_t done = 0;
    while (done < n) {
      ssize_t r = ::pread(fd_, out + done, n - done, static_cast<off_t>(offset + done));
      if (r < 0) {
        if (errno == EINTR) continue;
        throwErrno(path_, "cannot read", errno);
      }
      if (r == 0) break;
      done += static_cast<size_t>(r);
    }
    return done;
  }

  void writeAt(uint64_t offset, const void* data, size_t n) override {
    const std::span<const uint8_t> part(static_cast<const uint8_t*>(data), n);
    writeGatherAt(offset, std::span<const std::span<const uint8_t>>(&part, 1));
  }

  void writeGatherAt(uint64_t offset, std::span<const std::span<const uint8_t>> parts) override {
    // pwritev takes at most IOV_MAX parts a call, and may write fewer bytes than asked:
    // the next call starts where the last one stopped, inside a part if need be.
    size_t part = 0, skip = 0;
    iovec vectors[64];
    static_assert(64 <= IOV_MAX);
    while (true) {
      while (part < parts.size() && parts[part].size() == skip) {
        ++part;  // nothing (more) to write of it
        skip = 0;
      }
      if (part == parts.size()) return;
      int count = 0;
      for (size_t p = part; p < parts.size() && count < 64; ++p, ++count) {
        const size_t from = p == part ? skip : 0;
        vectors[count].iov_base = const_cast<uint8_t*>(parts[p].data() + from);
        vectors[count].iov_len = parts[p].size() - from;
      }
      const ssize_t w = ::pwritev(fd_, vectors, count, static_cast<off_t>(offset));
      if (w < 0) {
        if (errno == EINTR) continue;
        throwErrno(path_, "cannot write", errno);
      }
      if (w == 0) throwErrno(path_, "cannot write", ENOSPC);
      offset += static_cast<uint64_t>(w);
      for (auto left = static_cast<size_t>(w); left > 0;) {
        const size_t take = std::min(left, parts[part].size() - skip);
        left -= take;
        skip += take;
        if (left > 0) {
          ++part;
          skip = 0;
        }
      }
    }
  }

  uint64_t size() override {
    struct stat st {};
    if (::fstat(fd_, &st) != 0) throwErrno(path_, "cannot query size", errno);
    return static_cast<uint64_t>(st.st_size);
  }

  void truncate(uint64_t length) override {
    if (::ftruncate(fd_, static_cast<off_t>(length)) != 0) throwErrno(path_, "cannot truncate", errno);
  }

  void sync() override {
    joinBackgroundSync();
    // A failure the background sync met is this sync's failure: the kernel reports a
    // lost write to one fdatasync of an open file only.
    if (backgroundError_ != 0) {
      const int err = backgroundError_;
      backgroundError_ = 0;
      throwErrno(path_, "cannot flush to disk", err);
    }
    if (::fdatasync(fd_) != 0) throwErrno(path_, "cannot flush to disk", errno);
  }

  void startWriteback() override {
    // A sync of its own, on a thread of its own, while the caller goes on writing: the
    // device takes the data and the file system commits its allocations as a long run
    // goes, so the sync at the end waits for the last few megabytes only, not for the
    // whole file's journal commit. One at a time; a hint skipped while one is at work
    // costs nothing.
    if (syncing_.load(std::memory_order_acquire)) return;
    joinBackgroundSync();
    syncing_.store(true, std::memory_order_relaxed);
    try {
      syncer_ = std::thread([this] {
        if (::fdatasync(fd_) != 0 && backgroundError_ == 0) backgroundError_ = errno;
        syncing_.store(false, std::memory_order_release);
      });
    } catch (const std::system_error&) {
      syncing_.store(false, std::memory_order_relaxed);  // no thread to spare: only a hint
    }
  }

  const std::string& path() const override { return path_; }

  bool tryLockExclusive() override {
    // flock() locks belong to this open file description, so a second open in the same
    // process conflicts too, and the kernel drops the lock when the process dies.
    while (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      if (errno == EINTR) continue;
      return errno != EWOULDBLOCK;
    }
    return true;
  }

 private:
  void joinBackgroundSync() {
    if (syncer_.joinable()) syncer_.join();
  }

  std::string path_;
  int fd_;
  std::thread syncer_;                // the background sync startWriteback() began, if any
  std::atomic<bool> syncing_{false};  // it is still at work
  int backgroundError_ = 0;           // what it met; written by it, read after joining it
};

class PosixEnv final : public Env {
 public:
  std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
    int flags = O_CLOEXEC;
    switch (mode) {
      case OpenMode::kRead: flags |= O_RDONLY; break;
      case OpenMode::kReadWrite: flags |= O_RDWR; break;
      case OpenMode::kCreateExclusive: flags |= O_RDWR | O_CREAT | O_EXCL; break;
      case OpenMode::kCreateTruncate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    }
    int fd = ::open(path.c_str(), flags, 0644);
    if (fd < 0) throwErrno(path, "cannot open", errno);
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      throw fileError(kErrIo, path, "is a folder, not a file");
    }
    return std::make_unique<PosixFile>(path, fd);
  }

  bool exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  void remove(const std::string& path) override {
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwErrno(path, "cannot remove", errno);
  }

  void rename(const std::string& from, const std::string& to) override {
    if (::rename(from.c_str(), to.c_str()) != 0) throwErrno(from, "cannot rename", errno);
  }

  void renameNoReplace(const std::string& from, const std::string& to) override {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
      const int err = errno;
      if (err == EEXIST) throwExists(to);
      if (err != EINVAL && err != ENOSYS && err != EOPNOTSUPP) throwErrno(to, "cannot move into place", err);
      // A file system that does not know the flag: a second name made with link() cannot
      // replace anything either; then the first name goes.
      if (::link(from.c_str(), to.c_str()) == 0) {
        if (::unlink(from.c_str()) != 0) throwErrno(from, "cannot remove", errno);
      } else if (errno == EEXIST) {
        throwExists(to);
      } else if (errno == EPERM || errno == EOPNOTSUPP) {
        // Nor links (FAT and some network shares): check, then rename.
        if (exists(to)) throwExists(to);
        rename(from, to);
      } else {
        throwErrno(to, "cannot move into place", errno);
      }
    }
    // The new name must survive a power cut as well as the data: flush the folder.
    const size_t slash = to.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : to.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
  }

 private:
  [[noreturn]] static void throwExists(const std::string& path) {
    throw DbError(kErrGeneric, "'" + path + "' already exists");
  }
};

Env* g_default = nullptr;

}  // namespace

void File::readExact(uint64_t offset, void* buffer, size_t n) {
  if (readAt(offset, buffer, n) != n) {
    throw fileError(
        kErrFormat, path(),
        "file ends early (wanted " + std::to_string(n) + " bytes at offset " + std::to_string(offset) + ")");
  }
}

void Env::renameNoReplace(const std::string& from, const std::string& to) {
  if (exists(to)) throw DbError(kErrGeneric, "'" + to + "' already exists");
  rename(from, to);
}

Env& posixEnv() {
  static PosixEnv env;
  return env;
}

Env& defaultEnv() { return g_default ? *g_default : posixEnv(); }

ScopedDefaultEnv::ScopedDefaultEnv(Env& env) : previous_(g_default) { g_default = &env; }
ScopedDefaultEnv::~ScopedDefaultEnv() { g_default = previous_; }

}  // namespace qv::io
