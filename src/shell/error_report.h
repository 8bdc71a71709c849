#pragma once
// The Application Error report: the one way an unexpected failure reaches the user. It
// names the failure, the procedure and the step, and is not fatal: the procedure goes on.

#include <QString>
#include <exception>

namespace qv::shell {

inline constexpr char16_t kSupportEmail[] = u"support@varnholt.example";

// "in Quorvane2021/08/31.<module>.<procedure> " (the walk of sub-folders names "Kestrune").
QString locationString(const QString& module, const QString& procedure,
                       const QString& project = QStringLiteral("Quorvane"));

// description CR LF location "at line " step CR CR "Please email screenshot ..." address
QString applicationErrorText(const QString& description, const QString& location, int step);

// Shows the report (title "Application Error", warning icon, OK) and returns when closed.
// Its text can be selected and copied, so that it can be sent.
void reportApplicationError(const QString& location, int step, const QString& description);

// The description of a caught failure: the data-access layer's own description, the text
// of a standard exception, or a generic one.
QString describeException(const std::exception_ptr& failure);

}  // namespace qv::shell
