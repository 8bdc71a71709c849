#include "db/jet/sid_places.h"

#include <fstream>
#include <stdexcept>
#include <tuple>

#include "db/jet/base/bytes.h"
#include "db/jet/storage/data_page.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/row_codec.h"
#include "support/temp_dir.h"

namespace qv::test {

using namespace jet;

std::vector<SidPlace> sidPlaces(const std::string& path) {
  OpenOptions o;
  o.readOnly = true;
  auto db = openDatabase(path, o);
  auto& impl = dynamic_cast<DatabaseImpl&>(*db);
  Pager& pager = impl.pager();
  const Layout& l = pager.layout();
  std::vector<SidPlace> out;
  for (const auto& [table, idColumn, sidColumn] :
       {std::tuple{"MSysObjects", "Id", "Owner"}, {"MSysACEs", "ObjectId", "SID"}}) {
    TableImpl& t = impl.systemTable(table);
    const int iId = columnPosition(t.def(), idColumn), iSid = columnPosition(t.def(), sidColumn);
    const ColumnInfo& sid = t.def().columns[static_cast<size_t>(iSid)];
    std::vector<Value> values;
    for (uint32_t page : t.dataPages()) {
      const uint8_t* p = pager.read(page);
      for (uint32_t r = 0; r < dataRowCount(p, l); ++r) {
        std::span<const uint8_t> row;
        if (!liveRow(pager, p, r, &row, table)) continue;
        decodeRow(pager, t.def(), row, values, table);
        const Value& v = values[static_cast<size_t>(iSid)];
        if (v.isNull() || v.s.empty()) continue;
        // The variable columns' offsets run backwards from before the count and null mask.
        const size_t mask = (get16(row.data(), 0) + 7u) / 8u;
        const size_t entry = row.size() - mask - 2 - 2 * (sid.varIndex + 1u);
        const size_t start = get16(row.data(), entry);
        if (start + v.s.size() > row.size() || std::string(row.begin() + static_cast<long>(start),
                                                           row.begin() + static_cast<long>(start + v.s.size())) != v.s)
          throw std::runtime_error(path + ": a SID of " + table + " is not where its row says");
        out.push_back({std::string(table) == "MSysObjects", values[static_cast<size_t>(iId)].i, v.s,
                       static_cast<size_t>(page) * l.pageSize + static_cast<size_t>(row.data() - p) + start});
      }
    }
  }
  return out;
}

void remaskSids(const std::string& path, const SidMask& from) {
  const std::string raw = fileBytes(path);
  const SidMask to =
      SidMask::fromStoredPage0(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(raw.data()), 4096));
  const std::vector<SidPlace> places = sidPlaces(path);
  std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
  for (const SidPlace& s : places) {
    const std::string again = to.mask(from.unmask(s.stored));
    f.seekp(static_cast<std::streamoff>(s.offset));
    f.write(again.data(), static_cast<std::streamsize>(again.size()));
  }
}

}  // namespace qv::test
