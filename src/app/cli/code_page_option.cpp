#include "app/cli/code_page_option.h"

#include <QString>

#include "db/ado/paradox_driver.h"

namespace qv::cli {

unsigned parseCodePage(const std::string& argument) { return ado::codePageNumber(QString::fromStdString(argument)); }

std::string unknownCodePage(const std::string& argument) {
  return "--code-page " + argument +
         ": not a code page this system can convert; give the number of a DOS or Windows code page such as 437, 850, "
         "866 "
         "or 1252";
}

}  // namespace qv::cli
