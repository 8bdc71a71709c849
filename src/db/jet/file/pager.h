#pragma once
// Page-level access to a database file: a cache of pages read through the I/O seam, and
// the changes of one step (an insert, a new table, ...) written in the order they were
// made. An optional codec decodes pages after reading and encodes them before writing
// (the hook for encoded databases).
//
// How changes reach the file:
// - Consecutive changes to one page form a group, written as a single write of the
//   span they cover. A write inside one page reaches the file whole or not at all: the
//   kernel copies a page-aligned page under its lock and a killed process never leaves
//   part of one behind (a full disk stops a write at a page boundary too). So the order
//   of changes inside one group does not matter.
// - Groups are written in the order they were started, each with the bytes its page
//   held when the group ended (a later group on the same page does not leak into an
//   earlier write). Callers change new data before what points at it, so the file
//   stays openable after a crash between any two writes.
// - A page that is new in this step (append(), overwrite()) is written whole, once, at
//   the place of its creation, with the content it has when the step is flushed.
//   Nothing may point at it before the step ends except what is changed after the page
//   was filled: link a new page only once its content is complete.
// - barrier() ends the current group even when the next change is to the same page.
// - When a write fails (a full disk, an I/O error, a short write), the pages the step
//   had written are put back as they were and pages it appended are cut off, so a failed
//   step leaves nothing of itself. A file another program cut short fails the step
//   before anything is written.
// - A journaled flush (creating or dropping a table) first keeps the pages the step
//   changes in a journal beside the file (journal.h), so a run killed while they go out
//   is taken back whole when the database is next opened.
// - The file never grows beyond what Access opens (maxFileBytes()): append() refuses the
//   page that would pass it, before anything of the step is written, so the step fails
//   whole and the file stays as it was.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/io/env.h"
#include "db/jet/file/format.h"

namespace qv::jet {

class PageCodec {
 public:
  virtual ~PageCodec() = default;
  virtual void decode(uint32_t pageNumber, uint8_t* page, size_t n) = 0;
  virtual void encode(uint32_t pageNumber, uint8_t* page, size_t n) = 0;
  // Non-zero for a chained block cipher: a change anywhere in a cipher block alters the
  // stored page from that block to the page's end, so that much is written.
  virtual uint32_t chainedBlockSize() const { return 0; }
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
  // Continues with another open of the same file, e.g. under the name it was moved to
  // (the name that messages give).
  void replaceFile(std::unique_ptr<io::File> file) { file_ = std::move(file); }

  // The page's bytes; valid until the next trim(). Throws a format error naming the
  // file when the page lies beyond its end.
  const uint8_t* read(uint32_t page);
  // The page's bytes for changing [offset, offset + length); that range is written by
  // the next flush(), after every group started before it.
  uint8_t* modify(uint32_t page, uint32_t offset, uint32_t length);
  // A new zero page at the end of the file (written whole by the next flush()). Throws,
  // naming the file and the limit, when the file would grow beyond maxFileBytes().
  uint32_t append();
  // The size Access allows a database: 2 GB (2^31 bytes: Jet keeps file offsets as signed
  // 32-bit numbers), 1 GB for Jet 3's 2 KB pages. A file may reach it but not pass it.
  uint64_t maxFileBytes() const { return layout_.jet3 ? uint64_t{1} << 30 : uint64_t{1} << 31; }
  // Replaces a page's whole content (a reused page); the page counts as new.
  uint8_t* overwrite(uint32_t page);

  // Ends the current group: the next change is written separately, after it.
  void barrier() { mergeable_ = false; }
  // Whether changes wait to be written.
  bool dirty() const { return !groups_.empty(); }
  // How many writes the flushes so far have made (for tests and measurements).
  uint64_t writesMade() const { return writesMade_; }

  void flush();
  // Where journaled flushes keep their journal.
  void setJournal(io::Env& env, std::string path) {
    journalEnv_ = &env;
    journalPath_ = std::move(path);
  }
  // Writes the step's changes through a journal (see above), syncs the file and removes
  // the journal. Without setJournal, or where no journal can be written, a plain flush.
  void flushJournaled();
  void sync();
  // Drops cached pages once the cache holds more than about limit pages.
  void trim(size_t limit = 8192);
  // Drops one page from the cache (when nothing waits to be written), keeping its buffer
  // for the next page loaded or appended: for a page that will not be wanted again, such
  // as a data page a long run of rows has filled.
  void release(uint32_t page);
  // Forgets unwritten changes (after a failed operation): the pages they touched are read
  // from the file again.
  void discard();

 private:
  struct CachedPage {
    std::vector<uint8_t> bytes;
    bool fresh = false;      // new in this step: written whole at its group
    int64_t lastGroup = -1;  // this step's latest group of the page
  };
  struct Group {
    uint32_t page, begin, end;
    int64_t saved = -1;  // where the group's bytes were kept in saved_, or -1
  };
  CachedPage& load(uint32_t page);
  // Whether the file is still at least this many pages long (another program may cut it).
  bool holdsPages(uint32_t pages) const;
  [[noreturn]] void throwCutShort(uint32_t pages) const;
  // A cached page of pageSize bytes (contents unspecified), from sparePages_ when it has one.
  std::unique_ptr<CachedPage> newCachedPage();
  CachedPage& startFresh(uint32_t page, CachedPage& p);
  void keepEarlierGroup(CachedPage& p);
  void endStep();
  // Called before a page is changed: keeps its bytes as the file holds them the first
  // time the step touches it.
  void remember(uint32_t page, const std::vector<uint8_t>& bytes);
  // Empties before_, keeping a few of its buffers in spare_ for the next step.
  void forgetBefore();
  void beginChange();
  // The page of groups_[index] as it stood when that group ended: its bytes before the
  // step with every group up to index applied.
  void pageAsOfGroup(size_t index, std::vector<uint8_t>& out) const;
  // After a failed write: writes the kept pages of the groups up to and including the
  // one that failed back (last first), and cuts pages appended since.
  void rollBack(size_t failed) noexcept;
  // The journal of the step's changes: its pages as the file holds them now and as the
  // step will leave them.
  void keepJournal();

  std::unique_ptr<io::File> file_;
  Layout layout_;
  bool readOnly_;
  std::unique_ptr<PageCodec> codec_;
  uint32_t pageCount_ = 0;
  // The pages of the file before the step's changes, and its page count then.
  std::unordered_map<uint32_t, std::vector<uint8_t>> before_;
  std::vector<std::vector<uint8_t>> spare_;
  std::vector<std::unique_ptr<CachedPage>> sparePages_;
  static constexpr size_t kSparePages = 1024;
  static constexpr uint64_t kWritebackBytes = uint64_t{8} << 20;  // written before the device is asked to start
  uint32_t pagesBefore_ = 0;
  bool changing_ = false;
  std::unordered_map<uint32_t, std::unique_ptr<CachedPage>> cache_;
  uint32_t lastPage_ = 0;
  CachedPage* last_ = nullptr;  // the most recently loaded page
  std::vector<Group> groups_;
  std::vector<uint8_t> saved_;                 // bytes of groups whose page changed again later
  std::vector<std::span<const uint8_t>> run_;  // new pages written together
  bool mergeable_ = true;
  uint64_t writesMade_ = 0;
  uint64_t bytesSinceWriteback_ = 0;  // written since the device was last asked to take them
  io::Env* journalEnv_ = nullptr;
  std::string journalPath_;
};

}  // namespace qv::jet
