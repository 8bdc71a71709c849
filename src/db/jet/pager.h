#pragma once
// Page-level access to a database file: a cache of pages read through the I/O seam,
// byte ranges marked as changed, and writes of exactly those ranges in the order they
// were marked. Callers mark new data before what points at it, so the file stays
// openable after a crash between any two writes. When a write fails (a full disk, an
// I/O error, a short write), the ranges already written are put back as they were and
// the file is cut to its old length, so a failed change leaves nothing of itself. An optional codec decodes pages after
// reading and encodes them before writing (the hook for encoded databases).

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/io/env.h"
#include "db/jet/format.h"

namespace qv::jet {

class PageCodec {
 public:
  virtual ~PageCodec() = default;
  virtual void decode(uint32_t pageNumber, uint8_t* page, size_t n) = 0;
  virtual void encode(uint32_t pageNumber, uint8_t* page, size_t n) = 0;
};

// Jet's RC4 page encoding: each page (but page 0) RC4-scrambled with the database key
// XOR the little-endian page number.
std::unique_ptr<PageCodec> makeRc4PageCodec(uint32_t databaseKey);

class Pager {
 public:
  Pager(std::unique_ptr<io::File> file, const Layout& layout, bool readOnly);

  const Layout& layout() const { return layout_; }
  uint32_t pageSize() const { return layout_.pageSize; }
  uint32_t pageCount() const { return pageCount_; }
  const std::string& path() const { return file_->path(); }
  bool readOnly() const { return readOnly_; }
  void setCodec(std::unique_ptr<PageCodec> codec) { codec_ = std::move(codec); }

  // The page's bytes; valid until the next trim(). Throws a format error naming the
  // file when the page lies beyond its end.
  const uint8_t* read(uint32_t page);
  // The page's bytes for changing [offset, offset + length); that range is written by
  // the next flush(), after every range marked before it.
  uint8_t* modify(uint32_t page, uint32_t offset, uint32_t length);
  // A new zero page at the end of the file (written whole by the next flush()).
  uint32_t append();
  // Replaces a page's whole content (a reused page).
  uint8_t* overwrite(uint32_t page);

  // Ends the current range: the next change is written separately, after it (so a
  // torn write of one range cannot carry a later change with it).
  void barrier() { mergeable_ = false; }

  void flush();
  void sync();
  // Drops cached pages once the cache holds more than about limit pages.
  void trim(size_t limit = 8192);
  // Forgets unwritten changes (after a failed operation) and re-reads from the file.
  void discard();

 private:
  struct Range {
    uint32_t page, offset, length;
  };
  std::vector<uint8_t>& load(uint32_t page);
  // Called before a page is changed: keeps its bytes as the file holds them the first
  // time a change since the last flush touches it.
  void remember(uint32_t page, const std::vector<uint8_t>& bytes);
  void beginChange();
  // After a failed write: writes the kept bytes back over the ranges up to and
  // including the one that failed (last first), and cuts pages appended since.
  void rollBack(size_t failed) noexcept;

  std::unique_ptr<io::File> file_;
  Layout layout_;
  bool readOnly_;
  std::unique_ptr<PageCodec> codec_;
  uint32_t pageCount_ = 0;
  std::unordered_map<uint32_t, std::unique_ptr<std::vector<uint8_t>>> cache_;
  std::vector<Range> dirty_;
  bool mergeable_ = true;
  // The pages of the file before the unflushed changes, and its page count then.
  std::unordered_map<uint32_t, std::vector<uint8_t>> before_;
  uint32_t pagesBefore_ = 0;
  bool changing_ = false;
};

}  // namespace qv::jet
