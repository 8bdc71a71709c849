#include "ui/preview/utf8_text_store.h"

#include <stdexcept>

namespace qv::ui {
namespace {

// Texts go into blocks of this size; a longer text has a block of its own.
constexpr size_t kBlockBytes = size_t{4} << 20;
// Prefixes shared: at most this many (a byte names them), each at most this long.
constexpr size_t kMaxPrefixes = 255;
constexpr size_t kMaxPrefixLength = 512;

}  // namespace

void Utf8TextStore::clear() {
  std::vector<std::string>().swap(blocks_);
  std::vector<Entry>().swap(entries_);
  prefixes_.clear();
  lastPrefix_ = 0;
}

unsigned Utf8TextStore::prefixOf(std::string_view utf8, size_t* prefixLength) {
  *prefixLength = 0;
  // The statements of a table's rows: "INSERT INTO `name` VALUES (".
  static constexpr std::string_view kInsert = "INSERT INTO `", kValues = "` VALUES (";
  if (!utf8.starts_with(kInsert)) return 0;
  const size_t close = utf8.find(kValues, kInsert.size());
  if (close == std::string_view::npos || close + kValues.size() > kMaxPrefixLength) return 0;
  const std::string_view prefix = utf8.substr(0, close + kValues.size());
  if (lastPrefix_ != 0 && prefixes_[lastPrefix_ - 1] == prefix) {
    *prefixLength = prefix.size();
    return lastPrefix_;
  }
  for (size_t k = 0; k < prefixes_.size(); ++k) {
    if (prefixes_[k] == prefix) {
      lastPrefix_ = static_cast<unsigned>(k + 1);
      *prefixLength = prefix.size();
      return lastPrefix_;
    }
  }
  if (prefixes_.size() >= kMaxPrefixes) return 0;
  prefixes_.emplace_back(prefix);
  lastPrefix_ = static_cast<unsigned>(prefixes_.size());
  *prefixLength = prefix.size();
  return lastPrefix_;
}

Utf8TextStore::Entry Utf8TextStore::store(std::string_view utf8) {
  if (utf8.size() >= UINT32_MAX) throw std::length_error("a text of 4 GB or more");
  if (utf8.empty()) return Entry{};
  size_t prefixLength = 0;
  const unsigned prefix = prefixOf(utf8, &prefixLength);
  const std::string_view rest = utf8.substr(prefixLength);
  const size_t stored = 1 + rest.size();
  if (stored > kBlockBytes / 4) {
    // A long text: a block of its own (texts after it start a new block).
    std::string block;
    block.reserve(stored);
    block += static_cast<char>(prefix);
    block += rest;
    blocks_.push_back(std::move(block));
    return Entry{static_cast<uint32_t>(blocks_.size() - 1), 0, static_cast<uint32_t>(stored)};
  }
  if (blocks_.empty() || blocks_.back().size() + stored > blocks_.back().capacity()) {
    blocks_.emplace_back();
    blocks_.back().reserve(kBlockBytes);
  }
  std::string& block = blocks_.back();
  const auto offset = static_cast<uint32_t>(block.size());
  block += static_cast<char>(prefix);
  block += rest;
  return Entry{static_cast<uint32_t>(blocks_.size() - 1), offset, static_cast<uint32_t>(stored)};
}

void Utf8TextStore::append(std::string_view utf8) { entries_.push_back(store(utf8)); }

std::string Utf8TextStore::at(size_t index) const {
  const Entry& e = entries_[index];
  if (e.length == 0) return {};
  const std::string_view stored = std::string_view(blocks_[e.block]).substr(e.offset, e.length);
  const auto prefix = static_cast<unsigned char>(stored[0]);
  std::string text;
  if (prefix == 0) {
    text.assign(stored.substr(1));
  } else {
    const std::string& p = prefixes_[prefix - 1];
    text.reserve(p.size() + stored.size() - 1);
    text.assign(p);
    text.append(stored.substr(1));
  }
  return text;
}

void Utf8TextStore::set(size_t index, std::string_view utf8) { entries_.at(index) = store(utf8); }

}  // namespace qv::ui
