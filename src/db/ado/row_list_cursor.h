#pragma once
// A cursor over rows already held in memory: schema listings, the in-memory store and
// the Access provider's query results hand their rows out through it.

#include <utility>
#include <vector>

#include "db/ado/driver.h"

namespace qv::ado {

class RowListCursor final : public Cursor {
 public:
  RowListCursor(std::vector<FieldInfo> fields, std::vector<std::vector<Value>> rows)
      : fields_(std::move(fields)), rows_(std::move(rows)) {}
  const std::vector<FieldInfo>& fields() const override { return fields_; }
  long recordCount() override { return static_cast<long>(rows_.size()); }
  // Each row is handed out once, so it is moved rather than copied.
  bool fetch(std::vector<Value>& row) override {
    if (next_ >= rows_.size()) return false;
    row = std::move(rows_[next_++]);
    return true;
  }

 private:
  std::vector<FieldInfo> fields_;
  std::vector<std::vector<Value>> rows_;
  size_t next_ = 0;
};

}  // namespace qv::ado
