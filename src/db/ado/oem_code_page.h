#pragma once
// The DOS ("OEM") code page of a locale: the one a DOS program on a machine set up for
// that language wrote its files in, and so the one the Paradox driver reads a table in
// whose header names no code page. Western European languages have 850, US English
// 437, Russian and the other Cyrillic languages 866, Central European ones 852, and so
// on; languages that never had a DOS code page (Hindi, Georgian, ...) have none.

#include <QLocale>

namespace qv::ado {

// The locale's DOS code page, or 0 when its language has none.
unsigned oemCodePage(const QLocale& locale);

// The code page for tables that do not say theirs, read in the application's locale
// (QLocale(), the system's unless the program chose another): its DOS code page, or 437.
unsigned paradoxFallbackCodePage();

}  // namespace qv::ado
