#include "ui/preview/preview_texts.h"

#include <algorithm>

#include "shell/error_report.h"
#include "shell/main_helpers.h"

namespace qv::ui {

bool isSqlError(const QString& description) {
  return description.contains(QStringLiteral("SQLException"), Qt::CaseInsensitive) ||
         description.contains(QStringLiteral("SQL error"), Qt::CaseInsensitive) ||
         description.contains(QStringLiteral("unsuccessful metadata"), Qt::CaseInsensitive);
}

bool isBlankText(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c == u' '; });
}

QString executeProgressText(int row, int lineCount) {
  return QStringLiteral("Please wait.. Processing row: ") + QString::number(row) + QStringLiteral(" of ") +
         QString::number(lineCount);
}

QString errorMailLink(const QString& errorText) {
  return QStringLiteral("mailto:") + QString::fromUtf16(shell::kSupportEmail) + QStringLiteral("?subject=") +
         QLatin1String(shell::kProductName) + QStringLiteral("&body=Here is the error message that I get: ") + u'\n' +
         errorText;
}

namespace {
const QString kPasteHint =
    QStringLiteral("Click a text area where you normally type and press Ctrl+V to paste the clipboard.");
}

QString sqlCopiedMessage() { return QStringLiteral("Results have been copied to the clipboard.\r\r") + kPasteHint; }

QString errorCopiedMessage() {
  return QStringLiteral("Error message have been copied to the clipboard.\r\r") + kPasteHint;
}

QString replaceFirstOccurrence(const QString& line, const QString& find, const QString& replacement, bool* changed) {
  // The occurrence starts at P (1-based) and ends at E = P + length - 1; an empty find
  // "occurs" at 1 and ends at 0, which is no occurrence at all.
  const qsizetype at = line.indexOf(find, 0, Qt::CaseInsensitive);
  const qsizetype p = at + 1;
  const qsizetype e = p + find.size() - 1;
  if (at < 0 || p <= 0 || e <= 0) {
    if (changed) *changed = false;
    return line;
  }
  if (changed) *changed = true;
  return line.left(p - 1) + replacement + line.mid(e);
}

}  // namespace qv::ui
