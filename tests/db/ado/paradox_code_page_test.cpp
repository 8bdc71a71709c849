// The code page the Paradox driver reads a table in: for a table that names none, the DOS
// code page of the application's locale; with CodePage= in the connection string, that
// one for every table. And the DOS code pages of locales.

#include <gtest/gtest.h>

#include <QLocale>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "db/ado/oem_code_page.h"
#include "db/ado/recordset.h"
#include "support/testdata.h"

namespace qv::ado {
namespace {

TEST(OemCodePage, EachLanguageHasItsDosCodePage) {
  struct Case {
    const char* locale;
    unsigned codePage;
  };
  for (const Case& c :
       {Case{"ru_RU", 866},  Case{"uk_UA", 866}, Case{"bg_BG", 866},      Case{"kk_KZ", 866}, Case{"de_DE", 850},
        Case{"fr_FR", 850},  Case{"es_ES", 850}, Case{"pt_BR", 850},      Case{"sv_SE", 850}, Case{"nl_NL", 850},
        Case{"en_US", 437},  Case{"en_GB", 850}, Case{"en_AU", 850},      Case{"cs_CZ", 852}, Case{"pl_PL", 852},
        Case{"hu_HU", 852},  Case{"sr_RS", 855}, Case{"sr_Latn_RS", 852}, Case{"tr_TR", 857}, Case{"az_Latn_AZ", 857},
        Case{"el_GR", 737},  Case{"lt_LT", 775}, Case{"he_IL", 862},      Case{"ar_EG", 720}, Case{"th_TH", 874},
        Case{"vi_VN", 1258}, Case{"ja_JP", 932}, Case{"ko_KR", 949},      Case{"zh_CN", 936}, Case{"zh_TW", 950},
        Case{"zh_HK", 950},  Case{"hi_IN", 0},   Case{"ka_GE", 0}}) {
    EXPECT_EQ(oemCodePage(QLocale(QString::fromLatin1(c.locale))), c.codePage) << c.locale;
  }
  EXPECT_EQ(oemCodePage(QLocale::c()), 0u);
}

// The locale the application runs in, for the length of a test.
class ScopedLocale {
 public:
  explicit ScopedLocale(const char* name) : saved_(QLocale()) {
    QLocale::setDefault(QLocale(QString::fromLatin1(name)));
  }
  ~ScopedLocale() { QLocale::setDefault(saved_); }

 private:
  QLocale saved_;
};

QStringList fieldNamesOf(const QString& connectionString, const QString& table) {
  auto conn = Connection::Create();
  conn->Open(connectionString);
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [") + table + u']', *conn, adOpenStatic, adLockOptimistic);
  QStringList names;
  for (int i = 0; i < rs.Fields().Count(); ++i) names << rs.Fields()(i).name();
  return names;
}

QString folderString(const std::string& folder, const QString& extra = {}) {
  const QString dir = QString::fromStdString(test::testdataDir() + "/paradox/" + folder);
  return QStringLiteral("Driver={Microsoft Paradox Driver (*.db )};DriverID=538;Fil=Paradox 5.X;DefaultDir=") + dir +
         QStringLiteral("/;Dbq=") + dir + QStringLiteral("/;CollatingSequence=ASCII;") + extra;
}

// of.db is Russian text in DOS 866 with no code page in its header.
TEST(ParadoxDriverCodePage, TableWithoutCodePageFollowsTheLocaleAndCodePageOverridesAll) {
  QV_REQUIRE_TESTDATA();
  const QString cyrillic = QStringLiteral("Инвентарный номер");
  {
    ScopedLocale russian("ru_RU");
    EXPECT_EQ(fieldNamesOf(folderString("celebithil-Rparadox"), QStringLiteral("OF")).value(0), cyrillic);
  }
  {
    ScopedLocale us("en_US");
    EXPECT_EQ(fieldNamesOf(folderString("celebithil-Rparadox"), QStringLiteral("OF")).value(0),
              QStringLiteral("ê¡óÑ¡Γáα¡δ⌐ ¡«¼Ñα"));
    EXPECT_EQ(fieldNamesOf(folderString("celebithil-Rparadox", QStringLiteral("CodePage=866;")), QStringLiteral("OF"))
                  .value(0),
              cyrillic);
    // A table that names its code page keeps it: TypSammlung is 1252.
    EXPECT_EQ(fieldNamesOf(folderString("celebithil-Rparadox"), QStringLiteral("TYPSAMMLUNG")).value(2),
              QStringLiteral("Währung"));
  }
  {
    ScopedLocale german("de_DE");
    EXPECT_EQ(fieldNamesOf(folderString("celebithil-Rparadox"), QStringLiteral("OF")).value(0),
              QStringLiteral("ê¡óÑ¡ÔáÓ¡Ù® ¡«¼ÑÓ"))
        << "read in 850";
  }
}

TEST(ParadoxDriverCodePage, UnknownCodePageRefusesTheConnectionAndTextProblemsAreNoticed) {
  QV_REQUIRE_TESTDATA();
  for (const QString& bad : {QStringLiteral("CodePage=64000;"), QStringLiteral("CodePage=cyrillic;")}) {
    auto conn = Connection::Create();
    try {
      conn->Open(folderString("celebithil-Rparadox", bad));
      ADD_FAILURE() << "opened with " << bad.toStdString();
    } catch (const Error& e) {
      EXPECT_NE(e.description().indexOf(bad.mid(9, bad.size() - 10)), -1) << e.description().toStdString();
      EXPECT_NE(e.description().indexOf(QStringLiteral("code page")), -1) << e.description().toStdString();
    }
  }
  // NOTE1251.DB says 936 but holds 1251 text: the record set tells once its rows are read.
  auto conn = Connection::Create();
  conn->Open(folderString("leonhad-paradoxdriver/db"));
  Recordset rs;
  rs.Open(QStringLiteral("SELECT * FROM [NOTE1251]"), *conn, adOpenStatic, adLockOptimistic);
  while (!rs.eof()) rs.MoveNext();
  const QStringList notices = rs.Notices();
  ASSERT_EQ(notices.size(), 1);
  EXPECT_TRUE(notices[0].contains(QStringLiteral("NOTE1251.DB"))) << notices[0].toStdString();
  EXPECT_TRUE(notices[0].contains(QStringLiteral("code page 936"))) << notices[0].toStdString();
}

}  // namespace
}  // namespace qv::ado
