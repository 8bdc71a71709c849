#include "engine/provider_check.h"

#include <QStringList>

#include "db/ado/connection.h"
#include "db/ado/error.h"
#include "shell/error_report.h"
#include "shell/messages.h"
#include "shell/url_opener.h"

namespace qv::engine {

QString missingProviderText() {
  const QStringList lines{
      QStringLiteral("Error #3706: Provider cannot be found. It may not be properly installed."),
      QString(),
      QStringLiteral("You are getting this error because:"),
      QString(),
      QStringLiteral("1. Microsoft Access is not installed on your computer."),
      QString(),
      QStringLiteral("2. A set of Microsoft components to transfer data is not installed on your computer."),
      QString(),
      QStringLiteral(
          "You need to download and install Microsoft Access Database Engine 2010 or 2016 to solve this problem."),
      QString(),
      QStringLiteral("Would you like me to open the Microsoft site now so you can do this?"),
      QString(),
      QStringLiteral("(If you have any further questions please email a screenshot of this error message to ") +
          QString::fromUtf16(shell::kSupportEmail) + u')',
  };
  return lines.join(QStringLiteral("\r\n"));
}

bool CheckProvider() {
  int number = 0;
  QString description;
  try {
    auto connection = ado::Connection::Create();
    return true;
  } catch (const ado::Error& e) {
    number = e.number();
    description = e.description();
  } catch (...) {
    description = shell::describeException(std::current_exception());
  }
  try {
    if (!description.contains(QStringLiteral("provider cannot be found"), Qt::CaseInsensitive) &&
        number != ado::kErrProviderNotFound) {
      return false;
    }
    if (shell::askYesNo(missingProviderText()) == shell::MsgAnswer::Yes) {
      shell::OpenUrl(QString::fromLatin1(kEngine2010Page));
      shell::OpenUrl(QString::fromLatin1(kEngine2016Page));
    }
  } catch (...) {
    // The check absorbs every failure; its only answer is false.
  }
  return false;
}

}  // namespace qv::engine
