#include "shell/error_report.h"

#include <new>
#include <stdexcept>

#include "db/ado/error.h"
#include "db/io/error.h"
#include "shell/messages.h"

namespace qv::shell {

QString locationString(const QString& module, const QString& procedure, const QString& project) {
  return QStringLiteral("in ") + project + QStringLiteral("2021/08/31.") + module + u'.' + procedure + u' ';
}

QString applicationErrorText(const QString& description, const QString& location, int step) {
  return description + QStringLiteral("\r\n") + location + QStringLiteral("at line ") + QString::number(step) +
         QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
         QString::fromUtf16(kSupportEmail);
}

void reportApplicationError(const QString& location, int step, const QString& description) {
  messages().show(Message{QStringLiteral("Application Error"), applicationErrorText(description, location, step),
                          MsgIcon::Warning, MsgButtons::Ok, true});
}

QString describeException(const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const ado::Error& e) {
    return e.description();
  } catch (const DbError& e) {
    return QString::fromUtf8(e.what());
  } catch (const std::bad_alloc&) {
    return QStringLiteral("Out of memory");
  } catch (const std::out_of_range&) {
    return QStringLiteral("Subscript out of range");
  } catch (const std::exception& e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("Unexpected failure");
  }
}

}  // namespace qv::shell
