#include "db/jet/sid_check.h"

#include <map>

#include "db/io/error.h"
#include "db/jet/database_impl.h"
#include "db/jet/storage/sid_mask.h"

namespace qv::jet {
namespace {

constexpr size_t kListed = 8;  // SIDs named one by one; the rest are counted

std::string storedAs(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  if (bytes.empty()) return "empty";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < 8; ++i) {
    if (i) out += ' ';
    out += digits[static_cast<uint8_t>(bytes[i]) >> 4];
    out += digits[static_cast<uint8_t>(bytes[i]) & 15];
  }
  if (bytes.size() > 8) out += " ... (" + std::to_string(bytes.size()) + " bytes)";
  return "stored as " + out;
}

class SidCheck {
 public:
  explicit SidCheck(DatabaseImpl& db) : db_(db), mask_(db.sidMask()) {
    // Encrypting an .accdb fills in its password area, which changes the key. Access
    // masks the permission rows again but leaves many owners as they were, under a key
    // that page 0 no longer gives: those are not checked.
    const DatabaseHeader& h = db.header();
    checkOwners_ = h.format == Format::kJet4 || h.encodingKey == 0;
  }

  std::vector<std::string> run() {
    std::map<int32_t, std::string> names;
    for (const CatalogRow& r : db_.catalogRows()) names.emplace(r.id, r.name);
    auto nameOf = [&](int64_t id) {
      auto it = names.find(static_cast<int32_t>(id));
      return it == names.end() ? "object " + std::to_string(id) : "'" + it->second + "'";
    };
    if (checkOwners_)
      scan("MSysObjects", "Owner", "Id", [&](const std::vector<Value>& row, int iSid, int iObject) {
        if (row[static_cast<size_t>(iSid)].isNull()) return;  // Access leaves some owners empty
        const std::string& stored = row[static_cast<size_t>(iSid)].s;
        if (!namesAccount(stored))
          report("MSysObjects: the owner of " + nameOf(row[static_cast<size_t>(iObject)].i) + " (" + storedAs(stored) +
                 ") names no account");
      });
    scan("MSysACEs", "SID", "ObjectId", [&](const std::vector<Value>& row, int iSid, int iObject) {
      const std::string& stored = row[static_cast<size_t>(iSid)].s;
      if (!namesAccount(stored))
        report("MSysACEs: a permission row of " + nameOf(row[static_cast<size_t>(iObject)].i) + " is for a SID (" +
               storedAs(stored) + ") that names no account");
    });
    if (count_ > kListed)
      out_.push_back(std::to_string(count_) + " SIDs in all name no account (" + std::to_string(count_ - kListed) +
                     " not listed)");
    return out_;
  }

 private:
  bool namesAccount(const std::string& stored) const { return accountOf(mask_.unmask(stored)).has_value(); }

  void report(std::string s) {
    if (++count_ <= kListed) out_.push_back(std::move(s));
  }

  template <typename F>
  void scan(const char* table, const char* sidColumn, const char* objectColumn, F&& f) {
    try {
      TableImpl* t = db_.findTable(table, false);
      if (!t) return;
      const int iSid = columnPosition(t->def(), sidColumn), iObject = columnPosition(t->def(), objectColumn);
      if (iSid < 0 || iObject < 0) return;
      auto cursor = t->scan();
      std::vector<Value> row;
      while (cursor->next(row)) f(row, iSid, iObject);
    } catch (const DbError& e) {
      out_.push_back(std::string(table) + ": its SIDs cannot all be read (" + e.what() + ")");
    }
  }

  DatabaseImpl& db_;
  SidMask mask_;
  bool checkOwners_ = true;
  size_t count_ = 0;
  std::vector<std::string> out_;
};

}  // namespace

std::vector<std::string> checkSids(DatabaseImpl& db) {
  if (db.header().format == Format::kJet3) return {};
  return SidCheck(db).run();
}

}  // namespace qv::jet
