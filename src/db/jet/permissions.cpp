// The owner and permission rows of a new table (permissions.h), read from and written
// to MSysACEs with the file's SID mask.

#include "db/jet/permissions.h"

#include <algorithm>

#include "db/jet/database_impl.h"
#include "db/jet/storage/sid_mask.h"

namespace qv::jet {
namespace {

// The rights the engine's Tables container grants in a database it makes.
constexpr int32_t kEngineCreatorRights = 983294;
constexpr int32_t kEngineUsersRights = 1048319;

}  // namespace

std::vector<Ace> rightsOfNewObject(const std::vector<Ace>& container, const std::string& creator, bool defaults) {
  std::vector<Ace> out;
  auto grant = [&](const std::string& sid, int32_t rights) {
    auto it = std::find_if(out.begin(), out.end(), [&](const Ace& a) { return a.sid == sid; });
    if (it == out.end()) out.push_back({sid, rights, false});
    else it->rights |= rights;
  };
  for (const Ace& a : container) {
    if (!a.inheritable || !accountOf(a.sid)) continue;
    grant(a.sid == sid::kCreator ? creator : a.sid, a.rights);
  }
  if (out.empty() && defaults) {
    grant(creator, kEngineCreatorRights);
    grant(sid::kUsersGroup, kEngineUsersRights);
  }
  return out;
}

SidMask DatabaseImpl::sidMask() {
  return SidMask::fromStoredPage0(std::span<const uint8_t>(pager_->read(0), pager_->pageSize()));
}

std::string DatabaseImpl::ownerSid(bool system) { return sidMask().mask(system ? sid::kEngine : sid::kAdminUser); }

void DatabaseImpl::copyPermissions(int32_t objectId, bool system) {
  TableImpl* aces = findTable("MSysACEs", false);
  if (!aces) return;
  const TableDef& def = aces->def();
  const int iObject = columnPosition(def, "ObjectId"), iSid = columnPosition(def, "SID"),
            iAcm = columnPosition(def, "ACM"), iInherit = columnPosition(def, "FInheritable");
  if (iObject < 0 || iSid < 0 || iAcm < 0 || iInherit < 0) return;
  const SidMask mask = sidMask();
  std::vector<Ace> container;
  auto cursor = aces->scan();
  std::vector<Value> row;
  while (cursor->next(row)) {
    if (row[static_cast<size_t>(iObject)].i != tablesContainerId_) continue;
    container.push_back({mask.unmask(row[static_cast<size_t>(iSid)].s),
                         static_cast<int32_t>(row[static_cast<size_t>(iAcm)].i), row[static_cast<size_t>(iInherit)].b});
  }
  // What is created here runs as the Admin user, as Access does without a workgroup login.
  for (const Ace& a : rightsOfNewObject(container, sid::kAdminUser, !system)) {
    std::vector<Value> out(def.columns.size());
    out[static_cast<size_t>(iObject)] = Value::integer(objectId);
    out[static_cast<size_t>(iSid)] = Value::binary(mask.mask(a.sid));
    out[static_cast<size_t>(iAcm)] = Value::integer(a.rights);
    out[static_cast<size_t>(iInherit)] = Value::boolean(false);
    aces->insertRow(out);
  }
}

}  // namespace qv::jet
