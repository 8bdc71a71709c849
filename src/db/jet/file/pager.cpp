#include "db/jet/file/pager.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/file/ciphers.h"
#include "db/jet/file/journal.h"

namespace qv::jet {
namespace {

class Rc4PageCodec final : public PageCodec {
 public:
  explicit Rc4PageCodec(uint32_t key) : key_(key) {}
  void decode(uint32_t pageNumber, uint8_t* page, size_t n) override { apply(pageNumber, page, n); }
  void encode(uint32_t pageNumber, uint8_t* page, size_t n) override { apply(pageNumber, page, n); }

 private:
  void apply(uint32_t pageNumber, uint8_t* page, size_t n) {
    if (pageNumber == 0) return;
    uint8_t key[4];
    put32(key, 0, key_ ^ pageNumber);
    crypto::rc4(crypto::ByteView(key, 4), page, n);
  }
  uint32_t key_;
};

// 2147483648 as "2,147,483,648".
std::string withThousands(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

}  // namespace

std::unique_ptr<PageCodec> makeRc4PageCodec(uint32_t databaseKey) {
  return std::make_unique<Rc4PageCodec>(databaseKey);
}

Pager::Pager(std::unique_ptr<io::File> file, const Layout& layout, bool readOnly)
    : file_(std::move(file)), layout_(layout), readOnly_(readOnly) {
  pageCount_ = static_cast<uint32_t>(file_->size() / layout_.pageSize);
}

Pager::CachedPage& Pager::load(uint32_t page) {
  if (last_ && lastPage_ == page) return *last_;
  auto it = cache_.find(page);
  if (it == cache_.end()) {
    if (page >= pageCount_)
      throw DbError(kErrFormat,
                    "'" + path() + "' is damaged: page " + std::to_string(page) + " lies beyond the end of the file");
    auto fresh = newCachedPage();
    file_->readExact(static_cast<uint64_t>(page) * layout_.pageSize, fresh->bytes.data(), layout_.pageSize);
    if (codec_) codec_->decode(page, fresh->bytes.data(), fresh->bytes.size());
    it = cache_.emplace(page, std::move(fresh)).first;
  }
  lastPage_ = page;
  last_ = it->second.get();
  return *last_;
}

const uint8_t* Pager::read(uint32_t page) { return load(page).bytes.data(); }

void Pager::keepEarlierGroup(CachedPage& p) {
  // The page is about to change in a new group: its previous group keeps the bytes it
  // has now, so the later change is not written ahead of what came between.
  if (p.lastGroup < 0) return;
  Group& g = groups_[static_cast<size_t>(p.lastGroup)];
  if (g.saved >= 0) return;
  g.saved = static_cast<int64_t>(saved_.size());
  saved_.insert(saved_.end(), p.bytes.begin() + g.begin, p.bytes.begin() + g.end);
}

void Pager::beginChange() {
  if (changing_) return;
  changing_ = true;
  pagesBefore_ = pageCount_;
}

void Pager::remember(uint32_t page, const std::vector<uint8_t>& bytes) {
  beginChange();
  if (page >= pagesBefore_ || before_.find(page) != before_.end()) return;
  // A buffer of an earlier step serves again: a step of a long run of rows keeps a few
  // pages, and allocating them anew each time would cost more than copying them.
  std::vector<uint8_t> copy;
  if (!spare_.empty()) {
    copy = std::move(spare_.back());
    spare_.pop_back();
  }
  copy.assign(bytes.begin(), bytes.end());
  before_.emplace(page, std::move(copy));
}

std::unique_ptr<Pager::CachedPage> Pager::newCachedPage() {
  std::unique_ptr<CachedPage> p;
  if (!sparePages_.empty()) {
    p = std::move(sparePages_.back());
    sparePages_.pop_back();
    *p = CachedPage{std::move(p->bytes)};
  } else {
    p = std::make_unique<CachedPage>();
  }
  p->bytes.resize(layout_.pageSize);  // the caller fills it
  return p;
}

void Pager::release(uint32_t page) {
  if (!groups_.empty()) return;
  auto it = cache_.find(page);
  if (it == cache_.end()) return;
  if (last_ == it->second.get()) last_ = nullptr;
  // A run of rows with long values fills hundreds of pages a step: their buffers serve
  // the next step, where freeing and allocating them again would cost fresh memory.
  if (sparePages_.size() < kSparePages) sparePages_.push_back(std::move(it->second));
  cache_.erase(it);
}

void Pager::forgetBefore() {
  for (auto& [page, bytes] : before_) {
    if (spare_.size() < 16) spare_.push_back(std::move(bytes));
  }
  before_.clear();
}

uint8_t* Pager::modify(uint32_t page, uint32_t offset, uint32_t length) {
  CachedPage& p = load(page);
  if (length == 0 || p.fresh) return p.bytes.data();
  remember(page, p.bytes);
  if (mergeable_ && !groups_.empty() && groups_.back().page == page) {
    Group& g = groups_.back();
    g.begin = std::min(g.begin, offset);
    g.end = std::max(g.end, offset + length);
    return p.bytes.data();
  }
  keepEarlierGroup(p);
  p.lastGroup = static_cast<int64_t>(groups_.size());
  groups_.push_back({page, offset, offset + length, -1});
  mergeable_ = true;
  return p.bytes.data();
}

Pager::CachedPage& Pager::startFresh(uint32_t page, CachedPage& p) {
  if (!p.fresh) {
    keepEarlierGroup(p);
    p.fresh = true;
    p.lastGroup = static_cast<int64_t>(groups_.size());
    groups_.push_back({page, 0, layout_.pageSize, -1});
    mergeable_ = false;
  }
  std::fill(p.bytes.begin(), p.bytes.end(), 0);
  return p;
}

uint32_t Pager::append() {
  const uint64_t limit = maxFileBytes();
  if ((static_cast<uint64_t>(pageCount_) + 1) * layout_.pageSize > limit)
    throw DbError(kErrGeneric,
                  "'" + path() + "' cannot grow beyond " + std::to_string(limit >> 30) + " GB (" +
                      withThousands(limit) +
                      " bytes), the largest an Access database can be; nothing of this change was written");
  beginChange();
  uint32_t page = pageCount_++;
  auto created = newCachedPage();
  CachedPage& p = *created;
  cache_[page] = std::move(created);
  lastPage_ = page;
  last_ = &p;
  startFresh(page, p);
  return page;
}

uint8_t* Pager::overwrite(uint32_t page) {
  CachedPage& p = load(page);
  remember(page, p.bytes);
  return startFresh(page, p).bytes.data();
}

void Pager::endStep() {
  for (const Group& g : groups_) {
    auto it = cache_.find(g.page);
    if (it == cache_.end()) continue;
    it->second->fresh = false;
    it->second->lastGroup = -1;
  }
  groups_.clear();
  saved_.clear();
  mergeable_ = true;
  forgetBefore();
  changing_ = false;
}

void Pager::flush() {
  if (groups_.empty()) return;
  if (readOnly_) {
    discard();
    throw DbError(kErrGeneric, "'" + path() + "' is open read-only");
  }
  // Another program may have cut the file short under us: writing the changes would
  // leave them behind a hole of zeros, so the step fails instead.
  if (!holdsPages(changing_ ? pagesBefore_ : pageCount_)) {
    discard();
    throwCutShort(changing_ ? pagesBefore_ : pageCount_);
  }
  std::vector<uint8_t> encoded;
  size_t i = 0;
  try {
    for (; i < groups_.size(); ++i) {
      const Group& g = groups_[i];
      const CachedPage& p = *cache_.at(g.page);
      // A fresh page goes out whole, with its final content, at the group that made it
      // fresh; any other group with the bytes it held when it ended.
      bool whole = p.fresh && p.lastGroup == static_cast<int64_t>(i);
      if (whole && !codec_) {
        // New pages that follow one another in the file and in the order of writing
        // (the pages a run of rows filled) go out in one write.
        size_t last = i;
        while (last + 1 < groups_.size() && groups_[last + 1].page == groups_[last].page + 1) {
          const CachedPage& next = *cache_.at(groups_[last + 1].page);
          if (!next.fresh || next.lastGroup != static_cast<int64_t>(last + 1)) break;
          ++last;
        }
        if (last > i) {
          const uint32_t first = g.page;
          run_.clear();
          for (size_t k = i; k <= last; ++k) run_.emplace_back(cache_.at(groups_[k].page)->bytes);
          i = last;  // a failure takes back every group the write held
          file_->writeGatherAt(static_cast<uint64_t>(first) * layout_.pageSize, run_);
          ++writesMade_;
          bytesSinceWriteback_ += static_cast<uint64_t>(run_.size()) * layout_.pageSize;
          continue;
        }
      }
      uint32_t begin = whole ? 0 : g.begin;
      uint32_t end = whole ? layout_.pageSize : g.end;
      const uint8_t* src = !whole && g.saved >= 0 ? saved_.data() + g.saved : p.bytes.data() + begin;
      if (codec_ && g.page != 0) {
        const uint32_t block = codec_->chainedBlockSize();
        if (block != 0 && !whole) {
          // A chained cipher changes the stored page from the first changed block to its
          // end, so what goes out there must be the page as it stood when this group
          // ended, not with changes of later groups that are to be written after it.
          pageAsOfGroup(i, encoded);
        } else {
          encoded = p.bytes;
          std::memcpy(encoded.data() + begin, src, end - begin);
        }
        codec_->encode(g.page, encoded.data(), encoded.size());
        if (block != 0) {
          begin -= begin % block;
          end = layout_.pageSize;
        }
        src = encoded.data() + begin;
      }
      file_->writeAt(static_cast<uint64_t>(g.page) * layout_.pageSize + begin, src, end - begin);
      ++writesMade_;
      bytesSinceWriteback_ += end - begin;
    }
  } catch (...) {
    rollBack(i);
    discard();
    throw;
  }
  endStep();
  // A long run of inserts leaves the device work as it goes rather than all of it to the
  // sync at the end.
  if (bytesSinceWriteback_ >= kWritebackBytes) {
    bytesSinceWriteback_ = 0;
    file_->startWriteback();
  }
}

void Pager::keepJournal() {
  Journal j;
  j.pageSize = layout_.pageSize;
  j.pagesBefore = changing_ ? pagesBefore_ : pageCount_;
  j.pagesAfter = pageCount_;
  // Each write leaves its page as it stood when the write's group ended (flush()); a
  // new page is written once, whole, with its final content.
  std::map<uint32_t, JournalEntry> entries;
  std::vector<uint8_t> state;
  for (size_t i = 0; i < groups_.size(); ++i) {
    const uint32_t page = groups_[i].page;
    JournalEntry& e = entries[page];
    if (e.states.empty()) {
      e.page = page;
      e.existed = page < j.pagesBefore;
      if (e.existed) {
        e.before.resize(layout_.pageSize);
        file_->readExact(static_cast<uint64_t>(page) * layout_.pageSize, e.before.data(), e.before.size());
      }
    }
    const CachedPage& p = *cache_.at(page);
    if (p.fresh && p.lastGroup == static_cast<int64_t>(i)) {
      state = p.bytes;
    } else {
      pageAsOfGroup(i, state);
    }
    if (codec_) codec_->encode(page, state.data(), state.size());
    e.states.push_back(fnv1a(state.data(), state.size()));
  }
  for (auto& [page, e] : entries) j.entries.push_back(std::move(e));
  writeJournal(*journalEnv_, journalPath_, j);
}

void Pager::flushJournaled() {
  if (!journalEnv_ || groups_.empty() || readOnly_) {
    flush();
    return;
  }
  try {
    keepJournal();
  } catch (const DbError&) {
    // No journal beside the file (a folder we may not create files in, a full disk):
    // the change goes out as any other, its writes ordered so the file stays openable.
    try {
      journalEnv_->remove(journalPath_);
    } catch (const DbError&) {
    }
    flush();
    return;
  }
  // A failed write puts the pages back itself; the journal stays, and agrees with them.
  flush();
  file_->sync();
  journalEnv_->remove(journalPath_);
}

void Pager::pageAsOfGroup(size_t index, std::vector<uint8_t>& out) const {
  const Group& g = groups_[index];
  const CachedPage& p = *cache_.at(g.page);
  auto before = before_.find(g.page);
  out = before != before_.end() ? before->second : p.bytes;
  for (size_t k = 0; k <= index; ++k) {
    const Group& e = groups_[k];
    if (e.page != g.page) continue;
    const uint8_t* bytes = e.saved >= 0 ? saved_.data() + e.saved : p.bytes.data() + e.begin;
    std::memcpy(out.data() + e.begin, bytes, e.end - e.begin);
  }
}

void Pager::rollBack(size_t failed) noexcept {
  // Only the groups up to the failed one can have reached the file (the failed write may
  // have left part of itself); the later ones never started. Each page they touched gets
  // back the bytes it had before the step, whole. The undo runs from the last write to the
  // first: if the device fails again half-way, what is left undone is the step's earliest
  // writes, a prefix of the step, which the order of the writes keeps openable.
  try {
    bool grew = false;
    std::vector<uint8_t> encoded;
    for (size_t k = std::min(failed + 1, groups_.size()); k-- > 0;) {
      const uint32_t page = groups_[k].page;
      auto it = before_.find(page);
      if (it == before_.end()) {
        // No earlier bytes: a page the step added. Cutting the file back to its length
        // before the step removes it, and nothing that stays points at it.
        grew = grew || page >= pagesBefore_;
        continue;
      }
      const uint8_t* src = it->second.data();
      if (codec_ && page != 0) {
        encoded = it->second;
        codec_->encode(page, encoded.data(), encoded.size());
        src = encoded.data();
      }
      file_->writeAt(static_cast<uint64_t>(page) * layout_.pageSize, src, layout_.pageSize);
    }
    const uint64_t length = static_cast<uint64_t>(pagesBefore_) * layout_.pageSize;
    if (grew && file_->size() > length) file_->truncate(length);
  } catch (...) {
    // The device keeps failing: the file stays as the failed writes left it, which the
    // order of the writes keeps openable with everything flushed before.
  }
}

void Pager::sync() {
  flush();
  if (readOnly_) return;
  file_->sync();
  // Cut short after the last write: what the session wrote is gone, and the caller must
  // hear of it rather than a success.
  if (!holdsPages(pageCount_)) throwCutShort(pageCount_);
}

bool Pager::holdsPages(uint32_t pages) const {
  return file_->size() >= static_cast<uint64_t>(pages) * layout_.pageSize;
}

void Pager::throwCutShort(uint32_t pages) const {
  throw DbError(kErrIo, "'" + path() + "' was cut short by another program (" + std::to_string(file_->size()) +
                            " bytes, " + std::to_string(static_cast<uint64_t>(pages) * layout_.pageSize) +
                            " expected)");
}

void Pager::trim(size_t limit) {
  if (cache_.size() <= limit || !groups_.empty()) return;
  // Their buffers serve the pages loaded or made next.
  for (auto& entry : cache_) {
    if (sparePages_.size() >= kSparePages) break;
    sparePages_.push_back(std::move(entry.second));
  }
  cache_.clear();
  last_ = nullptr;
}

void Pager::discard() {
  // The pages the step changed or added are read from the file again when next wanted;
  // the ones it left alone stay cached, so a failed step costs little more than its work.
  const uint32_t pagesBefore = changing_ ? pagesBefore_ : pageCount_;
  const uint32_t pagesAfter = pageCount_;
  for (const Group& g : groups_) cache_.erase(g.page);
  for (const auto& [page, bytes] : before_) cache_.erase(page);
  for (uint32_t page = pagesBefore; page < pagesAfter; ++page) cache_.erase(page);
  pageCount_ = static_cast<uint32_t>(file_->size() / layout_.pageSize);
  if (pageCount_ < pagesBefore) {
    // Another program cut the file short: what lay beyond its end is gone.
    for (auto it = cache_.begin(); it != cache_.end();) it = it->first >= pageCount_ ? cache_.erase(it) : std::next(it);
  }
  groups_.clear();
  saved_.clear();
  mergeable_ = true;
  forgetBefore();
  changing_ = false;
  last_ = nullptr;
}

}  // namespace qv::jet
