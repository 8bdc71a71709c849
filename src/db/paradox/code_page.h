#pragma once
// Which character set a Paradox table's text is read in.
//
// Tables of version 4 and later record a code page in their header (a u16 at 0x6A, see
// table_header.h); 3.x tables have none, and a 4.x table may leave it 0. Such text was
// written in whatever DOS code page the writing machine used, so it is read in the DOS
// ("OEM") code page of the reading user's locale, which the caller passes in: this
// library knows nothing of locales.
//
// The header also names the language driver the table was written with (its sort order
// name, "ascii", "intl850", "cyrr", "ANSIINTL", "DBWINUS0", ...). That name decides two
// things:
//   - Windows (ANSI) drivers store Windows code page text even when the header names the
//     DOS code page that was active at the time, so for them a DOS page is read as the
//     Windows page of the same script (866 as 1251, 850 as 1252, ...);
//   - where the header's code page is 0 (or missing), a driver made for one code page
//     ("cyrr": 866, "nordan": 865, "BLROM800": HP Roman-8, "DB850DE0": 850, ...) says
//     which. The generic DOS drivers "ascii" and "intl" were used with any DOS code page
//     and say nothing.
// The order, first that applies: the code page the user forces; the header's code page;
// the driver's; the locale's DOS code page; 437.

#include <string>

namespace qv::paradox {

struct TextOptions {
  // Read every table in this code page, whatever its header says (0: as the table says).
  unsigned forcedCodePage = 0;
  // The DOS code page of the user's locale, for tables that do not say theirs.
  unsigned fallbackCodePage = 437;
};

struct TableCharset {
  std::string charset;    // the iconv name ("CP866", "HP-ROMAN8", ...)
  unsigned codePage = 0;  // its code page number (0 for a character set without one)
  // Set when the table's own code page could not be used (unknown to iconv): what the
  // header said and what is used instead, for a message to the user.
  std::string problem;
};

// The character set for a table with this version code, header code page and language
// driver name.
TableCharset chooseTableCharset(unsigned versionId, unsigned codePage, const std::string& driverName,
                                const TextOptions& options);

// The iconv name of a code page number ("CP1252", "UTF-8" for 65001, "KOI8-R" for 20866,
// ...), or "" when this system's iconv cannot convert it.
std::string charsetOfCodePage(unsigned codePage);

// True for the language driver names of Windows (ANSI) drivers.
bool isWindowsDriver(const std::string& driverName);

}  // namespace qv::paradox
