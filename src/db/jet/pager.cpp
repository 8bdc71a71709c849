#include "db/jet/pager.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/bytes.h"

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
    rc4(key, 4, page, n);
  }
  uint32_t key_;
};

}  // namespace

std::unique_ptr<PageCodec> makeRc4PageCodec(uint32_t databaseKey) {
  return std::make_unique<Rc4PageCodec>(databaseKey);
}

Pager::Pager(std::unique_ptr<io::File> file, const Layout& layout, bool readOnly)
    : file_(std::move(file)), layout_(layout), readOnly_(readOnly) {
  pageCount_ = static_cast<uint32_t>(file_->size() / layout_.pageSize);
}

std::vector<uint8_t>& Pager::load(uint32_t page) {
  auto it = cache_.find(page);
  if (it != cache_.end()) return *it->second;
  if (page >= pageCount_)
    throw DbError(kErrFormat, "'" + path() + "' is damaged: page " + std::to_string(page) +
                                  " lies beyond the end of the file");
  auto buffer = std::make_unique<std::vector<uint8_t>>(layout_.pageSize);
  file_->readExact(static_cast<uint64_t>(page) * layout_.pageSize, buffer->data(), layout_.pageSize);
  if (codec_) codec_->decode(page, buffer->data(), buffer->size());
  auto& ref = *buffer;
  cache_.emplace(page, std::move(buffer));
  return ref;
}

const uint8_t* Pager::read(uint32_t page) { return load(page).data(); }

void Pager::beginChange() {
  if (changing_) return;
  changing_ = true;
  pagesBefore_ = pageCount_;
}

void Pager::remember(uint32_t page, const std::vector<uint8_t>& bytes) {
  beginChange();
  if (page < pagesBefore_ && before_.find(page) == before_.end()) before_.emplace(page, bytes);
}

uint8_t* Pager::modify(uint32_t page, uint32_t offset, uint32_t length) {
  auto& p = load(page);
  if (length > 0) {
    remember(page, p);
    if (!dirty_.empty() && mergeable_) {
      Range& last = dirty_.back();
      uint32_t lastEnd = last.offset + last.length;
      if (last.page == page && offset <= lastEnd && offset + length >= last.offset) {
        uint32_t start = std::min(last.offset, offset);
        uint32_t end = std::max(lastEnd, offset + length);
        last.offset = start;
        last.length = end - start;
        return p.data();
      }
    }
    dirty_.push_back({page, offset, length});
    mergeable_ = true;
  }
  return p.data();
}

uint32_t Pager::append() {
  beginChange();
  uint32_t page = pageCount_++;
  cache_[page] = std::make_unique<std::vector<uint8_t>>(layout_.pageSize, 0);
  dirty_.push_back({page, 0, layout_.pageSize});
  return page;
}

uint8_t* Pager::overwrite(uint32_t page) {
  auto& p = load(page);
  remember(page, p);
  std::fill(p.begin(), p.end(), 0);
  dirty_.push_back({page, 0, layout_.pageSize});
  return p.data();
}

void Pager::flush() {
  if (dirty_.empty()) return;
  if (readOnly_) {
    dirty_.clear();
    throw DbError(kErrGeneric, "'" + path() + "' is open read-only");
  }
  // Another program may have cut the file short under us: writing the changes would
  // leave them behind a hole of zeros, so the change fails instead.
  const uint64_t expected = static_cast<uint64_t>(changing_ ? pagesBefore_ : pageCount_) * layout_.pageSize;
  if (const uint64_t size = file_->size(); size < expected) {
    discard();
    throw DbError(kErrIo, "'" + path() + "' was cut short by another program (" + std::to_string(size) + " bytes, " +
                              std::to_string(expected) + " expected)");
  }
  std::vector<uint8_t> encoded;
  size_t i = 0;
  try {
    for (; i < dirty_.size(); ++i) {
      const Range& r = dirty_[i];
      const auto& p = *cache_.at(r.page);
      const uint8_t* src = p.data();
      if (codec_ && r.page != 0) {
        encoded = p;
        codec_->encode(r.page, encoded.data(), encoded.size());
        src = encoded.data();
      }
      file_->writeAt(static_cast<uint64_t>(r.page) * layout_.pageSize + r.offset, src + r.offset, r.length);
    }
  } catch (...) {
    rollBack(i);
    discard();
    throw;
  }
  dirty_.clear();
  before_.clear();
  changing_ = false;
}

void Pager::rollBack(size_t failed) noexcept {
  try {
    bool grew = false;
    std::vector<uint8_t> encoded;
    for (size_t k = std::min(failed + 1, dirty_.size()); k-- > 0;) {
      const Range& r = dirty_[k];
      auto it = before_.find(r.page);
      if (it == before_.end()) {
        grew = grew || r.page >= pagesBefore_;
        continue;
      }
      const uint8_t* src = it->second.data();
      if (codec_ && r.page != 0) {
        encoded = it->second;
        codec_->encode(r.page, encoded.data(), encoded.size());
        src = encoded.data();
      }
      file_->writeAt(static_cast<uint64_t>(r.page) * layout_.pageSize + r.offset, src + r.offset, r.length);
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
  if (!readOnly_) file_->sync();
}

void Pager::trim(size_t limit) {
  if (cache_.size() <= limit || !dirty_.empty()) return;
  cache_.clear();
}

void Pager::discard() {
  dirty_.clear();
  before_.clear();
  changing_ = false;
  cache_.clear();
  pageCount_ = static_cast<uint32_t>(file_->size() / layout_.pageSize);
}

}  // namespace qv::jet
