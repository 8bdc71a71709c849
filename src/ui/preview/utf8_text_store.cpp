#include "ui/preview/utf8_text_store.h"

#include <stdexcept>

namespace qv::ui {
namespace {

// Texts go into blocks of this size; a longer text has a block of its own.
constexpr size_t kBlockBytes = size_t{4} << 20;

}  // namespace

void Utf8TextStore::clear() {
  std::vector<std::string>().swap(blocks_);
  std::vector<Entry>().swap(entries_);
}

Utf8TextStore::Entry Utf8TextStore::store(std::string_view utf8) {
  if (utf8.size() > UINT32_MAX) throw std::length_error("a text of 4 GB or more");
  if (utf8.empty()) return Entry{};
  if (utf8.size() > kBlockBytes / 4) {
    // A long text: a block of its own (texts after it start a new block).
    blocks_.emplace_back(utf8);
    return Entry{static_cast<uint32_t>(blocks_.size() - 1), 0, static_cast<uint32_t>(utf8.size())};
  }
  if (blocks_.empty() || blocks_.back().size() + utf8.size() > blocks_.back().capacity()) {
    blocks_.emplace_back();
    blocks_.back().reserve(kBlockBytes);
  }
  std::string& block = blocks_.back();
  const auto offset = static_cast<uint32_t>(block.size());
  block.append(utf8);
  return Entry{static_cast<uint32_t>(blocks_.size() - 1), offset, static_cast<uint32_t>(utf8.size())};
}

void Utf8TextStore::append(std::string_view utf8) { entries_.push_back(store(utf8)); }

std::string_view Utf8TextStore::at(size_t index) const {
  const Entry& e = entries_[index];
  if (e.length == 0) return {};
  return std::string_view(blocks_[e.block]).substr(e.offset, e.length);
}

void Utf8TextStore::set(size_t index, std::string_view utf8) { entries_.at(index) = store(utf8); }

}  // namespace qv::ui
