#include "db/paradox/primary_index.h"

#include <map>

#include "db/io/error.h"

namespace qv::paradox {
namespace {

// The largest number of levels we follow; Paradox's trees stay far below it.
constexpr int kMaxLevels = 16;

class TreeWalk {
 public:
  TreeWalk(IndexFile& file, const std::vector<BlockCount>& dataBlocks) : file_(file) {
    for (const BlockCount& b : dataBlocks) expected_[b.block] = b.records;
    visited_.assign(file.blocksInFile() + 1u, false);
  }

  // Walks the subtree at block (on the given level, 1 = the last); returns its count.
  uint64_t walk(uint32_t block, int level) {
    if (block == 0 || block >= visited_.size())
      file_.damaged("its tree refers to block " + std::to_string(block) + ", which it does not hold");
    if (visited_[block]) file_.damaged("its tree reaches block " + std::to_string(block) + " twice");
    visited_[block] = true;
    std::vector<uint8_t> data;
    const uint32_t entries = file_.readBlock(block, data);
    const IndexFileHeader& h = file_.header();
    const uint32_t keyBytes = h.recordSize - 6u;
    uint64_t total = 0;
    for (uint32_t i = 0; i < entries; ++i) {
      const uint8_t* e = data.data() + 6 + size_t{i} * h.recordSize + keyBytes;
      const uint32_t child = entryNumber(e);
      const uint32_t count = entryNumber(e + 2);
      if (level > 1) {
        const uint64_t below = walk(child, level - 1);
        if (below != count)
          file_.damaged("block " + std::to_string(block) + " counts " + std::to_string(count) +
                        " records below block " + std::to_string(child) + ", which holds " + std::to_string(below));
      } else {
        auto it = expected_.find(child);
        if (it == expected_.end())
          file_.damaged("it refers to data block " + std::to_string(child) + ", which the indexed file does not use");
        if (it->second != count)
          file_.damaged("it counts " + std::to_string(count) + " records in data block " + std::to_string(child) +
                        ", which holds " + std::to_string(it->second));
        if (reached_.count(child)) file_.damaged("it refers to data block " + std::to_string(child) + " twice");
        reached_[child] = true;
      }
      total += count;
    }
    return total;
  }

  // Data blocks holding records that the tree never reached.
  uint32_t missed() const {
    uint32_t n = 0;
    for (const auto& [block, records] : expected_)
      if (records > 0 && !reached_.count(block)) ++n;
    return n;
  }

 private:
  IndexFile& file_;
  std::map<uint32_t, uint32_t> expected_;
  std::map<uint32_t, bool> reached_;
  std::vector<bool> visited_;
};

}  // namespace

void checkTreeFile(const std::string& path, io::Env& env, const std::vector<FieldSlot>& keyFields,
                   const std::vector<BlockCount>& dataBlocks) {
  IndexFile file(path, env);
  const IndexFileHeader& h = file.header();
  if (!h.treeFile()) file.damaged("it is not a primary index (file type " + std::to_string(h.fileType) + ")");
  if (h.fields != keyFields)
    throw DbError(kErrFormat, "'" + path + "' belongs to another table: its key fields differ from the table's");
  uint64_t records = 0;
  for (const BlockCount& b : dataBlocks) records += b.records;
  if (records == 0 && (h.fileBlocks == 0 || h.levels == 0)) return;  // an empty table's empty tree
  if (h.levels == 0 || h.levels > kMaxLevels)
    file.damaged("impossible number of index levels " + std::to_string(h.levels));
  TreeWalk walk(file, dataBlocks);
  const uint64_t counted = walk.walk(h.rootBlock, h.levels);
  if (counted != records)
    file.damaged("its tree counts " + std::to_string(counted) + " records but the indexed file holds " +
                 std::to_string(records));
  if (uint32_t missed = walk.missed(); missed > 0)
    file.damaged("its tree misses " + std::to_string(missed) + " data blocks of the indexed file");
}

}  // namespace qv::paradox
