#include "db/ado/oem_code_page.h"

namespace qv::ado {
namespace {

using L = QLocale;

bool cyrillic(const QLocale& locale) { return locale.script() == QLocale::CyrillicScript; }

// English: 850 where the machines were set up the British way, 437 elsewhere.
unsigned englishPage(QLocale::Territory t) {
  switch (t) {
    case L::UnitedKingdom:
    case L::Australia:
    case L::Canada:
    case L::NewZealand:
    case L::Ireland:
    case L::Belize:
    case L::Jamaica:
    case L::TrinidadAndTobago:
    case L::Malta:
    case L::Gibraltar: return 850;
    default: return 437;
  }
}

}  // namespace

unsigned oemCodePage(const QLocale& locale) {
  switch (locale.language()) {
    case L::English: return englishPage(locale.territory());
    case L::Filipino:
    case L::Swahili:
    case L::Hausa:
    case L::Igbo:
    case L::Yoruba:
    case L::Kinyarwanda:
    case L::Hawaiian:
    case L::Inuktitut: return 437;

    case L::Afrikaans:
    case L::Basque:
    case L::Breton:
    case L::Catalan:
    case L::Corsican:
    case L::Danish:
    case L::Dutch:
    case L::Faroese:
    case L::Finnish:
    case L::French:
    case L::WesternFrisian:
    case L::Galician:
    case L::German:
    case L::SwissGerman:
    case L::Kalaallisut:
    case L::Icelandic:
    case L::Indonesian:
    case L::Irish:
    case L::Gaelic:
    case L::Italian:
    case L::Luxembourgish:
    case L::Malay:
    case L::NorwegianBokmal:
    case L::NorwegianNynorsk:
    case L::Occitan:
    case L::Portuguese:
    case L::Quechua:
    case L::Romansh:
    case L::NorthernSami:
    case L::LuleSami:
    case L::SouthernSami:
    case L::InariSami:
    case L::SkoltSami:
    case L::Spanish:
    case L::Swedish:
    case L::Welsh:
    case L::Wolof:
    case L::Xhosa:
    case L::Zulu:
    case L::Tswana:
    case L::NorthernSotho:
    case L::Mapuche:
    case L::Mohawk:
    case L::LowerSorbian:
    case L::UpperSorbian: return 850;

    case L::Albanian:
    case L::Croatian:
    case L::Czech:
    case L::Hungarian:
    case L::Polish:
    case L::Romanian:
    case L::Slovak:
    case L::Slovenian:
    case L::Turkmen: return 852;
    case L::Serbian:
    case L::Bosnian: return cyrillic(locale) ? 855 : 852;

    case L::Turkish: return 857;
    case L::Azerbaijani:
    case L::Uzbek: return cyrillic(locale) ? 866 : 857;

    case L::Russian:
    case L::Ukrainian:
    case L::Belarusian:
    case L::Bulgarian:
    case L::Macedonian:
    case L::Kazakh:
    case L::Kyrgyz:
    case L::Tatar:
    case L::Bashkir:
    case L::Sakha:
    case L::Mongolian:
    case L::Tajik: return 866;

    case L::Greek: return 737;
    case L::Estonian:
    case L::Latvian:
    case L::Lithuanian: return 775;
    case L::Hebrew: return 862;
    case L::Arabic:
    case L::Persian:
    case L::Urdu:
    case L::Pashto:
    case L::Uyghur:
    case L::CentralKurdish: return 720;
    case L::Thai: return 874;
    case L::Vietnamese: return 1258;
    case L::Japanese: return 932;
    case L::Korean: return 949;
    case L::Chinese: {
      const bool traditional = locale.script() == QLocale::TraditionalChineseScript ||
                               locale.territory() == L::Taiwan || locale.territory() == L::HongKong ||
                               locale.territory() == L::Macao;
      return traditional ? 950 : 936;
    }
    default: return 0;
  }
}

unsigned paradoxFallbackCodePage() {
  const unsigned cp = oemCodePage(QLocale());
  return cp != 0 ? cp : 437;
}

}  // namespace qv::ado
