#pragma once
// The journal of a change that must reach the file whole or not at all (creating or
// dropping a table touches the catalogue, its indexes, the permissions and usage maps:
// a run killed halfway would leave a table half made). Before the change's pages are
// written, the pages as the file holds them go into a journal beside the database
// ("NAME-journal") that is made durable first; once the database is synced the
// journal is removed. A journal found when the database is next opened means the change
// may be half written, and its pages are put back.
//
// The journal file:
//   "QVJRNL02"                      8 bytes
//   page size, page count before,   4 bytes each, little-endian
//   page count after, entries
//   per entry: page number (4), flags (4: 1 = the page existed before), the number of
//   states (4) and per state the FNV-1a hash of the page as the file holds it once a
//   write of the change has reached it (8 each; the last is its final content), then,
//   for a page that existed, its bytes before (page size)
//   FNV-1a hash of everything before it (8)
// A journal whose length or final hash is wrong was cut short while it was written;
// the database was not touched yet, so it is simply removed.
//
// Putting pages back is only right while the database is as the change left it (or
// partly so). Any journaled page that holds neither its old content nor one of its
// states, or a file longer than the change made it, means another program has changed
// the database since (Access repairing it, say): then the journal is stale and is
// removed unused.

#include <cstdint>
#include <string>
#include <vector>

#include "db/io/env.h"

namespace qv::jet {

// The journal's name for a database path.
std::string journalPath(const std::string& databasePath);

// FNV-1a, 64 bits.
uint64_t fnv1a(const uint8_t* data, size_t n, uint64_t seed = 0xcbf29ce484222325ull);

struct JournalEntry {
  uint32_t page = 0;
  bool existed = false;
  std::vector<uint64_t> states;  // hashes of the page after each write to it, in order
  std::vector<uint8_t> before;   // as stored, when the page existed
};

struct Journal {
  uint32_t pageSize = 0;
  uint32_t pagesBefore = 0;
  uint32_t pagesAfter = 0;
  std::vector<JournalEntry> entries;
};

// Writes the journal and makes it durable. Throws DbError naming the journal.
void writeJournal(io::Env& env, const std::string& path, const Journal& journal);

// What recoverJournal found.
enum class JournalOutcome {
  kNone,        // no journal
  kRolledBack,  // a half-written change was taken back
  kDiscarded,   // the journal was cut short or is stale; the database was not touched
};

// Puts back the pages of a journal left beside the database, through db (open for
// writing, its lock held), then syncs the database and removes the journal.
JournalOutcome recoverJournal(io::Env& env, const std::string& databasePath, io::File& db);

}  // namespace qv::jet
