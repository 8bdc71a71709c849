#include <gtest/gtest.h>

#include <QString>
#include <exception>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/recordset.h"
#include "db/jet/database.h"
#include "engine/connection_strings.h"
#include "engine/statement_batch.h"
#include "support/temp_dir.h"

namespace qv::engine {
namespace {

struct Seen {
  size_t index;
  long tag;
  int number;
};

int errorNumber(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const ado::Error& e) {
    return e.number();
  } catch (...) {
    return 0;
  }
}

class StatementBatchExecution : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string path = dir_.file("batch.mdb");
    jet::createDatabase(path, jet::Format::kJet4)->close();
    conn_ = ado::Connection::Create();
    conn_->Open(AccessConnString(QString::fromStdString(path), QString()));
    conn_->Execute(QStringLiteral("CREATE TABLE `T` (`N` LONG, `S` TEXT(20))"));
  }

  long rows() {
    ado::Recordset rs;
    rs.Open(QStringLiteral("SELECT * FROM [T]"), *conn_, ado::adOpenStatic, ado::adLockOptimistic);
    const long n = rs.recordcount();
    rs.Close();
    return n;
  }

  test::TempDir dir_;
  std::unique_ptr<ado::Connection> conn_;
};

// Each failure is handed back at its own statement, in order, with its tag; the
// statements around it go in.
TEST_F(StatementBatchExecution, EachFailureComesBackAtItsStatementAndTheOthersGoIn) {
  StatementBatch batch;
  batch.add(std::string("INSERT INTO `T` VALUES (1, 'a');"), 10);
  batch.add(QStringLiteral("INSERT INTO `T` VALUES (2, 'b', 3);"), 11);
  batch.add(QStringLiteral("INSERT INTO `T` VALUES (3, 'Ärger');"), 12);
  batch.add(std::string("INSERT INTO `Missing` VALUES (4);"), 13);
  batch.add(std::string("INSERT INTO `T` VALUES (5, 'e');"), 14);
  ASSERT_EQ(batch.size(), 5u);
  EXPECT_EQ(batch.statement(2), "INSERT INTO `T` VALUES (3, '\xC3\x84rger');");
  EXPECT_EQ(batch.tag(4), 14);

  const std::vector<StatementBatch::Failure> failures = batch.executeAll(conn_.get());
  ASSERT_EQ(failures.size(), 2u);
  EXPECT_EQ(failures[0].index, 1u);
  EXPECT_EQ(failures[1].index, 3u);
  EXPECT_EQ(rows(), 3);
  // The statements stay until cleared; a cleared batch runs nothing.
  EXPECT_EQ(batch.size(), 5u);
  batch.clear();
  EXPECT_TRUE(batch.empty());
  EXPECT_EQ(batch.execute(conn_.get(), [](size_t, const std::exception_ptr&) { return true; }), 0u);
}

// A handler that says stop ends the batch at that statement: the ones after it never run.
TEST_F(StatementBatchExecution, AStoppingFailureLeavesTheStatementsAfterItUnrun) {
  StatementBatch batch;
  for (long i = 1; i <= 6; ++i) {
    const std::string values = i == 3 ? "(3, 'x', 'y')" : "(" + std::to_string(i) + ", 'r')";
    batch.add("INSERT INTO `T` VALUES " + values + ";", i);
  }
  std::vector<size_t> failed;
  const size_t ran = batch.execute(conn_.get(), [&](size_t i, const std::exception_ptr&) {
    failed.push_back(i);
    return false;
  });
  EXPECT_EQ(ran, 3u);
  EXPECT_EQ(failed, std::vector<size_t>{2});
  EXPECT_EQ(rows(), 2);
}

// A batch that cannot run at all fails at every statement, in order, as each would
// alone; or, when asked, the error reaches the caller.
TEST_F(StatementBatchExecution, ABatchWithoutAConnectionFailsEveryStatementOrThrows) {
  StatementBatch batch;
  batch.add(std::string("INSERT INTO `T` VALUES (1, 'a');"), 7);
  batch.add(std::string("INSERT INTO `T` VALUES (2, 'b');"), 8);
  batch.add(std::string("INSERT INTO `T` VALUES (3, 'c');"), 9);

  std::vector<Seen> seen;
  auto record = [&](size_t i, const std::exception_ptr& failure) {
    seen.push_back({i, batch.tag(i), errorNumber(failure)});
    return true;
  };
  EXPECT_EQ(batch.execute(static_cast<ado::Connection*>(nullptr), record), 3u);
  ASSERT_EQ(seen.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(seen[i].index, i);
    EXPECT_EQ(seen[i].tag, static_cast<long>(7 + i));
    EXPECT_EQ(seen[i].number, 91);
  }

  conn_->Close();
  seen.clear();
  EXPECT_EQ(batch.execute(conn_.get(),
                          [&](size_t i, const std::exception_ptr& failure) {
                            record(i, failure);
                            return i < 1;
                          }),
            2u);
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[1].number, ado::kErrObjectClosed);

  seen.clear();
  EXPECT_THROW(batch.execute(conn_.get(), record, StatementBatch::WhenBatchFails::kThrow), ado::Error);
  EXPECT_TRUE(seen.empty());
}

// What a failure handler throws is its own: it is not taken for the batch's failure.
TEST_F(StatementBatchExecution, AThrowingHandlerIsNotTheBatchFailing) {
  StatementBatch batch;
  batch.add(std::string("INSERT INTO `T` VALUES (1, 'a', 'extra');"), 1);
  batch.add(std::string("INSERT INTO `T` VALUES (2, 'b', 'extra');"), 2);
  int calls = 0;
  EXPECT_THROW(batch.execute(conn_.get(),
                             [&](size_t, const std::exception_ptr&) -> bool {
                               ++calls;
                               throw std::runtime_error("handler");
                             }),
               std::runtime_error);
  EXPECT_EQ(calls, 1);
}

TEST(StatementBatch, IsDueAtItsLimits) {
  StatementBatch batch;
  EXPECT_FALSE(batch.due(1, 1, 0));
  batch.add(std::string("abc"), 0);
  EXPECT_FALSE(batch.due(2, 4));
  EXPECT_TRUE(batch.due(1, 4));
  EXPECT_TRUE(batch.due(2, 3));
  EXPECT_TRUE(batch.due(2, 4, 0));
  StatementBatch other;
  other.swap(batch);
  EXPECT_TRUE(batch.empty());
  EXPECT_EQ(other.statement(0), "abc");
  other.release();
  EXPECT_TRUE(other.empty());
}

}  // namespace
}  // namespace qv::engine
