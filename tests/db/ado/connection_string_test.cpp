#include <gtest/gtest.h>

#include "db/ado/connection_string.h"

namespace qv::ado {
namespace {

TEST(ConnectionString, KeysIgnoreCaseValuesStayAsWritten) {
  ConnectionString cs(
      QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=/d/a "
                     "b/;Dbq=/d/a b/;CollatingSequence=ASCII;"));
  EXPECT_EQ(cs.value(QStringLiteral("driver")), QStringLiteral("{Microsoft Paradox Driver (*.db )}"));
  EXPECT_EQ(cs.value(QStringLiteral("DBQ")), QStringLiteral("/d/a b/"));
  EXPECT_EQ(cs.value(QStringLiteral("Fil")), QStringLiteral("Paradox 5.X"));
  EXPECT_FALSE(cs.value(QStringLiteral("Password")).has_value());

  ConnectionString access(
      QStringLiteral("PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source= /x/y.mdb ;JET OLEDB:Database Password="));
  EXPECT_EQ(access.value(QStringLiteral("provider")), QStringLiteral("Microsoft.Jet.OLEDB.4.0"));
  EXPECT_EQ(access.value(QStringLiteral("data source")), QStringLiteral(" /x/y.mdb "));
  EXPECT_EQ(access.value(QStringLiteral("Jet OLEDB:Database Password")), QString(""));
}

TEST(ConnectionString, BracedValuesMayHoldSemicolonsAndStrayPiecesAreIgnored) {
  ConnectionString cs(QStringLiteral("junk;Driver={a;b};Key=v=w;;Last=end"));
  EXPECT_EQ(cs.value(QStringLiteral("Driver")), QStringLiteral("{a;b}"));
  EXPECT_EQ(cs.value(QStringLiteral("key")), QStringLiteral("v=w"));
  EXPECT_EQ(cs.value(QStringLiteral("last")), QStringLiteral("end"));
  EXPECT_EQ(cs.entries().size(), 3u);
  EXPECT_TRUE(ConnectionString(QString()).entries().empty());
}

}  // namespace
}  // namespace qv::ado
