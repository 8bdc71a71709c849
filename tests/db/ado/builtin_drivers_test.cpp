// The programs' drivers are the Paradox driver and the Access provider: the tests'
// in-memory driver is not among them, and a connection string naming it is refused as
// any unknown provider is, until a test installs it.

#include <gtest/gtest.h>

#include "db/ado/connection.h"
#include "db/ado/driver.h"
#include "db/ado/error.h"
#include "support/memory_driver.h"

namespace qv::ado {
namespace {

TEST(BuiltinDrivers, RefuseTheInMemoryProviderUntilATestInstallsIt) {
  DriverRegistry::instance().restoreBuiltins();
  auto conn = Connection::Create();
  try {
    conn->Open(QStringLiteral("Provider=Memory;Data Source=s"));
    FAIL() << "the programs' drivers opened Provider=Memory";
  } catch (const Error& e) {
    EXPECT_EQ(e.number(), kErrProviderNotFound);
    EXPECT_EQ(e.description(), QStringLiteral("Provider cannot be found. It may not be properly installed. (Memory)"));
  }

  installMemoryDriver();
  auto test = Connection::Create();
  EXPECT_NO_THROW(test->Open(QStringLiteral("Provider=Memory;Data Source=s")));
  DriverRegistry::instance().restoreBuiltins();
  EXPECT_THROW(Connection::Create()->Open(QStringLiteral("Provider=Memory;Data Source=s")), Error);
}

}  // namespace
}  // namespace qv::ado
