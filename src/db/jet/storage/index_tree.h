#pragma once
// Index pages: the B-trees behind a table's indexes. Type 04 pages are leaves, type 03
// pages are nodes. Jet 4 offsets (Jet 3 in brackets, read only):
//   00 type, 01 01, 02 free bytes (2), 04 table definition page (4), [Jet 4: 08 unused
//   (4)], 0C [08] previous leaf, 10 [0C] next leaf, 14 [10] tail child (4 each),
//   18 [14] length of the prefix all entries share (2; Access writes 0 unless the
//   entries would not fit whole), 1A 01 on a node page, 00 on a leaf (1),
//   1B [16] a bitmap with one bit per byte of the entry area: bit k set when an entry
//   ends k bytes into it (that is, where the next begins), 1E0 [F8] the entries.
// The first entry is stored whole; every later one without the shared prefix.
// A leaf entry is an index key (index_key.h) and the row pointer (3-byte big-endian
// page, 1-byte row); entries sort by these bytes, unsigned. Leaves are chained through
// previous/next in key order. A node entry is the last leaf entry of a child's subtree
// followed by the child's page (4 bytes, big-endian); a node with several children keeps
// the last child out of its entries and names it as its tail child instead, so that
// child's key is never stored at that level. The root stays on the page the table
// definition names: when it splits, its content moves to two new pages below it. Node
// pages are chained through previous/next too, but only among children of one parent.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/jet/file/format.h"
#include "db/jet/file/pager.h"

namespace qv::jet {

using IndexEntryBytes = std::vector<uint8_t>;

struct IndexPage {
  bool leaf = true;
  uint32_t prev = 0, next = 0, tail = 0;
  std::vector<IndexEntryBytes> entries;  // prefix restored
  bool operator==(const IndexPage&) const = default;
};

// Index pages as decoded, by page number, kept while one change adds a run of entries so
// each page is decoded once rather than once an entry. Valid only while the change lasts:
// whoever holds it drops it when the change ends or fails.
using DecodedIndexPages = std::unordered_map<uint32_t, IndexPage>;

// Decodes an index page; nullopt when it is malformed.
std::optional<IndexPage> readIndexPage(const uint8_t* page, const Layout& layout);
// Encodes a page (Jet 4 layout) into a whole page buffer; false when the entries do not fit.
bool writeIndexPage(uint8_t* out, const Layout& layout, uint32_t tableDefPage, const IndexPage& page);
// The child a node entry points to.
uint32_t nodeChild(const IndexEntryBytes& entry);

// Changes one index's B-tree. Pages come from allocate() and go back through release();
// both keep the index's usage map.
class IndexTree {
 public:
  IndexTree(Pager& pager, uint32_t tableDefPage, uint32_t rootPage, std::string what,
            std::function<uint32_t()> allocate, std::function<void(uint32_t)> release,
            DecodedIndexPages* decoded = nullptr);

  // Adds a leaf entry (key + row pointer); true when no other entry has its key. With
  // unique set, an entry whose key is there already is refused (DbError, nothing changed).
  bool insert(const IndexEntryBytes& entry, bool unique = false);
  // Removes a leaf entry; false when it is not there. keyGone tells whether no other
  // entry has its key any more.
  bool remove(const IndexEntryBytes& entry, bool* keyGone = nullptr);
  // Whether a lookup by key finds the entry.
  bool contains(const IndexEntryBytes& entry);

 private:
  struct Child {
    std::optional<IndexEntryBytes> last;  // unknown for a tail child
    uint32_t page = 0;
  };
  struct Level {
    uint32_t page;
    uint32_t prev, next;          // siblings under the same parent
    std::vector<Child> children;  // listed only once propagate() reaches the node
    size_t at;                    // the child the path follows
  };
  // The page as decoded (from decoded_ when it is there); valid until the next load().
  IndexPage& load(uint32_t page);
  std::vector<Child> childrenOf(const IndexPage& node);
  IndexPage nodeFrom(const std::vector<Child>& children);
  IndexEntryBytes subtreeLast(uint32_t page);
  // Descends from the root to the leaf where entry belongs.
  std::vector<Level> descend(const IndexEntryBytes& entry, IndexPage* leaf, uint32_t* leafPage);
  void store(uint32_t page, IndexPage content, bool fresh);
  // Sets a page's previous or next link (0 cuts it).
  void relink(uint32_t page, bool next, uint32_t to);
  // Whether a neighbour of leaf position pos (before it, or at it) has the same key.
  bool keyShared(const IndexPage& leaf, size_t pos, const IndexEntryBytes& entry);
  bool fits(const IndexPage& page) const;
  size_t splitPoint(const std::vector<size_t>& sizes) const;
  // Hands the changed child at path[level].at up the tree: its replacement pages
  // (none when it became empty) and whether its last entry changed.
  void propagate(std::vector<Level>& path, std::vector<Child> replacement, bool lastChanged);

  Pager& pager_;
  uint32_t tableDefPage_;
  uint32_t root_;
  std::string what_;
  std::function<uint32_t()> allocate_;
  std::function<void(uint32_t)> release_;
  DecodedIndexPages* decoded_;
  IndexPage loaded_;              // the page load() decoded last, without decoded_
  std::vector<uint8_t> encoded_;  // a page as store() writes it
};

}  // namespace qv::jet
