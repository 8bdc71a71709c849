#include "db/jet/storage/index_tree.h"

#include <algorithm>
#include <cstring>

#include "db/io/error.h"
#include "db/jet/base/bytes.h"

namespace qv::jet {
namespace {

struct Offsets {
  uint32_t prev, next, tail, prefix, mask, data;
};

Offsets offsetsFor(const Layout& l) {
  if (l.jet3) return {0x08, 0x0C, 0x10, 0x14, 0x16, 0xF8};
  return {0x0C, 0x10, 0x14, 0x18, 0x1B, 0x1E0};
}

// The bytes every entry of a leaf shares at its start, which the page stores once.
size_t commonPrefix(const IndexPage& page) {
  if (!page.leaf || page.entries.size() < 2) return 0;
  const IndexEntryBytes& a = page.entries.front();
  const IndexEntryBytes& b = page.entries.back();
  size_t n = 0, limit = std::min(a.size(), b.size());
  for (const IndexEntryBytes& e : page.entries) limit = std::min(limit, e.size());
  if (limit > 0) --limit;  // every entry keeps at least one byte of its own
  while (n < limit && a[n] == b[n]) ++n;
  return n;
}

size_t entryBytes(const IndexPage& page, size_t prefix) {
  size_t total = 0;
  for (const IndexEntryBytes& e : page.entries) total += e.size();
  if (!page.entries.empty()) total -= prefix * (page.entries.size() - 1);
  return total;
}

// The prefix a page is written with. Like Access, a leaf stores its entries whole while
// they fit so, and only a leaf that would not fit shares their common prefix; nodes
// never do.
size_t sharedPrefix(const IndexPage& page, size_t area) {
  if (entryBytes(page, 0) <= area) return 0;
  return commonPrefix(page);
}

void putBigEndian32(IndexEntryBytes& e, uint32_t v) {
  for (int k = 3; k >= 0; --k) e.push_back(static_cast<uint8_t>(v >> (8 * k)));
}

// The largest entry we add: small enough that any page split leaves two halves that fit.
constexpr size_t kMaxEntry = 800;

// Decoded pages kept at most (about 40 MB of a big index's pages); beyond, they start over.
constexpr size_t kMaxDecodedPages = 4096;

}  // namespace

uint32_t nodeChild(const IndexEntryBytes& e) {
  size_t n = e.size();
  return (static_cast<uint32_t>(e[n - 4]) << 24) | (static_cast<uint32_t>(e[n - 3]) << 16) |
         (static_cast<uint32_t>(e[n - 2]) << 8) | e[n - 1];
}

std::optional<IndexPage> readIndexPage(const uint8_t* p, const Layout& l) {
  if (p[0] != kPageIndexLeaf && p[0] != kPageIndexNode) return std::nullopt;
  const Offsets o = offsetsFor(l);
  IndexPage page;
  page.leaf = p[0] == kPageIndexLeaf;
  page.prev = get32(p, o.prev);
  page.next = get32(p, o.next);
  page.tail = get32(p, o.tail);
  const size_t prefix = get16(p, o.prefix);
  const size_t area = l.pageSize - o.data;
  const size_t minimum = page.leaf ? 4 : 8;
  size_t start = 0;
  for (size_t bit = 0; bit < (o.data - o.mask) * 8; ++bit) {
    if (!((p[o.mask + bit / 8] >> (bit % 8)) & 1)) continue;
    if (bit > area || bit <= start) return std::nullopt;
    IndexEntryBytes e;
    if (!page.entries.empty()) {
      if (prefix > page.entries.front().size()) return std::nullopt;
      e.assign(page.entries.front().begin(), page.entries.front().begin() + static_cast<long>(prefix));
    }
    e.insert(e.end(), p + o.data + start, p + o.data + bit);
    if (e.size() < minimum) return std::nullopt;
    page.entries.push_back(std::move(e));
    start = bit;
  }
  return page;
}

bool writeIndexPage(uint8_t* out, const Layout& l, uint32_t tableDefPage, const IndexPage& page) {
  const Offsets o = offsetsFor(l);
  const size_t prefix = sharedPrefix(page, l.pageSize - o.data);
  const size_t used = entryBytes(page, prefix);
  if (used > l.pageSize - o.data) return false;
  std::memset(out, 0, l.pageSize);
  out[0] = page.leaf ? kPageIndexLeaf : kPageIndexNode;
  out[1] = 0x01;
  if (!page.leaf && !l.jet3) out[0x1A] = 0x01;  // Access marks every node page so
  put16(out, 2, static_cast<uint32_t>(l.pageSize - o.data - used));
  put32(out, 4, tableDefPage);
  put32(out, o.prev, page.prev);
  put32(out, o.next, page.next);
  put32(out, o.tail, page.tail);
  put16(out, o.prefix, static_cast<uint32_t>(prefix));
  size_t at = 0;
  for (size_t k = 0; k < page.entries.size(); ++k) {
    const IndexEntryBytes& e = page.entries[k];
    size_t skip = k == 0 ? 0 : prefix;
    std::memcpy(out + o.data + at, e.data() + skip, e.size() - skip);
    at += e.size() - skip;
    out[o.mask + at / 8] = static_cast<uint8_t>(out[o.mask + at / 8] | (1u << (at % 8)));
  }
  return true;
}

IndexTree::IndexTree(Pager& pager, uint32_t tableDefPage, uint32_t rootPage, std::string what,
                     std::function<uint32_t()> allocate, std::function<void(uint32_t)> release,
                     DecodedIndexPages* decoded)
    : pager_(pager),
      tableDefPage_(tableDefPage),
      root_(rootPage),
      what_(std::move(what)),
      allocate_(std::move(allocate)),
      release_(std::move(release)),
      decoded_(decoded) {}

IndexPage& IndexTree::load(uint32_t page) {
  if (decoded_) {
    auto it = decoded_->find(page);
    if (it != decoded_->end()) return it->second;
  }
  if (page == 0 || page >= pager_.pageCount())
    throw DbError(kErrFormat, what_ + " is damaged (an index names page " + std::to_string(page) + ")");
  std::optional<IndexPage> p = readIndexPage(pager_.read(page), pager_.layout());
  if (!p) throw DbError(kErrFormat, what_ + " is damaged (index page " + std::to_string(page) + " is unreadable)");
  if (!decoded_) {
    loaded_ = std::move(*p);
    return loaded_;
  }
  if (decoded_->size() >= kMaxDecodedPages) decoded_->clear();
  return decoded_->emplace(page, std::move(*p)).first->second;
}

std::vector<IndexTree::Child> IndexTree::childrenOf(const IndexPage& node) {
  std::vector<Child> out;
  for (const IndexEntryBytes& e : node.entries) out.push_back({IndexEntryBytes(e.begin(), e.end() - 4), nodeChild(e)});
  if (node.tail != 0) out.push_back({std::nullopt, node.tail});
  return out;
}

IndexEntryBytes IndexTree::subtreeLast(uint32_t page) {
  for (int depth = 0; depth < 32; ++depth) {
    const IndexPage& p = load(page);
    if (p.leaf) {
      if (p.entries.empty()) break;
      return p.entries.back();
    }
    if (p.tail != 0) page = p.tail;
    else if (!p.entries.empty()) page = nodeChild(p.entries.back());
    else break;
  }
  throw DbError(kErrFormat, what_ + " is damaged (an index subtree is empty or too deep)");
}

IndexPage IndexTree::nodeFrom(const std::vector<Child>& children) {
  IndexPage node;
  node.leaf = false;
  size_t explicitCount = children.size() == 1 ? 1 : children.size() - 1;
  for (size_t i = 0; i < explicitCount; ++i) {
    IndexEntryBytes e = children[i].last ? *children[i].last : subtreeLast(children[i].page);
    putBigEndian32(e, children[i].page);
    node.entries.push_back(std::move(e));
  }
  if (children.size() > 1) node.tail = children.back().page;
  return node;
}

bool IndexTree::fits(const IndexPage& page) const {
  const Offsets o = offsetsFor(pager_.layout());
  const size_t area = pager_.pageSize() - o.data;
  return entryBytes(page, sharedPrefix(page, area)) <= area;
}

size_t IndexTree::splitPoint(const std::vector<size_t>& sizes) const {
  // Split by bytes, not by count: entries differ in length, and each half must fit its page.
  // Half the bytes on each side always fits, since no entry is larger than kMaxEntry; the
  // clamp keeps one entry at least in each half, as a node must point at something.
  size_t total = 0;
  for (size_t s : sizes) total += s;
  size_t sum = 0, m = 0;
  while (m + 1 < sizes.size() && sum + sizes[m] <= total / 2) sum += sizes[m++];
  return std::clamp<size_t>(m, 1, sizes.size() - 1);
}

void IndexTree::store(uint32_t page, IndexPage content, bool fresh) {
  if (!fresh && decoded_) {
    // A node rewritten as it stands (its changed child is one whose key it does not
    // keep) needs no write.
    auto it = decoded_->find(page);
    if (it != decoded_->end() && it->second == content) return;
  }
  encoded_.resize(pager_.pageSize());
  if (!writeIndexPage(encoded_.data(), pager_.layout(), tableDefPage_, content))
    throw DbError(kErrGeneric, what_ + ": an index page overflowed");
  uint8_t* dst = fresh ? pager_.overwrite(page) : pager_.modify(page, 0, pager_.pageSize());
  std::memcpy(dst, encoded_.data(), encoded_.size());
  if (decoded_) decoded_->insert_or_assign(page, std::move(content));
}

std::vector<IndexTree::Level> IndexTree::descend(const IndexEntryBytes& entry, IndexPage* leaf, uint32_t* leafPage) {
  std::vector<Level> path;
  uint32_t page = root_;
  for (int depth = 0; depth < 32; ++depth) {
    IndexPage& p = load(page);
    if (p.leaf) {
      // The caller changes the leaf and stores it back: it leaves decoded_ until then.
      *leaf = std::move(p);
      if (decoded_) decoded_->erase(page);
      *leafPage = page;
      return path;
    }
    const size_t count = p.entries.size() + (p.tail != 0 ? 1 : 0);
    if (count == 0) throw DbError(kErrFormat, what_ + " is damaged (index node " + std::to_string(page) + " is empty)");
    // The first child whose last key is at or after the entry, else the last child (the
    // tail child, whose key the node does not keep, when it has one). Its children are
    // listed only if the change goes up to this node (propagate()).
    size_t at = count - 1;
    for (size_t i = 0; i < p.entries.size(); ++i) {
      const IndexEntryBytes& e = p.entries[i];
      if (!std::lexicographical_compare(e.begin(), e.end() - 4, entry.begin(), entry.end())) {
        at = i;
        break;
      }
    }
    const uint32_t child = at < p.entries.size() ? nodeChild(p.entries[at]) : p.tail;
    path.push_back({page, p.prev, p.next, {}, at});
    page = child;
  }
  throw DbError(kErrFormat, what_ + " is damaged (an index is too deep)");
}

void IndexTree::propagate(std::vector<Level>& path, std::vector<Child> replacement, bool lastChanged) {
  // Climbs from the leaf's parent to the root. At each level the child that changed is
  // replaced by `replacement` (none: it went; two: it split). A parent's entry for a child
  // holds the child's last key, so the climb goes on only while a node split or its last
  // key changed; a node that still fits and keeps its last key ends it.
  for (size_t level = path.size(); level-- > 0;) {
    Level& lv = path[level];
    // The node is as descend() found it: the levels below change only it and other pages.
    if (lv.children.empty()) lv.children = childrenOf(load(lv.page));
    std::vector<Child>& ch = lv.children;
    const bool wasLast = lv.at + 1 == ch.size();
    ch.erase(ch.begin() + static_cast<long>(lv.at));
    ch.insert(ch.begin() + static_cast<long>(lv.at), replacement.begin(), replacement.end());
    const bool nodeLastChanged = wasLast && (lastChanged || replacement.empty());
    if (ch.empty()) {
      if (level == 0) {
        store(lv.page, IndexPage{}, false);  // the root becomes an empty leaf
        return;
      }
      if (lv.prev != 0) relink(lv.prev, true, lv.next);
      if (lv.next != 0) relink(lv.next, false, lv.prev);
      if (decoded_) decoded_->erase(lv.page);
      release_(lv.page);
      replacement.clear();
      lastChanged = true;
      continue;
    }
    IndexPage node = nodeFrom(ch);
    node.prev = lv.prev;
    node.next = lv.next;
    if (fits(node)) {
      store(lv.page, std::move(node), false);
      if (!nodeLastChanged) return;
      replacement = {{ch.back().last, lv.page}};
      lastChanged = true;
      continue;
    }
    std::vector<size_t> sizes;
    sizes.reserve(ch.size());
    for (const Child& c : ch) sizes.push_back((c.last ? c.last->size() : 0) + 4);
    size_t m = splitPoint(sizes);
    std::vector<Child> left(ch.begin(), ch.begin() + static_cast<long>(m));
    std::vector<Child> right(ch.begin() + static_cast<long>(m), ch.end());
    // Children that are nodes are chained only under one parent: the halves part them.
    auto separate = [&] {
      if (pager_.read(left.back().page)[0] != kPageIndexNode) return;
      relink(left.back().page, true, 0);
      relink(right.front().page, false, 0);
    };
    if (level == 0) {
      uint32_t a = allocate_(), b = allocate_();
      IndexPage na = nodeFrom(left), nb = nodeFrom(right);
      na.next = b;
      nb.prev = a;
      store(a, na, true);
      store(b, nb, true);
      separate();
      store(lv.page, nodeFrom({{left.back().last, a}, {std::nullopt, b}}), false);
      return;
    }
    uint32_t r = allocate_();
    IndexPage nl = nodeFrom(left), nr = nodeFrom(right);
    nl.prev = lv.prev;
    nl.next = r;
    nr.prev = lv.page;
    nr.next = lv.next;
    store(r, nr, true);
    store(lv.page, nl, false);
    if (lv.next != 0) relink(lv.next, false, r);
    separate();
    replacement = {{left.back().last, lv.page}, {right.back().last, r}};
    lastChanged = nodeLastChanged;
  }
}

void IndexTree::relink(uint32_t page, bool next, uint32_t to) {
  IndexPage p = load(page);
  (next ? p.next : p.prev) = to;
  store(page, std::move(p), false);
}

bool IndexTree::keyShared(const IndexPage& leaf, size_t pos, const IndexEntryBytes& entry) {
  auto same = [&](const IndexEntryBytes& other) {
    return other.size() == entry.size() && std::equal(entry.begin(), entry.end() - 4, other.begin());
  };
  if (pos > 0) {
    if (same(leaf.entries[pos - 1])) return true;
  } else if (leaf.prev != 0) {
    const IndexPage& before = load(leaf.prev);
    if (!before.entries.empty() && same(before.entries.back())) return true;
  }
  if (pos < leaf.entries.size()) {
    if (same(leaf.entries[pos])) return true;
  } else if (leaf.next != 0) {
    const IndexPage& after = load(leaf.next);
    if (!after.entries.empty() && same(after.entries.front())) return true;
  }
  return false;
}

bool IndexTree::insert(const IndexEntryBytes& entry, bool unique) {
  if (entry.size() > kMaxEntry) throw DbError(kErrGeneric, what_ + ": an index key is too long");
  IndexPage leaf;
  uint32_t lp = 0;
  std::vector<Level> path = descend(entry, &leaf, &lp);
  auto pos = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry);
  if (pos != leaf.entries.end() && *pos == entry) throw DbError(kErrGeneric, what_ + ": an index entry exists twice");
  const bool last = pos == leaf.entries.end();
  const bool newKey = !keyShared(leaf, static_cast<size_t>(pos - leaf.entries.begin()), entry);
  if (unique && !newKey)
    throw DbError(kErrSql,
                  "The changes you requested to the table were not successful because they would create "
                  "duplicate values in the index, primary key, or relationship.");
  leaf.entries.insert(pos, entry);
  if (fits(leaf)) {
    std::optional<IndexEntryBytes> up;
    if (last) up = leaf.entries.back();
    store(lp, std::move(leaf), false);
    if (up) propagate(path, {{std::move(*up), lp}}, true);
    return newKey;
  }
  std::vector<size_t> sizes;
  for (const IndexEntryBytes& e : leaf.entries) sizes.push_back(e.size());
  size_t m = splitPoint(sizes);
  IndexPage left, right;
  left.entries.assign(leaf.entries.begin(), leaf.entries.begin() + static_cast<long>(m));
  right.entries.assign(leaf.entries.begin() + static_cast<long>(m), leaf.entries.end());
  if (path.empty()) {
    // The root leaf splits: its halves move to two new leaves, the root becomes a node.
    // The root keeps its page because the table definition points at it; the new leaves
    // are complete before the root, written after them, points at them.
    uint32_t a = allocate_(), b = allocate_();
    left.next = b;
    right.prev = a;
    store(a, left, true);
    store(b, right, true);
    store(lp, nodeFrom({{left.entries.back(), a}, {std::nullopt, b}}), false);
    return newKey;
  }
  // The left half stays on the leaf's page, so the parent's entry for it still leads to
  // it (with a new last key); the right half goes to a new page. The new page is stored
  // first, then the pages that point at it (the left half, the next leaf, the parent):
  // the pager writes changes in that order, and a crash between two writes never leaves
  // a pointer to a page not yet written.
  uint32_t r = allocate_();
  right.prev = lp;
  right.next = leaf.next;
  left.prev = leaf.prev;
  left.next = r;
  store(r, right, true);
  store(lp, left, false);
  if (right.next != 0) {
    IndexPage after = load(right.next);
    after.prev = r;
    store(right.next, after, false);
  }
  propagate(path, {{left.entries.back(), lp}, {right.entries.back(), r}}, last);
  return newKey;
}

bool IndexTree::remove(const IndexEntryBytes& entry, bool* keyGone) {
  IndexPage leaf;
  uint32_t lp = 0;
  std::vector<Level> path = descend(entry, &leaf, &lp);
  auto pos = std::lower_bound(leaf.entries.begin(), leaf.entries.end(), entry);
  if (pos == leaf.entries.end() || *pos != entry) return false;
  const bool last = pos + 1 == leaf.entries.end();
  size_t at = static_cast<size_t>(pos - leaf.entries.begin());
  leaf.entries.erase(pos);
  if (keyGone) *keyGone = !keyShared(leaf, at, entry);
  if (leaf.entries.empty() && !path.empty()) {
    if (leaf.prev != 0) {
      IndexPage before = load(leaf.prev);
      before.next = leaf.next;
      store(leaf.prev, before, false);
    }
    if (leaf.next != 0) {
      IndexPage after = load(leaf.next);
      after.prev = leaf.prev;
      store(leaf.next, after, false);
    }
    if (decoded_) decoded_->erase(lp);
    release_(lp);
    propagate(path, {}, true);
    return true;
  }
  store(lp, leaf, false);
  if (last && !path.empty()) propagate(path, {{leaf.entries.back(), lp}}, true);
  return true;
}

bool IndexTree::contains(const IndexEntryBytes& entry) {
  IndexPage leaf;
  uint32_t lp = 0;
  descend(entry, &leaf, &lp);
  return std::binary_search(leaf.entries.begin(), leaf.entries.end(), entry);
}

}  // namespace qv::jet
