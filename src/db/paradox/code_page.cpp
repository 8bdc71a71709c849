#include "db/paradox/code_page.h"

#include <iconv.h>

#include <algorithm>
#include <cctype>

namespace qv::paradox {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

bool iconvKnows(const std::string& charset) {
  iconv_t cd = iconv_open("UTF-8", charset.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  iconv_close(cd);
  return true;
}

bool isWindowsPage(unsigned cp) {
  return (cp >= 1250 && cp <= 1258) || cp == 874 || cp == 932 || cp == 936 || cp == 949 || cp == 950;
}

// The Windows code page for the script of a DOS code page.
unsigned windowsPageFor(unsigned dosPage) {
  switch (dosPage) {
    case 437:
    case 850:
    case 858:
    case 860:
    case 861:
    case 863:
    case 865: return 1252;
    case 852: return 1250;
    case 855:
    case 866: return 1251;
    case 737:
    case 869: return 1253;
    case 857: return 1254;
    case 862: return 1255;
    case 720:
    case 864: return 1256;
    case 775: return 1257;
    default: return dosPage;
  }
}

// The Windows code page a Windows driver's name implies.
unsigned windowsPageOfDriver(const std::string& name) {
  if (startsWith(name, "ancyr")) return 1251;
  if (startsWith(name, "angreek")) return 1253;
  if (startsWith(name, "anhun") || startsWith(name, "anpol") || startsWith(name, "anczech") ||
      startsWith(name, "anslov") || startsWith(name, "ansislov"))
    return 1250;
  if (startsWith(name, "anturk")) return 1254;
  if (startsWith(name, "anheb")) return 1255;
  if (startsWith(name, "anarab")) return 1256;
  return 1252;
}

// DOS drivers made for one code page. "ascii" and "intl" are not here: they served
// every DOS code page.
struct DosDriver {
  const char* prefix;
  unsigned codePage;
};
constexpr DosDriver kDosDrivers[] = {
    {"intl850", 850}, {"ascii850", 850}, {"nordan", 865}, {"swedfin", 437}, {"iceland", 861}, {"cyrr", 866},
    {"turk", 857},    {"hebrew", 862},   {"czech", 852},  {"hun852", 852},  {"pol852", 852},  {"slov", 852},
    {"china", 936},   {"japan", 932},    {"korea", 949},  {"taiwan", 950},  {"thai", 874},
};

// The code page of a DOS driver's name, 0 when it names none. Besides the names above,
// the "DBcccLLn" drivers carry their code page in their name (DB437US0, DB866RU0, ...).
unsigned dosPageOfDriver(const std::string& name) {
  for (const DosDriver& d : kDosDrivers)
    if (startsWith(name, d.prefix)) return d.codePage;
  if (name.size() == 8 && startsWith(name, "db") && std::isdigit(static_cast<unsigned char>(name[2])) &&
      std::isdigit(static_cast<unsigned char>(name[3])) && std::isdigit(static_cast<unsigned char>(name[4])))
    return static_cast<unsigned>(std::stoul(name.substr(2, 3)));
  return 0;
}

}  // namespace

bool isWindowsDriver(const std::string& driverName) {
  const std::string n = lower(driverName);
  return startsWith(n, "ansi") || startsWith(n, "dbwin") || startsWith(n, "ancyr") || startsWith(n, "angreek") ||
         startsWith(n, "anhun") || startsWith(n, "anpol") || startsWith(n, "anczech") || startsWith(n, "anslov") ||
         startsWith(n, "anturk") || startsWith(n, "anheb") || startsWith(n, "anarab");
}

std::string charsetOfCodePage(unsigned codePage) {
  std::string name;
  if (codePage == 65001) {
    name = "UTF-8";
  } else if (codePage == 20866) {
    name = "KOI8-R";
  } else if (codePage == 21866) {
    name = "KOI8-U";
  } else if (codePage == 20127) {
    name = "ASCII";
  } else if (codePage == 10000) {
    name = "MACINTOSH";
  } else if (codePage >= 28591 && codePage <= 28606) {
    name = "ISO-8859-" + std::to_string(codePage - 28590);
  } else if (codePage > 0 && codePage < 65536) {
    name = "CP" + std::to_string(codePage);
  }
  return !name.empty() && iconvKnows(name) ? name : std::string();
}

TableCharset chooseTableCharset(unsigned versionId, unsigned codePage, const std::string& driverName,
                                const TextOptions& options) {
  TableCharset out;
  auto use = [&out](unsigned cp) {
    out.charset = charsetOfCodePage(cp);
    out.codePage = cp;
    return !out.charset.empty();
  };
  if (options.forcedCodePage != 0) {
    if (use(options.forcedCodePage)) return out;
    out.problem =
        "the code page " + std::to_string(options.forcedCodePage) + " asked for cannot be converted on this system";
  }

  const std::string name = lower(driverName);
  const bool windows = isWindowsDriver(name);
  const unsigned stated = versionId >= 5 ? codePage : 0;  // 3.x headers have no code page
  if (stated != 0) {
    const unsigned cp = windows && !isWindowsPage(stated) ? windowsPageFor(stated) : stated;
    if (use(cp)) return out;
    out.problem = "its header names the code page " + std::to_string(stated) + ", which this system cannot convert";
  }
  if (windows) {
    if (use(windowsPageOfDriver(name))) return out;
  } else if (startsWith(name, "blrom8") && iconvKnows("HP-ROMAN8")) {
    out.charset = "HP-ROMAN8";
    out.codePage = 0;
    return out;
  } else if (const unsigned cp = dosPageOfDriver(name); cp != 0 && use(cp)) {
    return out;
  }
  if (use(options.fallbackCodePage)) return out;
  if (options.fallbackCodePage != 437) {
    if (!out.problem.empty()) out.problem += "; ";
    out.problem += "the code page " + std::to_string(options.fallbackCodePage) +
                   " of the user's locale cannot be converted on this system";
  }
  use(437);
  return out;
}

}  // namespace qv::paradox
