#include <gtest/gtest.h>

#include "db/ado/data_type.h"
#include "engine/ado_type_name.h"
#include "engine/column_mapping.h"

namespace qv::engine {
namespace {

using namespace qv::ado;

TEST(AdoTypeName, KnowsEveryDataTypeEnumMemberAndNothingElse) {
  const std::pair<int, const char*> known[] = {{0, "adEmpty"},
                                               {2, "adSmallInt"},
                                               {3, "adInteger"},
                                               {4, "adSingle"},
                                               {5, "adDouble"},
                                               {6, "adCurrency"},
                                               {7, "adDate"},
                                               {8, "adBSTR"},
                                               {9, "adIDispatch"},
                                               {10, "adError"},
                                               {11, "adBoolean"},
                                               {12, "adVariant"},
                                               {13, "adIUnknown"},
                                               {14, "adDecimal"},
                                               {16, "adTinyInt"},
                                               {17, "adUnsignedTinyInt"},
                                               {18, "adUnsignedSmallInt"},
                                               {19, "adUnsignedInt"},
                                               {20, "adBigInt"},
                                               {21, "adUnsignedBigInt"},
                                               {64, "adFileTime"},
                                               {72, "adGUID"},
                                               {128, "adBinary"},
                                               {129, "adChar"},
                                               {130, "adWChar"},
                                               {131, "adNumeric"},
                                               {132, "adUserDefined"},
                                               {133, "adDBDate"},
                                               {134, "adDBTime"},
                                               {135, "adDBTimeStamp"},
                                               {136, "adChapter"},
                                               {138, "adPropVariant"},
                                               {139, "adVarNumeric"},
                                               {200, "adVarChar"},
                                               {201, "adLongVarChar"},
                                               {202, "adVarWChar"},
                                               {203, "adLongVarWChar"},
                                               {204, "adVarBinary"},
                                               {205, "adLongVarBinary"}};
  EXPECT_EQ(std::size(known), 39u);
  int named = 0;
  for (int code = -32768; code <= 32767; ++code) {
    QString name = AdoTypeName(static_cast<int16_t>(code));
    if (!name.isNull()) ++named;
  }
  EXPECT_EQ(named, 39);
  for (auto [code, name] : known) EXPECT_EQ(AdoTypeName(static_cast<int16_t>(code)), QLatin1String(name)) << code;
  for (int code : {1, 137, 255, -1, 8192}) EXPECT_TRUE(AdoTypeName(static_cast<int16_t>(code)).isNull()) << code;
}

TEST(ColumnMapping, BuildsTheStockTableStatementAndNumericList) {
  CreateTableBuilder b;
  b.begin(QStringLiteral("STOCK"));
  DatatypeRow id = b.addField(0, QStringLiteral("ID"), adInteger);
  DatatypeRow name = b.addField(1, QStringLiteral("NAME"), adVarChar);
  DatatypeRow price = b.addField(2, QStringLiteral("PRICE"), adDouble);
  EXPECT_EQ(b.finish(), QStringLiteral("CREATE TABLE `STOCK` ([ID] INT,[NAME] TEXT,[PRICE] FLOAT);"));
  EXPECT_EQ(b.numericFieldList(), QStringLiteral("0, 2, "));
  EXPECT_EQ(b.numericFields(), (std::vector<bool>{true, false, true}));
  EXPECT_EQ(id, (DatatypeRow{"STOCK", "ID", "int", "INT"}));
  EXPECT_EQ(name, (DatatypeRow{"STOCK", "NAME", "char", "TEXT"}));
  EXPECT_EQ(price, (DatatypeRow{"STOCK", "PRICE", "double", "FLOAT"}));
}

TEST(ColumnMapping, ChoosesTheFirstMatchingRuleForEveryCode) {
  struct Expect {
    int code;
    const char* column;
    const char* word;
    bool numeric;
  };
  const Expect cases[] = {{adChar, "TEXT", "char", false},
                          {adWChar, "TEXT", "char", false},
                          {adLongVarChar, "TEXT", "char", false},
                          {adLongVarWChar, "TEXT", "char", false},
                          {adDecimal, "DECIMAL", "decimal", true},
                          {adSingle, "FLOAT", "single", true},
                          {adSmallInt, "INT", "int", true},
                          {adBigInt, "INT", "int", true},
                          {adUnsignedTinyInt, "INT", "int", true},
                          {adLongVarBinary, "BLOB", "adlongvarbinary", false},
                          {adNumeric, "FLOAT", "numeric", true},
                          {adVarNumeric, "FLOAT", "numeric", true},
                          {adDate, "TEXT", "date", false},
                          {adDBDate, "TEXT", "date", false},
                          {adDBTimeStamp, "TEXT", "timestamp", false},
                          {adDouble, "FLOAT", "double", true},
                          {adDBTime, "TEXT", "OTHER TYPES", false},
                          {adCurrency, "TEXT", "OTHER TYPES", false},
                          {adBoolean, "TEXT", "OTHER TYPES", false},
                          {adBinary, "TEXT", "OTHER TYPES", false},
                          {adVarBinary, "TEXT", "OTHER TYPES", false},
                          {adGUID, "TEXT", "OTHER TYPES", false},
                          {1, "TEXT", "OTHER TYPES", false},
                          {137, "TEXT", "OTHER TYPES", false},
                          // 65536 + 3 is 3 once taken as a 16-bit integer.
                          {65539, "INT", "int", true}};
  for (const auto& c : cases) {
    const TypeRule& r = ruleForType(c.code);
    EXPECT_EQ(QLatin1String(r.accessWord), QLatin1String(c.column)) << c.code;
    EXPECT_EQ(QLatin1String(r.paradoxWord), QLatin1String(c.word)) << c.code;
    EXPECT_EQ(r.numeric, c.numeric) << c.code;
  }
}

TEST(ColumnMapping, SingleFieldAndNamesAsTheyCome) {
  CreateTableBuilder b;
  b.begin(QStringLiteral("T"));
  DatatypeRow r = b.addField(0, QStringLiteral("Unit Price"), 8192);
  EXPECT_EQ(b.finish(), QStringLiteral("CREATE TABLE `T` ([Unit Price] TEXT);"));
  EXPECT_EQ(r.paradoxType, QStringLiteral("OTHER TYPES"));
  EXPECT_TRUE(b.numericFieldList().isEmpty());
  // A new table starts a new list.
  b.begin(QStringLiteral("U"));
  b.addField(0, QStringLiteral("N"), adInteger);
  b.begin(QStringLiteral("V"));
  EXPECT_TRUE(b.numericFieldList().isEmpty());
}

}  // namespace
}  // namespace qv::engine
