// The sort orders of other languages: General's keys wherever the language agrees with
// it, the language's own place for the letters it sorts apart (from the Windows sorting
// weight table), a clear refusal for the letters whose key Access would give we cannot
// know; and a database made in each order that takes tables named with its letters,
// checked by our own check and read back by mdbtools and mdb-reader.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/io/error.h"
#include "db/jet/checker.h"
#include "support/column_def.h"
#include "db/jet/database.h"
#include "db/jet/reader_oracle.h"
#include "db/jet/collation/sort_order.h"
#include "db/jet/base/text.h"
#include "support/temp_dir.h"

namespace qv::jet {
namespace {

std::vector<uint8_t> key(uint16_t language, const std::u16string& text) {
  const TextKeyEncoder* e = textKeyEncoder(language, 0);
  EXPECT_NE(e, nullptr) << language;
  std::vector<uint8_t> out;
  if (e) e->append(text, true, out);
  return out;
}

constexpr uint16_t kGeneral = 0x0409, kTurkish = 0x041F, kChinese = 0x0804, kSwedish = 0x041D, kDanish = 0x0406,
                   kIcelandic = 0x040F, kCzech = 0x0405, kHungarian = 0x040E, kPolish = 0x0415, kSlovenian = 0x0424,
                   kSpanish = 0x040A, kDutch = 0x0413, kCyrillic = 0x0419;

// Each line: the texts sort in the order given, in that language.
struct Sorted {
  uint16_t language;
  std::vector<std::u16string> texts;
};

TEST(LanguageOrders, LettersSortWhereTheLanguageSortsThem) {
  // The Turkish "I" Access keyed as 58 06 (between H and I) comes out of the table.
  EXPECT_EQ(key(kTurkish, u"I"), (std::vector<uint8_t>{0x58, 0x06, 0x01, 0x00}));
  EXPECT_EQ(key(kTurkish, u"ı"), key(kTurkish, u"I"));
  EXPECT_EQ(key(kTurkish, u"İ"), key(kTurkish, u"i"));
  EXPECT_EQ(key(kGeneral, u"I"), key(kGeneral, u"i"));

  const Sorted orders[] = {
      {kTurkish, {u"Cz", u"Ça", u"Çz", u"Da"}},
      {kTurkish, {u"Gz", u"Ğa", u"Ha", u"Hz", u"Ia", u"ıb", u"İa", u"iz"}},
      {kTurkish, {u"Oz", u"Öa", u"Pa", u"Sz", u"Şa", u"Ta", u"Uz", u"Üa", u"Va"}},
      {kCzech, {u"Hz", u"Cha", u"Chz", u"Ia"}},
      {kCzech, {u"Cz", u"Čá", u"Da", u"Rz", u"Řa", u"Sa", u"Sz", u"Ša", u"Ta"}},
      {kHungarian, {u"Cz", u"Csa", u"Da", u"Dz", u"Dzs", u"Ea", u"Gz", u"Gya", u"Ha"}},
      {kHungarian,
       {u"Lz", u"Lya", u"Ma", u"Nz", u"Nya", u"Oa", u"Oz", u"Öa", u"Pa", u"Sy", u"Sza", u"Ta", u"Tz", u"Tya"}},
      {kPolish,
       {u"Az", u"Ąa", u"Ba", u"Cz", u"Ća", u"Da", u"Ez", u"Ęa", u"Lz", u"Ła", u"Ma", u"Nz", u"Ńa", u"Oz", u"Óa", u"Pa",
        u"Sz", u"Śa", u"Ta"}},
      {kSlovenian, {u"Cz", u"Ča", u"Ćz", u"Da", u"Dz", u"Đa", u"Ea", u"Sz", u"Ša", u"Śa", u"Ta"}},
      {kIcelandic, {u"Az", u"Áa", u"Ba", u"Dz", u"Ða", u"Ea", u"Ez", u"Éa", u"Fa", u"Yz", u"Ýa", u"Za"}},
      {kSpanish, {u"Cz", u"Cha", u"Da", u"Lz", u"Lla", u"Ma", u"Nz", u"Ña", u"Oa"}},
  };
  for (const Sorted& o : orders) {
    for (size_t i = 0; i + 1 < o.texts.size(); ++i)
      EXPECT_LT(key(o.language, o.texts[i]), key(o.language, o.texts[i + 1]))
          << textKeyEncoder(o.language, 0)->name() << ": " << utf16ToUtf8(o.texts[i]) << " < "
          << utf16ToUtf8(o.texts[i + 1]);
  }
  // A letter written as a base letter and a combining mark is the same letter; case and
  // trailing blanks do not count.
  EXPECT_EQ(key(kTurkish, u"C\u0327ay"), key(kTurkish, u"Çay"));
  EXPECT_EQ(key(kCzech, u"CHATA  "), key(kCzech, u"chata"));
  EXPECT_EQ(key(kSpanish, u"LLAMA"), key(kSpanish, u"llama"));
  EXPECT_NE(key(kHungarian, u"Ő"), key(kHungarian, u"Ö")) << "the same letter, another accent";

  // Where the language agrees with General, so do the keys.
  for (uint16_t language : {kTurkish, kChinese, kSwedish, kDanish, kIcelandic, kCzech, kHungarian, kPolish, kSlovenian,
                            kSpanish, kDutch, kCyrillic})
    EXPECT_EQ(key(language, u"Kaffee-Tabele 7"), key(kGeneral, u"Kaffee-Tabele 7")) << language;
  EXPECT_EQ(key(kTurkish, u"Résumé"), key(kGeneral, u"Résumé"));
  EXPECT_NE(key(kIcelandic, u"Résumé"), key(kGeneral, u"Résumé")) << "É is a letter of its own in Icelandic";
  EXPECT_EQ(key(kDutch, u"IJsselmeer"), key(kGeneral, u"IJsselmeer"));
  EXPECT_EQ(key(kCyrillic, u"Москва"), key(kGeneral, u"Москва"));
}

TEST(LanguageOrders, LettersWhoseKeyWeCannotKnowAreRefusedByName) {
  struct Refused {
    uint16_t language;
    std::u16string text;
    const char* letter;
  };
  const Refused cases[] = {
      {kSwedish, u"Åsa", "Å"},
      {kSwedish, u"Wasa", "W"},
      {kSwedish, u"Ro\u0308d", "o\u0308"},
      {kDanish, u"Kaare", "aa"},
      {kDanish, u"Ærø", "Æ"},
      {kIcelandic, u"Þór", "Þ"},
      {kCzech, u"Žena", "Ž"},
      {kCzech, u"Mu\u0308ller", "u\u0308"},
      {kHungarian, u"Zsófia", "Zs"},
      {kHungarian, u"hosszú", "ssz"},
      {kHungarian, u"Gyöggyel", "ggy"},
      {kPolish, u"Żaba", "Ż"},
      {kSlovenian, u"Žaba", "Ž"},
      {kCyrillic, u"Йод", "Й"},
      {kChinese, u"北京", "北"},
  };
  for (const Refused& c : cases) {
    const TextKeyEncoder* e = textKeyEncoder(c.language, 0);
    ASSERT_NE(e, nullptr);
    std::vector<uint8_t> out{0x7F};
    try {
      e->append(c.text, true, out);
      ADD_FAILURE() << e->name() << " keyed " << utf16ToUtf8(c.text);
    } catch (const UnencodableText& error) {
      EXPECT_NE(std::string(error.what()).find("the " + e->name() + " sort order places \"" + c.letter + "\""),
                std::string::npos)
          << error.what();
    }
    EXPECT_EQ(out, std::vector<uint8_t>{0x7F}) << "a refused key leaves nothing behind";
  }
  EXPECT_EQ(textKeyEncoder(kTurkish, 1), nullptr) << "no key of the later version was ever seen";
}

// For each order whose letters are now keyed: a database made in it takes tables whose
// names and rows hold those letters, passes our check, and both independent readers
// list the names and read the rows back.
TEST(LanguageOrders, DatabaseInEachOrderTakesTablesNamedWithItsLetters) {
  struct Order {
    uint16_t language;
    std::vector<std::string> names;
  };
  const Order orders[] = {
      {kTurkish, {"Çalışanlar", "Ödemeler", "Şubeler", "İller", "Ürünler", "Ağaçlar", "Isparta"}},
      {kCzech, {"Účty Řidičů", "Chaty", "Čísla", "Šaty", "Hrady"}},
      {kHungarian, {"Gyümölcs", "Szőlő", "Nyúl", "Csónak", "Tyúk", "Lyuk", "Dzsungel", "Ösvény"}},
      {kPolish, {"Łódki", "Ćmy Ósemki", "Śledzie", "Ąę Ńó"}},
      {kSlovenian, {"Čebele", "Ćevapi", "Đaki", "Šola", "Śrubki"}},
      {kIcelandic, {"Ísland", "Ðúfa", "Ás", "Évrur", "Ýsur", "Ómar"}},
      {kSpanish, {"Llamas", "Chorizo", "Niños", "Cocos"}},
      {kDutch, {"IJsberen", "Ĳzer"}},
      {kCyrillic, {"Москва", "Ёлки", "Щука", "Україна"}},
  };
  test::TempDir dir;
  for (const Order& o : orders) {
    const std::string name = textKeyEncoder(o.language, 0)->name();
    SCOPED_TRACE(name);
    const std::string path = dir.file("order" + std::to_string(o.language) + ".mdb");
    {
      auto db = createDatabase(path, Format::kJet4, {}, o.language);
      for (const std::string& table : o.names) {
        Table& t = db->createTable(table, {column(table.substr(0, table.find(' ')), ColumnType::kText, 50)});
        for (const std::string& value : o.names) t.insert(std::vector<Value>{Value::text(value)});
      }
      db->close();
    }
    EXPECT_EQ(checkDatabase(path), std::vector<std::string>{});
    auto db = openDatabase(path, {});
    for (const std::string& table : o.names) EXPECT_NE(db->table(table), nullptr) << table;
    if (test::mdbtoolsAvailable()) {
      auto listed = test::mdbtoolsTables(path);
      std::sort(listed.begin(), listed.end());
      auto expected = o.names;
      std::sort(expected.begin(), expected.end());
      EXPECT_EQ(listed, expected);
      EXPECT_EQ(test::mdbtoolsCount(path, o.names[0]), static_cast<long>(o.names.size()));
    }
    if (test::mdbReaderAvailable()) {
      EXPECT_EQ(test::compareWithMdbReader(path, *db, o.names), "");
    }
  }
}

}  // namespace
}  // namespace qv::jet
