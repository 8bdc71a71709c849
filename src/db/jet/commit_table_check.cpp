#include <string>

#include "db/jet/database_impl.h"
#include "db/jet/layout_checks.h"

namespace qv::jet {

void checkCommitTable(DatabaseImpl& db, std::vector<std::string>& problems) {
  Pager& pager = db.pager();
  if (pager.layout().jet3) return;
  const std::vector<uint32_t> busy = busyCommitSlots(std::span<const uint8_t>(pager.read(0), pager.pageSize()));
  if (busy.empty()) return;
  if (busy.size() >= 255) {
    problems.push_back(
        "page 0's commit-byte table (0xE00-0xFFF) lacks its idle pattern (00 01 in every slot): Access "
        "takes the database for one left in the middle of a change and offers to repair it");
    return;
  }
  std::string slots;
  for (size_t i = 0; i < busy.size() && i < 8; ++i) slots += (i ? ", " : "") + std::to_string(busy[i]);
  if (busy.size() > 8) slots += ", ...";
  problems.push_back("page 0's commit-byte table is not idle: " + std::to_string(busy.size()) +
                     (busy.size() == 1 ? " slot (" : " slots (") + slots +
                     ") mark a change in progress; unless a program has the database open, Access takes it for one "
                     "left in the middle of a change and offers to repair it");
}

}  // namespace qv::jet
