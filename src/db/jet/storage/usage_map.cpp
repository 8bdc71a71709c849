#include "db/jet/storage/usage_map.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"

namespace qv::jet {
namespace {

struct MapRow {
  uint32_t page;
  uint32_t start;
  uint32_t length;
};

MapRow locate(Pager& pager, uint32_t pointer, const std::string& what) {
  std::span<const uint8_t> row = rowAt(pager, pointer, what);
  if (row.empty() || (row[0] == 0 && row.size() < 5) || row[0] > 1)
    throw DbError(kErrFormat, what + " is damaged (a usage map is unreadable)");
  const uint8_t* base = pager.read(pageOf(pointer));
  return {pageOf(pointer), static_cast<uint32_t>(row.data() - base), static_cast<uint32_t>(row.size())};
}

uint32_t bitsPerMapPage(const Pager& pager) { return (pager.pageSize() - 4) * 8; }

void putBit(uint8_t* bits, uint32_t k, bool value) {
  if (value) bits[k / 8] |= static_cast<uint8_t>(1u << (k % 8));
  else bits[k / 8] &= static_cast<uint8_t>(~(1u << (k % 8)));
}

// A new bitmap page for the pages of one slot. It says of them what the map said while
// no bitmap page covered them: the file's first `pagesInFile` pages are not marked (the
// global map never calls a page free that it did not list as free); the pages after them
// start as `fill` (free, in the global map), ready for the file to grow.
uint32_t newBitmapPage(Pager& pager, uint32_t slot, bool fill, uint32_t pagesInFile,
                       const std::function<uint32_t()>& allocate) {
  const uint32_t np = allocate();
  uint8_t* p = pager.overwrite(np);
  p[0] = kPageUsageMap;
  p[1] = 1;
  if (fill) {
    const uint32_t per = bitsPerMapPage(pager);
    const uint64_t from = static_cast<uint64_t>(slot) * per;
    const uint64_t have = pagesInFile > from ? std::min<uint64_t>(pagesInFile - from, per) : 0;
    for (uint32_t k = static_cast<uint32_t>(have); k < per; ++k) putBit(p + 4, k, true);
  }
  return np;
}

}  // namespace

std::vector<uint8_t> emptyUsageMapRow(const Layout& layout, uint32_t firstPage) {
  std::vector<uint8_t> row(layout.jet3 ? 5 + 128 : 5 + 64, 0);
  put32(row.data(), 1, firstPage);
  return row;
}

std::vector<uint32_t> readUsageMap(Pager& pager, uint32_t pointer, const std::string& what, uint32_t below) {
  std::vector<uint32_t> pages;
  MapRow m = locate(pager, pointer, what);
  std::vector<uint8_t> row(pager.read(m.page) + m.start, pager.read(m.page) + m.start + m.length);
  if (row[0] == 0) {
    uint32_t first = get32(row.data(), 1);
    for (uint32_t i = 5; i < row.size(); ++i)
      for (uint32_t b = 0; b < 8; ++b)
        if ((row[i] & (1u << b)) && first + (i - 5) * 8 + b < below) pages.push_back(first + (i - 5) * 8 + b);
  } else {
    uint32_t per = bitsPerMapPage(pager);
    for (uint32_t slot = 0; 1 + slot * 4 + 4 <= row.size() && static_cast<uint64_t>(slot) * per < below; ++slot) {
      uint32_t mapPage = get32(row.data(), 1 + slot * 4);
      // Access leaves pointers to bitmap pages a compaction cut off: nothing there.
      if (mapPage == 0 || mapPage >= pager.pageCount()) continue;
      const uint8_t* p = pager.read(mapPage);
      if (p[0] != kPageUsageMap)
        throw DbError(kErrFormat, what + " is damaged (a usage bitmap page has the wrong type)");
      // Only the bytes that cover pages below `below`.
      const uint64_t wanted = (static_cast<uint64_t>(below) - static_cast<uint64_t>(slot) * per + 7) / 8;
      const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(pager.pageSize(), 4 + wanted));
      for (uint32_t i = 4; i < end; ++i) {
        uint64_t word = 0;
        if (i + 8 <= end && (std::memcpy(&word, p + i, 8), word == 0)) {
          i += 7;  // eight bytes with no page marked
          continue;
        }
        if (p[i] == 0) continue;
        for (uint32_t b = 0; b < 8; ++b)
          if ((p[i] & (1u << b)) && slot * per + (i - 4) * 8 + b < below) pages.push_back(slot * per + (i - 4) * 8 + b);
      }
    }
  }
  return pages;
}

void setUsageBit(Pager& pager, uint32_t pointer, uint32_t page, bool value, bool fill,
                 const std::function<uint32_t()>& allocate) {
  MapRow m = locate(pager, pointer, pager.path());
  const uint32_t per = bitsPerMapPage(pager);
  const uint32_t pagesInFile = pager.pageCount();
  const uint8_t* row = pager.read(m.page) + m.start;
  if (row[0] == 0) {
    const uint32_t first = get32(row, 1);
    const uint32_t span = (m.length - 5) * 8;
    if (page >= first && page - first < span) {
      const uint32_t k = page - first;
      putBit(pager.modify(m.page, m.start + 5 + k / 8, 1) + m.start + 5, k, value);
      return;
    }
    // A page outside the window is not in an object's map: nothing to clear.
    if (!fill && !value) return;
    bool empty = true;
    for (uint32_t i = 5; i < m.length && empty; ++i) empty = row[i] == (fill ? 0xFF : 0x00);
    if (empty && value != fill) {
      // Nothing marked yet: move the window so it starts at this page.
      uint8_t* w = pager.modify(m.page, m.start, m.length) + m.start;
      const uint32_t newFirst = page / 8 * 8;
      put32(w, 1, newFirst);
      std::memset(w + 5, fill ? 0xFF : 0x00, m.length - 5);
      putBit(w + 5, page - newFirst, value);
      return;
    }
    // Promote to a reference map: the window's marked pages go into bitmap pages.
    const std::vector<uint8_t> old(row, row + m.length);
    const uint32_t slots = (m.length - 1) / 4;
    if (page / per >= slots || (first + span - 1) / per >= slots)
      throw DbError(kErrGeneric, "'" + pager.path() + "' has grown beyond what its usage maps can describe");
    std::vector<uint32_t> mapPages(slots, 0);
    auto ensure = [&](uint32_t slot) {
      if (mapPages[slot] == 0) mapPages[slot] = newBitmapPage(pager, slot, fill, pagesInFile, allocate);
      return mapPages[slot];
    };
    for (uint32_t k = 0; k < span; ++k) {
      const uint32_t pg = first + k;
      const bool bit = (old[5 + k / 8] >> (k % 8)) & 1;
      if (bit == (fill && pg >= pagesInFile)) continue;  // what a new bitmap page says anyway
      putBit(pager.modify(ensure(pg / per), 0, 0) + 4, pg % per, bit);
    }
    putBit(pager.modify(ensure(page / per), 0, 0) + 4, page % per, value);
    uint8_t* w = pager.modify(m.page, m.start, m.length) + m.start;
    std::memset(w, 0, m.length);
    w[0] = 1;
    for (uint32_t s = 0; s < slots; ++s) put32(w, 1 + s * 4, mapPages[s]);
    return;
  }
  const uint32_t slot = page / per;
  if (1 + slot * 4 + 4 > m.length) {
    if (value == fill) return;
    throw DbError(kErrGeneric, "'" + pager.path() + "' has grown beyond what its usage maps can describe");
  }
  uint32_t mapPage = get32(row, 1 + slot * 4);
  if (mapPage >= pager.pageCount() || (mapPage != 0 && pager.read(mapPage)[0] != kPageUsageMap)) mapPage = 0;
  if (mapPage == 0) {
    if (value == fill) return;
    mapPage = newBitmapPage(pager, slot, fill, pagesInFile, allocate);
    uint8_t* w = pager.modify(m.page, m.start + 1 + slot * 4, 4) + m.start;
    put32(w, 1 + slot * 4, mapPage);
  }
  const uint32_t o = page % per;
  putBit(pager.modify(mapPage, 4 + o / 8, 1) + 4, o, value);
}

}  // namespace qv::jet
