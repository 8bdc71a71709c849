#include "db/jet/file/journal.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"

namespace qv::jet {
namespace {

constexpr char kMagic[8] = {'Q', 'V', 'J', 'R', 'N', 'L', '0', '2'};
constexpr size_t kHeaderSize = 8 + 16;
constexpr size_t kEntryHead = 12;
constexpr uint32_t kExisted = 1;
// A journal holds the pages of one change to the catalogue: far below this.
constexpr uint64_t kLargestJournal = 1ull << 30;

void put64(uint8_t* p, uint64_t v) {
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint64_t get64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// The journal's contents; false when it is cut short or damaged.
bool parse(const std::vector<uint8_t>& b, Journal& j) {
  if (b.size() < kHeaderSize + 8 || std::memcmp(b.data(), kMagic, 8) != 0) return false;
  const size_t body = b.size() - 8;
  if (fnv1a(b.data(), body) != get64(b.data() + body)) return false;
  j.pageSize = get32(b.data(), 8);
  j.pagesBefore = get32(b.data(), 12);
  j.pagesAfter = get32(b.data(), 16);
  const uint32_t count = get32(b.data(), 20);
  if (j.pageSize == 0 || j.pageSize > 65536) return false;
  size_t at = kHeaderSize;
  for (uint32_t i = 0; i < count; ++i) {
    if (body - at < kEntryHead) return false;
    JournalEntry e;
    e.page = get32(b.data(), at);
    e.existed = (get32(b.data(), at + 4) & kExisted) != 0;
    const uint32_t states = get32(b.data(), at + 8);
    at += kEntryHead;
    if ((body - at) / 8 < states) return false;
    for (uint32_t k = 0; k < states; ++k, at += 8) e.states.push_back(get64(b.data() + at));
    if (e.existed) {
      if (body - at < j.pageSize || e.page >= j.pagesBefore) return false;
      e.before.assign(b.begin() + static_cast<std::ptrdiff_t>(at),
                      b.begin() + static_cast<std::ptrdiff_t>(at + j.pageSize));
      at += j.pageSize;
    } else if (e.page < j.pagesBefore || e.page >= j.pagesAfter) {
      return false;
    }
    j.entries.push_back(std::move(e));
  }
  return at == body;
}

// Whether the database still holds only what the change (or a part of it) left: every
// journaled page as it was or in one of the states the change's writes gave it, a page
// the change added absent or still empty, and no page beyond those the change made.
bool untouchedSince(io::File& db, const Journal& j) {
  const uint64_t size = db.size();
  if (size > static_cast<uint64_t>(std::max(j.pagesAfter, j.pagesBefore)) * j.pageSize) return false;
  std::vector<uint8_t> page(j.pageSize);
  for (const JournalEntry& e : j.entries) {
    const uint64_t offset = static_cast<uint64_t>(e.page) * j.pageSize;
    if (offset + j.pageSize > size) {
      if (e.existed) return false;  // an old page is never cut off by the change
      continue;
    }
    db.readExact(offset, page.data(), page.size());
    const uint64_t h = fnv1a(page.data(), page.size());
    if (std::find(e.states.begin(), e.states.end(), h) != e.states.end()) continue;
    if (e.existed ? page == e.before : std::all_of(page.begin(), page.end(), [](uint8_t x) { return x == 0; }))
      continue;
    return false;
  }
  return true;
}

}  // namespace

std::string journalPath(const std::string& databasePath) { return databasePath + "-journal"; }

uint64_t fnv1a(const uint8_t* data, size_t n, uint64_t seed) {
  uint64_t h = seed;
  for (size_t i = 0; i < n; ++i) {
    h ^= data[i];
    h *= 0x100000001b3ull;
  }
  return h;
}

void writeJournal(io::Env& env, const std::string& path, const Journal& journal) {
  std::vector<uint8_t> b(kHeaderSize);
  std::memcpy(b.data(), kMagic, 8);
  put32(b.data(), 8, journal.pageSize);
  put32(b.data(), 12, journal.pagesBefore);
  put32(b.data(), 16, journal.pagesAfter);
  put32(b.data(), 20, static_cast<uint32_t>(journal.entries.size()));
  for (const JournalEntry& e : journal.entries) {
    size_t at = b.size();
    b.resize(at + kEntryHead + 8 * e.states.size());
    put32(b.data(), at, e.page);
    put32(b.data(), at + 4, e.existed ? kExisted : 0);
    put32(b.data(), at + 8, static_cast<uint32_t>(e.states.size()));
    for (size_t k = 0; k < e.states.size(); ++k) put64(b.data() + at + kEntryHead + 8 * k, e.states[k]);
    if (e.existed) b.insert(b.end(), e.before.begin(), e.before.end());
  }
  size_t at = b.size();
  b.resize(at + 8);
  put64(b.data() + at, fnv1a(b.data(), at));
  std::unique_ptr<io::File> f = env.open(path, io::OpenMode::kCreateTruncate);
  f->writeAt(0, b.data(), b.size());
  f->sync();
}

JournalOutcome recoverJournal(io::Env& env, const std::string& databasePath, io::File& db) {
  const std::string path = journalPath(databasePath);
  if (!env.exists(path)) return JournalOutcome::kNone;
  Journal j;
  bool valid = false;
  {
    std::unique_ptr<io::File> f = env.open(path, io::OpenMode::kRead);
    const uint64_t size = f->size();
    if (size <= kLargestJournal) {
      std::vector<uint8_t> bytes(static_cast<size_t>(size));
      if (!bytes.empty()) f->readExact(0, bytes.data(), bytes.size());
      valid = parse(bytes, j);
    }
  }
  if (!valid || !untouchedSince(db, j)) {
    env.remove(path);
    return JournalOutcome::kDiscarded;
  }
  for (const JournalEntry& e : j.entries)
    if (e.existed) db.writeAt(static_cast<uint64_t>(e.page) * j.pageSize, e.before.data(), e.before.size());
  const uint64_t length = static_cast<uint64_t>(j.pagesBefore) * j.pageSize;
  if (db.size() > length) db.truncate(length);
  db.sync();
  env.remove(path);
  return JournalOutcome::kRolledBack;
}

}  // namespace qv::jet
