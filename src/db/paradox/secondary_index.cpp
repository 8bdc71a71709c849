#include "db/paradox/secondary_index.h"

#include "db/io/error.h"
#include "db/paradox/primary_index.h"

namespace qv::paradox {
namespace {

constexpr uint16_t kDescendingField = 0x8000;
const FieldSlot kShortSlot{0x03, 2};
const FieldSlot kLongSlot{0x04, 4};

[[noreturn]] void foreign(const std::string& path, const std::string& why) {
  throw DbError(kErrFormat, "'" + path + "' belongs to another table: " + why);
}

}  // namespace

SecondaryIndex readSecondaryIndex(const std::string& entryPath, const std::string& treePath, const IndexedTable& table,
                                  io::Env& env) {
  IndexFile file(entryPath, env);
  const IndexFileHeader& x = file.header();
  const IndexFileHeader& t = *table.header;
  const bool named = x.fileType == kFileNamedEntries || x.fileType == kFileNamedEntriesStale;
  if (!named && x.fileType != kFileEntries && x.fileType != kFileEntriesStale)
    file.damaged("it is not a secondary index (file type " + std::to_string(x.fileType) + ")");

  // The fields after the indexed ones: the table's key and the block number, or where a
  // table without key keeps the record.
  std::vector<FieldSlot> tail;
  if (t.keyFields > 0) {
    tail.assign(t.fields.begin(), t.fields.begin() + t.keyFields);
    tail.push_back(kShortSlot);
  } else {
    tail = {kLongSlot, kShortSlot, kShortSlot};
  }
  if (x.fields.size() <= tail.size() ||
      !std::equal(tail.begin(), tail.end(), x.fields.end() - static_cast<std::ptrdiff_t>(tail.size())))
    foreign(entryPath, "the fields after the indexed ones are not the table's key fields");
  const size_t m = x.fields.size() - tail.size();
  if (x.fieldNumbers.size() != x.fields.size()) file.damaged("its field numbers are missing");

  SecondaryIndex out;
  out.file = entryPath;
  bool anyDescending = false;
  for (size_t i = 0; i < m; ++i) {
    const uint16_t number = x.fieldNumbers[i] & static_cast<uint16_t>(~kDescendingField);
    if (number == 0 || number > t.fields.size())
      foreign(entryPath, "it indexes field " + std::to_string(number) + ", which the table does not have");
    if (x.fields[i] != t.fields[number - 1u])
      foreign(entryPath,
              "its field " + std::to_string(i + 1) + " differs from the table's field " + std::to_string(number));
    const bool descending = (x.fieldNumbers[i] & kDescendingField) != 0;
    anyDescending = anyDescending || descending;
    out.fields.push_back({static_cast<uint16_t>(number - 1u), descending});
  }
  if (!named && (m != 1 || x.indexedField != out.fields[0].field + 1u))
    foreign(entryPath, "its header names another field than its entries hold");
  // An index marked descending as a whole, with no field marked, is descending throughout.
  if ((x.flags & kIndexDescending) && !anyDescending)
    for (KeyField& f : out.fields) f.descending = true;
  out.unique = (x.flags & kIndexUnique) != 0;
  out.caseInsensitive = (x.flags & kIndexCaseInsensitive) != 0;
  out.maintained = x.fileType == kFileEntries || x.fileType == kFileNamedEntries;
  out.name = named && !x.indexName.empty() ? x.indexName : t.fieldNames.at(out.fields[0].field);

  const std::vector<BlockCount> entries = chainRecordCounts(file);
  if (out.maintained) {
    uint64_t have = 0, want = 0;
    for (const BlockCount& b : entries) have += b.records;
    for (const BlockCount& b : table.blocks) want += b.records;
    if (have != want)
      file.damaged("it holds " + std::to_string(have) + " entries for the table's " + std::to_string(want) +
                   " records");
  }
  if (treePath.empty())
    throw fileError(kErrNotFound, entryPath,
                    "its tree file (.Y" + entryPath.substr(entryPath.size() - 2) + ") is missing");
  if (x.keyFields == 0 || x.keyFields > x.fields.size())
    file.damaged("impossible key field count " + std::to_string(x.keyFields));
  checkTreeFile(treePath, env, std::vector<FieldSlot>(x.fields.begin(), x.fields.begin() + x.keyFields), entries);
  return out;
}

}  // namespace qv::paradox
