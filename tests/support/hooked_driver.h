#pragma once
// A driver that stands in front of another for tests: everything goes to the other one,
// and before each row a query fetches, onFetch(n) runs (n counts the query's fetches from
// 1, the first row at the open). A test stops a run at an exact row with it: it may throw
// (the fetch fails) or do what a user would do at that moment.

#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "db/ado/driver.h"

namespace qv::test {

using FetchHook = std::function<void(int fetch)>;

class HookedCursor final : public ado::Cursor {
 public:
  HookedCursor(std::unique_ptr<ado::Cursor> inner, FetchHook onFetch)
      : inner_(std::move(inner)), onFetch_(std::move(onFetch)) {}
  const std::vector<ado::FieldInfo>& fields() const override { return inner_->fields(); }
  long recordCount() override { return inner_->recordCount(); }
  bool fetch(std::vector<ado::Value>& row) override {
    onFetch_(++fetches_);
    return inner_->fetch(row);
  }

 private:
  std::unique_ptr<ado::Cursor> inner_;
  FetchHook onFetch_;
  int fetches_ = 0;
};

class HookedSession final : public ado::Session {
 public:
  HookedSession(std::unique_ptr<ado::Session> inner, FetchHook onFetch)
      : inner_(std::move(inner)), onFetch_(std::move(onFetch)) {}
  long execute(const QString& statement) override { return inner_->execute(statement); }
  std::unique_ptr<ado::Cursor> query(const QString& source) override {
    return std::make_unique<HookedCursor>(inner_->query(source), onFetch_);
  }
  std::unique_ptr<ado::Cursor> openSchema(int schema) override { return inner_->openSchema(schema); }
  void close() override { inner_->close(); }

 private:
  std::unique_ptr<ado::Session> inner_;
  FetchHook onFetch_;
};

class HookedDriver final : public ado::Driver {
 public:
  HookedDriver(std::shared_ptr<ado::Driver> inner, FetchHook onFetch)
      : inner_(std::move(inner)), onFetch_(std::move(onFetch)) {}
  QString name() const override { return inner_->name(); }
  bool accepts(const ado::ConnectionString& cs) const override { return inner_->accepts(cs); }
  std::unique_ptr<ado::Session> open(const ado::ConnectionString& cs, int mode) override {
    return std::make_unique<HookedSession>(inner_->open(cs, mode), onFetch_);
  }

 private:
  std::shared_ptr<ado::Driver> inner_;
  FetchHook onFetch_;
};

}  // namespace qv::test
