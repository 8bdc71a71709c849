#pragma once
// Usage maps: bitmaps that say which pages an object owns (a table's data pages, a
// long-value column's pages, an index's pages) or, for the global map in row 0 of
// page 1, which pages of the file are free. A map is one row on a data page:
//   type 0 (inline): 00, first page covered (4), bitmap to the end of the row; bit k
//     (least significant bit first) stands for page first + k.
//   type 1 (reference): 01, then 4-byte page numbers of bitmap pages (page type 05:
//     05 01 00 00 then the bitmap); the i-th covers pages i*(pageSize-4)*8 onwards;
//     0 where no page of that range is marked.
// A type 0 map that has to mark a page outside its window is rebased when empty and
// otherwise promoted to type 1 in place (same row length). A page no window or bitmap
// page covers is not marked.
//
// What a set bit means: in the global map, a free page (pages beyond the file's end are
// set, ready for it to grow); in an object's map, a page the object owns. Every table has
// a second map of each kind, its free-space map (its definition points at it, and each
// long value column has one beside its own map): the owned pages that still take rows.
// As Access keeps them, a data page is listed from the step that starts filling it until
// a row does not fit on it; a long value column lists its shared page (long_value.h)
// likewise; a page of a long value chain, or one that a single row fills, is never listed.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "db/jet/file/pager.h"

namespace qv::jet {

// Every page whose bit is set (below `below`), in ascending order. Throws a format error
// naming the file when the map or one of its bitmap pages is damaged.
std::vector<uint32_t> readUsageMap(Pager& pager, uint32_t pointer, const std::string& what,
                                   uint32_t below = UINT32_MAX);

// Sets or clears one page's bit. allocate() supplies a new page for a bitmap page when
// one is needed (the caller marks it used elsewhere); bits of pages that a new bitmap
// page covers start as fill.
void setUsageBit(Pager& pager, uint32_t pointer, uint32_t page, bool value, bool fill,
                 const std::function<uint32_t()>& allocate);

// A new, empty type 0 map row of the length Access uses (5 + 64 bytes, Jet 4).
std::vector<uint8_t> emptyUsageMapRow(const Layout& layout, uint32_t firstPage);

}  // namespace qv::jet
